#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/Modalwatch.h"
#include "Errordisplay.h"
#include "Preview.h"
#include "Uprpt.h"

namespace {

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPageCount(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {path});
    process.waitForFinished(30000);
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    const qsizetype at = info.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? 0 : info.mid(at + 6).section(u'\n', 0, 0).trimmed().toInt();
}

QImage rasterise(const QString &pdf, int dpi)
{
    QTemporaryDir dir;
    QProcess process;
    process.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
                                               QStringLiteral("-singlefile"), pdf, dir.filePath("page")});
    process.waitForFinished(30000);
    return QImage(dir.filePath("page.png")).convertToFormat(QImage::Format_RGB32);
}

bool inked(QRgb pixel)
{
    return qGray(pixel) < 128;
}

QRect inkBounds(const QImage &image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (inked(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

int inkCount(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += inked(image.pixel(x, y));
    return count;
}

QuotePage pageWithCompany(const QString &company)
{
    QuotePage page;
    page.setText(QStringLiteral("CoName"), company);
    return page;
}

// A quote with figures, as a clerk would save one.
QuotePage filledPage()
{
    QuotePage page = pageWithCompany(QStringLiteral("Harbour Office"));
    page.setText(QStringLiteral("PolicyPremium"), QStringLiteral("$1,234.56"));
    page.setText(QStringLiteral("pr12unearn"), QStringLiteral("$726.00"));
    return page;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A PDF that is not a quote: `pages` pages of `size`.
bool writeOtherPdf(const QString &path, QPageSize::PageSizeId size, int pages)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(size));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        painter.drawText(QPointF(500, 500), QStringLiteral("Not a quote"));
    }
    return painter.end();
}

QAction *action(const TQuotePreview &preview, const char *name)
{
    return preview.findChild<QAction *>(QString::fromLatin1(name));
}

// Answers what the preview's Open and Save actions ask: a file dialog is
// given `path`, a question is answered Yes, any other box is recorded and
// closed.
class DialogAnswers : public QObject
{
public:
    explicit DialogAnswers(const QString &path)
        : m_path(path)
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &DialogAnswers::poll);
        m_timer.start();
    }

    QStringList questions;
    QStringList boxes;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || m_handled.contains(modal))
            return;
        m_handled.append(modal);
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            dialog->selectFile(m_path);
            // Queued: accepting a save over a file asks its question in a
            // nested loop, where this timer must be free to answer it.
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (QAbstractButton *yes = box->button(QMessageBox::Yes)) {
                questions << box->text();
                yes->click();
            } else {
                boxes << box->text();
                box->done(QMessageBox::Ok);
            }
        } else {
            modal->close();
        }
    }

    QString m_path;
    QTimer m_timer;
    QList<QPointer<QWidget>> m_handled;
};

QStringList boxTexts(const ModalWatch &watch)
{
    QStringList texts;
    for (const ModalWatch::Seen &seen : watch.seen())
        texts << seen.text;
    return texts;
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void opensAtPageWidth()
    {
        TQuotePreview preview(pageWithCompany("Acme"));
        preview.show();
        QCOMPARE(preview.view()->zoomMode(), QPrintPreviewWidget::FitToWidth);
        QCOMPARE(preview.view()->pageCount(), 1);
        QCOMPARE(preview.printer().pageLayout().pageSize().id(), QPageSize::Letter);
    }

    void eachPreviewKeepsThePageItWasGiven()
    {
        QTemporaryDir dir;
        QuotePage page = pageWithCompany("First Agency");
        TQuotePreview first(page);
        page.setText(QStringLiteral("CoName"), QStringLiteral("Second Agency"));
        TQuotePreview second(page);
        QVERIFY(first.savePdf(dir.filePath("first.pdf")));
        QVERIFY(second.savePdf(dir.filePath("second.pdf")));
        QVERIFY(pdfText(dir.filePath("first.pdf")).contains("First Agency"));
        QVERIFY(pdfText(dir.filePath("second.pdf")).contains("Second Agency"));
    }

    void aSavedQuoteOpensAndSavesAgain()
    {
        QTemporaryDir dir;
        TQuotePreview writer(filledPage());
        QVERIFY(writer.savePdf(dir.filePath("saved.pdf")));
        TQuotePreview reader(pageWithCompany("Other"));
        QVERIFY(reader.openPdf(dir.filePath("saved.pdf")));
        QVERIFY(reader.savePdf(dir.filePath("again.pdf")));
        // The quote as it was saved, text and all, not a picture of it.
        QCOMPARE(bytesOf(dir.filePath("again.pdf")), bytesOf(dir.filePath("saved.pdf")));
        QVERIFY(pdfText(dir.filePath("again.pdf")).contains("$1,234.56"));
    }

    // What a clerk does: Open, then Save to the same path and Yes to the
    // question whether to replace it. The file was once truncated while
    // the preview still read from it, leaving a blank page.
    void savingAnOpenedQuoteOverItselfKeepsEveryByte()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("quote.pdf");
        QVERIFY(WriteQuotePdf(path, filledPage()));
        const QByteArray original = bytesOf(path);
        TQuotePreview preview(pageWithCompany("Other"));
        preview.show();
        DialogAnswers answers(path);
        action(preview, "OpenAction")->trigger();
        QVERIFY(preview.openedImageSize().isValid());
        action(preview, "SaveAction")->trigger();
        QCOMPARE(answers.questions.size(), 1);
        QVERIFY2(answers.questions.first().contains("already exists"), qPrintable(answers.questions.first()));
        QCOMPARE(answers.boxes, QStringList());
        QCOMPARE(bytesOf(path), original);
        const QString text = pdfText(path);
        QVERIFY(text.contains("Harbour Office"));
        QVERIFY(text.contains("$1,234.56"));
        QVERIFY(text.contains("$726.00"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"quote.pdf"});
    }

    void opensAQuoteAtScreenResolutionNotThePrinters()
    {
        QTemporaryDir dir;
        QVERIFY(WriteQuotePdf(dir.filePath("quote.pdf"), filledPage()));
        TQuotePreview preview(pageWithCompany("Other"));
        preview.show();
        QCOMPARE(preview.openedImageSize(), QSize());
        QVERIFY(preview.openPdf(dir.filePath("quote.pdf")));
        // Between 96 and 200 dpi on Letter, never the printer's 1200 dpi
        // (10200 x 13200, half a gigabyte).
        const QSize size = preview.openedImageSize();
        QVERIFY2(size.width() >= 816 && size.width() <= 1700, qPrintable(QString::number(size.width())));
        QCOMPARE(size.height(), size.width() * 11 / 8.5);
        QCOMPARE(preview.view()->pageCount(), 1);
    }

    void refusesWhatIsNotAOnePageQuote_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a text file") << "text" << "It is not a PDF file";
        QTest::newRow("an empty file") << "empty" << "The file is empty";
        QTest::newRow("a PDF of two pages") << "two pages" << "It has 2 pages; a quote has one";
        QTest::newRow("an A4 page") << "a4" << "Its page is not Letter size (8.5 x 11 inches)";
        QTest::newRow("a missing file") << "missing" << "No such file or directory";
        QTest::newRow("a directory") << "directory" << "directory";
    }

    void refusesWhatIsNotAOnePageQuote()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(kind == "directory" ? "folder.pdf" : "other.pdf");
        if (kind == "text")
            QVERIFY(writeBytes(path, "Policy 4711, premium $1,234.56\n"));
        else if (kind == "empty")
            QVERIFY(writeBytes(path, QByteArray()));
        else if (kind == "two pages")
            QVERIFY(writeOtherPdf(path, QPageSize::Letter, 2));
        else if (kind == "a4")
            QVERIFY(writeOtherPdf(path, QPageSize::A4, 1));
        else if (kind == "directory")
            QVERIFY(QDir(dir.path()).mkdir("folder.pdf"));
        const QByteArray before = bytesOf(path);
        QVERIFY(WriteQuotePdf(dir.filePath("quote.pdf"), filledPage()));

        // Once while the preview shows its own page, once after it opened a quote.
        for (const bool openedFirst : {false, true}) {
            TQuotePreview preview(pageWithCompany("Own Page Agency"));
            if (openedFirst)
                QVERIFY(preview.openPdf(dir.filePath("quote.pdf")));
            const QSize shown = preview.openedImageSize();
            ModalWatch watch;
            QVERIFY(!preview.openPdf(path));
            QCOMPARE(boxTexts(watch).size(), 1);
            const QString box = boxTexts(watch).first();
            QVERIFY2(box.startsWith("Unable to open " + path + ": ") && box.contains(reason), qPrintable(box));
            QCOMPARE(bytesOf(path), before);
            // The preview still shows, and saves, what it showed before.
            QCOMPARE(preview.openedImageSize(), shown);
            const QString saved = dir.filePath("saved.pdf");
            QVERIFY(preview.savePdf(saved));
            if (openedFirst)
                QCOMPARE(bytesOf(saved), bytesOf(dir.filePath("quote.pdf")));
            else
                QVERIFY(pdfText(saved).contains("Own Page Agency"));
        }
    }

    void savingWhereNothingCanBeWrittenSaysWhy_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a missing directory") << "missing/quote.pdf" << "No such file or directory";
        QTest::newRow("a directory") << "folder" << "Is a directory";
    }

    void savingWhereNothingCanBeWrittenSaysWhy()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        const QString path = dir.filePath(target);
        TQuotePreview preview(pageWithCompany("Acme"));
        ModalWatch watch;
        QVERIFY(!preview.savePdf(path));
        QCOMPARE(boxTexts(watch), QStringList{"Unable to write to " + path + ": " + reason});
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    void printsThePageShownToAFile_data()
    {
        QTest::addColumn<bool>("opened");
        QTest::newRow("its own page") << false;
        QTest::newRow("an opened quote") << true;
    }

    void printsThePageShownToAFile()
    {
        QFETCH(bool, opened);
        QTemporaryDir dir;
        QVERIFY(WriteQuotePdf(dir.filePath("quote.pdf"), filledPage()));
        TQuotePreview preview(pageWithCompany("Own Page Agency"));
        if (opened)
            QVERIFY(preview.openPdf(dir.filePath("quote.pdf")));
        preview.printer().setOutputFileName(dir.filePath("printed.pdf"));
        ModalWatch watch;
        QVERIFY(preview.printPage());
        QCOMPARE(boxTexts(watch), QStringList());
        QCOMPARE(pdfPageCount(dir.filePath("printed.pdf")), 1);
        // An opened quote prints as a picture of its page, so it is compared
        // with the page itself rather than by its text; at 100 dpi, where a
        // stroke of its text is still a pixel wide.
        if (opened) {
            const QImage printed = rasterise(dir.filePath("printed.pdf"), 100);
            const QImage original = rasterise(dir.filePath("quote.pdf"), 100);
            QCOMPARE(printed.size(), original.size());
            QVERIFY(inkBounds(printed).adjusted(-3, -3, 3, 3).contains(inkBounds(original)));
            const double ratio = double(inkCount(printed)) / double(inkCount(original));
            QVERIFY2(ratio > 0.8 && ratio < 1.25, qPrintable(QString::number(ratio)));
        } else {
            QVERIFY(pdfText(dir.filePath("printed.pdf")).contains("Own Page Agency"));
        }
    }

    void printingThatCannotHappenSaysWhereAndWhy_data()
    {
        QTest::addColumn<QString>("printerName");
        QTest::addColumn<QString>("outputFile");
        QTest::addColumn<QString>("shownAs");
        QTest::addColumn<QString>("reason");
        const bool none = QPrinterInfo::availablePrinterNames().isEmpty();
        QTest::newRow("a printer the print service does not know")
            << "Quillon_No_Such_Printer" << "" << "Quillon_No_Such_Printer"
            << (none ? "No printer is installed" : "No printer of that name is installed");
        QTest::newRow("a file in a missing directory")
            << "" << "/nonexistent-directory/printed.pdf" << "/nonexistent-directory/printed.pdf"
            << "The printer could not be started";
        if (none)
            QTest::newRow("no printer at all") << "" << "" << "the default printer" << "No printer is installed";
    }

    void printingThatCannotHappenSaysWhereAndWhy()
    {
        QFETCH(QString, printerName);
        QFETCH(QString, outputFile);
        QFETCH(QString, shownAs);
        QFETCH(QString, reason);
        TQuotePreview preview(pageWithCompany("Acme"));
        preview.setPrinterName(printerName);
        if (!outputFile.isEmpty())
            preview.printer().setOutputFileName(outputFile);
        if (!outputFile.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        ModalWatch watch;
        QVERIFY(!preview.printPage());
        QCOMPARE(boxTexts(watch), QStringList{"Unable to print to " + shownAs + ": " + reason});
    }

    // Prints through the preview's own print path to the CUPS PDF queue that
    // CI sets up (script/printer-queue) and reads back what came out.
    void printsThroughThePrintServiceToAPdfQueue()
    {
        QProcess lpstat;
        lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-p"), QStringLiteral("Quillon_PDF")});
        if (!lpstat.waitForFinished(10000) || lpstat.exitCode() != 0)
            QSKIP("no Quillon_PDF print queue (script/printer-queue sets one up)");
        const QDir out(QDir::home().filePath(QStringLiteral("PDF")));
        const QStringList before = out.entryList({QStringLiteral("*.pdf")}, QDir::Files);

        TQuotePreview preview(pageWithCompany("Printed Through CUPS Agency"));
        preview.setPrinterName(QStringLiteral("Quillon_PDF"));
        preview.printer().setDocName(QStringLiteral("quillon-print-test"));
        preview.show();
        QVERIFY(preview.printPage());

        QString produced;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const QString &name : out.entryList({QStringLiteral("*.pdf")}, QDir::Files))
                    if (!before.contains(name))
                        produced = out.filePath(name);
                return !produced.isEmpty() && QFileInfo(produced).size() > 0;
            }(),
            60000);
        // The print service redraws the text as pictures, so the page is
        // compared as an image with our own rendering of it.
        QTRY_VERIFY_WITH_TIMEOUT(pdfPageCount(produced) == 1, 20000);
        const QImage printed = rasterise(produced, 40);
        QTemporaryDir dir;
        QVERIFY(WriteQuotePdf(dir.filePath("ours.pdf"), pageWithCompany("Printed Through CUPS Agency")));
        const QImage ours = rasterise(dir.filePath("ours.pdf"), 40);
        QCOMPARE(printed.size(), ours.size());
        QCOMPARE(inkBounds(printed).adjusted(-3, -3, 3, 3).contains(inkBounds(ours)), true);
        const double ratio = double(inkCount(printed)) / double(inkCount(ours));
        QVERIFY2(ratio > 0.8 && ratio < 1.25, qPrintable(QString::number(ratio)));
        QFile::remove(produced);
    }
};

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    TestPreview test;
    return QTest::qExec(&test, argc, argv);
}

#include "Preview_test.moc"

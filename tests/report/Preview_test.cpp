#include <QDir>
#include <QPainter>
#include <QFileInfo>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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
        TQuotePreview writer(pageWithCompany("Round Trip Agency"));
        QVERIFY(writer.savePdf(dir.filePath("saved.pdf")));
        TQuotePreview reader(pageWithCompany("Other"));
        QVERIFY(reader.openPdf(dir.filePath("saved.pdf")));
        QVERIFY(reader.savePdf(dir.filePath("again.pdf")));
        QVERIFY(QFileInfo(dir.filePath("again.pdf")).size() > 1000);
        QVERIFY(!reader.openPdf(dir.filePath("missing.pdf")));
    }

    void savingWhereNothingCanBeWrittenFails()
    {
        TQuotePreview preview(pageWithCompany("Acme"));
        QVERIFY(!preview.savePdf("/nonexistent-directory/quote.pdf"));
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
        preview.printer().setPrinterName(QStringLiteral("Quillon_PDF"));
        preview.printer().setDocName(QStringLiteral("quillon-print-test"));
        preview.show();
        preview.printPage();

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

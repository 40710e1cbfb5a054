#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QToolBar>
#include <QtTest>
#ifndef _WIN32
#include <sys/stat.h>
#endif
#include <zlib.h>

#include "../support/Modalwatch.h"
#include "../support/Reporttest.h"
#include "../support/Widgettest.h"
#include "../support/Testsupport.h"
#include "Errordisplay.h"
#include "Openquote.h"
#include "Preview.h"
#include "Printsetup.h"
#include "Quotefile.h"

using namespace quillon;

namespace {

// One line of what pdfinfo says about a PDF, after its "Field:".
QString pdfInfo(const QString &path, const QString &field)
{
    const QString info = toolOutput(QStringLiteral("pdfinfo"), {path});
    const qsizetype at = info.indexOf(field + u':');
    return at < 0 ? QString() : info.mid(at + field.size() + 1).section(u'\n', 0, 0).trimmed();
}

// An image's dark pixels: the rectangle that holds them, and how many.
std::pair<QRect, int> ink(const QImage &image)
{
    QRect bounds;
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                bounds |= QRect(x, y, 1, 1);
                ++count;
            }
    return {bounds, count};
}

// As much ink as the other, give or take a fifth: text redrawn as a picture is all there.
bool sameInk(const QImage &a, const QImage &b)
{
    const double ratio = double(ink(a).second) / double(ink(b).second);
    return ratio > 0.8 && ratio < 1.25;
}

QuotePage pageWithCompany(const QString &company)
{
    QuotePage page;
    page.setText("CoName", company);
    return page;
}

// A quote with figures, as a clerk would save one.
QuotePage filledPage()
{
    QuotePage page = pageWithCompany("Harbour Office");
    page.setText("PolicyPremium", "$1,234.56");
    page.setText("pr12unearn", "$726.00");
    return page;
}

// As earlier versions and any other writer save a quote: no page record, so only the helper draws it.
bool writeWithoutRecord(const QString &path, const QuotePage &page)
{
    QPdfWriter writer(path);
    return !paintOnPagedDevice(writer, page);
}

// Why a PDF without a page record is refused: the helper's reason, or, built without it, that none is drawn here.
QString withoutRecord(const char *helperReason)
{
#ifdef QUILLON_HAVE_QTPDF
    return QString::fromLatin1(helperReason);
#else
    Q_UNUSED(helperReason);
    return QStringLiteral("It holds no quote page saved by Quillon, and this system cannot draw any other PDF");
#endif
}

// A PDF that is not a quote: `pages` pages of `size`.
bool writeOtherPdf(const QString &path, QPageSize::PageSizeId size, int pages)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(size));
    QPainter painter(&writer);
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            writer.newPage();
        painter.drawText(QPointF(500, 500), QStringLiteral("Not a quote"));
    }
    return painter.end();
}

// A one-page Letter PDF of about a kilobyte per MiB whose content inflates to `mib` MiB of spaces. After a
// full flush deflate starts afresh, so one MiB deflated after it may be repeated rather than deflating it all.
QByteArray decompressionBomb(int mib)
{
    QByteArray spaces(1 << 20, ' ');
    z_stream z{};
    deflateInit(&z, Z_BEST_COMPRESSION);
    const auto deflated = [&] {
        QByteArray out(qsizetype(deflateBound(&z, uLong(spaces.size()))), Qt::Uninitialized);
        z.next_in = reinterpret_cast<Bytef *>(spaces.data());
        z.avail_in = uInt(spaces.size());
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(out.size());
        deflate(&z, Z_FULL_FLUSH);
        out.chop(z.avail_out);
        return out;
    };
    QByteArray stream = deflated();
    const QByteArray again = deflated();
    deflateEnd(&z);
    const uLong one = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef *>(spaces.constData()), uInt(spaces.size()));
    uLong sum = one;
    for (int i = 1; i < mib; ++i) {
        stream += again;
        sum = adler32_combine(sum, one, z_off_t(spaces.size()));
    }
    stream += QByteArray("\x03\x00", 2); // the empty last block, then the checksum, high byte first
    for (int shift = 24; shift >= 0; shift -= 8)
        stream += char(sum >> shift & 0xff);

    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (const QByteArray &body : {QByteArray("<< /Type /Catalog /Pages 2 0 R >>"),
                                   QByteArray("<< /Type /Pages /Kids [3 0 R] /Count 1 >>"),
                                   QByteArray("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>"),
                                   "<< /Length " + QByteArray::number(stream.size()) + " /Filter /FlateDecode >>\nstream\n" +
                                       stream + "\nendstream"}) {
        offsets << pdf.size();
        pdf += QByteArray::number(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 5\n0000000000 65535 f \n";
    for (const qsizetype at : offsets)
        pdf += QByteArray::number(at).rightJustified(10, '0') + " 00000 n \n";
    return pdf + "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
}

// Answers what the preview's Open and Save actions ask: a file dialog is given `path`, a question is
// answered Yes, any other box is recorded and closed.
class DialogAnswers : public QObject
{
public:
    explicit DialogAnswers(const QString &path)
        : m_path(path)
    {
        connect(&m_timer, &QTimer::timeout, this, &DialogAnswers::poll);
        m_timer.start(5);
    }

    QStringList questions, boxes;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || m_handled.contains(modal))
            return;
        m_handled.append(modal);
        auto *box = qobject_cast<QMessageBox *>(modal);
        QAbstractButton *yes = box ? box->button(QMessageBox::Yes) : nullptr;
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            dialog->selectFile(m_path);
            // Queued: accepting a save over a file asks its question in a nested loop, where this timer must
            // be free to answer it.
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        } else if (yes) {
            questions << box->text();
            yes->click();
        } else if (box) {
            boxes << box->text();
            box->done(QMessageBox::Ok);
        } else {
            modal->close();
        }
    }

    QString m_path;
    QTimer m_timer;
    QList<QPointer<QWidget>> m_handled;
};

// Why the quote's ink on `printed`, a paper seen at 48 dpi, is not where `page` (1/96 inch on the paper) says
// the quote lies, scaled and moved from the Letter page as designed; empty when it is.
QString inkMisplaced(const QImage &printed, const QuotePage &quote, const QRectF &page)
{
    QTemporaryDir dir;
    if (!WriteQuotePdf(dir.filePath("ours.pdf"), quote))
        return QStringLiteral("our own page could not be written");
    const QRect ours = ink(rasterised(dir.filePath("ours.pdf"), 48)).first;
    const qreal scale = page.width() / 816;
    const QRect expected = QRectF(page.x() / 2 + ours.x() * scale, page.y() / 2 + ours.y() * scale,
                                  ours.width() * scale, ours.height() * scale).toRect();
    const QRect found = ink(printed).first;
    const auto near = [](int a, int b) { return qAbs(a - b) <= 3; };
    if (near(found.left(), expected.left()) && near(found.top(), expected.top()) && near(found.right(), expected.right())
        && near(found.bottom(), expected.bottom()))
        return QString();
    const auto show = [](const QRect &r) { return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); };
    return QStringLiteral("ink at %1, expected at %2").arg(show(found), show(expected));
}

PrinterChoice choiceOf(const QString &printer, QPageSize::PageSizeId paper, QPageLayout::Orientation orientation)
{
    return {printer, QPageSize(paper), orientation};
}

// Papers and where the quote lies on them in 1/96 inch: A4 is 793.70 x 1122.52, so portrait scales the page by
// 793.70 / 816 and landscape by 793.70 / 1056, centred across (1122.52 - 613.31) / 2; Letter landscape scales
// by 816 / 1056, centred across (1056 - 630.55) / 2.
void addPaperRows()
{
    QTest::addColumn<QPageSize::PageSizeId>("paper");
    QTest::addColumn<QPageLayout::Orientation>("orientation");
    QTest::addColumn<QRectF>("page");
    QTest::newRow("Letter portrait, as designed") << QPageSize::Letter << QPageLayout::Portrait << QRectF(0, 0, 816, 1056);
    QTest::newRow("A4 portrait, fitted to its width")
        << QPageSize::A4 << QPageLayout::Portrait << QRectF(0, 0, 793.701, 1027.143);
    QTest::newRow("Letter landscape, fitted to its height and centred")
        << QPageSize::Letter << QPageLayout::Landscape << QRectF(212.727, 0, 630.545, 816);
    QTest::newRow("A4 landscape, fitted to its height and centred")
        << QPageSize::A4 << QPageLayout::Landscape << QRectF(254.604, 0, 613.315, 793.701);
}

// The PDF the print queue Quillon_PDF writes in `out` for the job titled `title` (its name starts with it:
// other tests print to the same queue at the same time), once whole; empty when none comes within a minute.
QString nextQueueOutput(const QDir &out, const QString &title)
{
    QString produced;
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        for (const QString &name : out.entryList({title + QStringLiteral("*.pdf")}, QDir::Files))
            produced = out.filePath(name);
        if (!produced.isEmpty() && pdfInfo(produced, "Pages").toInt() >= 1)
            return produced;
        QTest::qWait(200);
    }
    return QString();
}

bool queueInstalled()
{
    return toolOutput("lpstat", {"-p", "Quillon_PDF"}).contains("Quillon_PDF"); // nothing but an error where none
}

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

private:
    QTemporaryDir m_files;

private slots:
    // A screen reader reads the page where the focus starts: its texts row by row, and only what prints, so
    // nothing from under a notice. A second preview leaves the first its own page.
    void opensAtPageWidthAndReadsAsItPrints()
    {
        QuotePage page = filledPage();
        page.setText("sr12unearn", "$620.00");
        page.setEnabled("QRNA1", true);
        TQuotePreview preview(page);
        preview.show();
        QCOMPARE(preview.view()->zoomMode(), QPrintPreviewWidget::FitToWidth);
        QCOMPARE(preview.view()->pageCount(), 1);
        QCOMPARE(preview.printer().pageLayout().pageSize().id(), QPageSize::Letter);
        QVERIFY(QTest::qWaitForWindowActive(&preview));
        const QString read = QAccessible::queryAccessibleInterface(QApplication::focusWidget())->text(QAccessible::Description);
        QVERIFY(read.startsWith("Harbour Office\nCoAdd1\n") && read.contains("\nPolicy Number PolicyNum Premium $1,234.56\n"));
        QVERIFY(read.contains("\nThis Section not applicable for Additional Premiums\n") && !read.contains("$620.00"));
        page.setText("CoName", "Second Agency");
        TQuotePreview second(page);
        QTemporaryDir dir;
        QVERIFY(preview.savePdf(dir.filePath("first.pdf")) && second.savePdf(dir.filePath("second.pdf")));
#ifndef _WIN32 // poppler's pdftotext, a Linux program
        QVERIFY(pdfText(dir.filePath("first.pdf")).contains("Harbour Office"));
        QVERIFY(pdfText(dir.filePath("second.pdf")).contains("Second Agency"));
#endif
    }

    // Each key, pressed where the focus is in a preview of three pages showing page `from` (0: the quote's one
    // page), triggers the action whose tooltip names its shortcut, or nothing; then come the page shown, the
    // page buttons enabled (First, Previous, Next, Last; "." where disabled) and the focus.
    void keyboardMap_data()
    {
        for (const char *column : {"keys", "triggered", "after"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<int>("from");
        const auto row = [](const char *keys, const char *triggered, const char *after = "1 .... Quote page", int from = 0) {
            QTest::newRow(keys) << keys << triggered << after << from;
        };
        row("Ctrl+0|Alt+W", "Whole Page (Ctrl+0)");
        row("Ctrl+1|Alt+1", "100 % (Ctrl+1)");
        row("Ctrl+2|Alt+I", "Page Width (Ctrl+2)");
        row("Home|PgUp|PgDown|End|Alt+F|Alt+V|Alt+N|Alt+L", "");
        row("Home|Alt+F", "First Page (Home)", "1 ..NL Quote page", 3);
        row("PgUp|Alt+V", "Previous Page (PgUp)", "2 FPNL Quote page", 3);
        row("PgDown|Alt+N", "Next Page (PgDown)", "3 FP.. Quote page", 2);
        row("End|Alt+L", "Last Page (End)", "3 FP.. Quote page", 1);
        row("Home|PgUp", "", "1 ..NL Quote page", 1);
        row("Ctrl+Shift+P|Alt+U", "Printer Setup (Ctrl+Shift+P)");
        row("Ctrl+P|Alt+P", "Print (Ctrl+P)");
        row("Ctrl+S|Alt+S", "Save (Ctrl+S)");
        row("Ctrl+O|Alt+O", "Open (Ctrl+O)");
        row("Esc|Alt+C", "Close (Esc)");
        row("Tab, Space", "Whole Page (Ctrl+0)", "1 .... Whole Page");
        row("Tab, Tab, Tab, Tab", "", "1 .... Printer Setup");
        row("Shift+Tab", "", "2 FPNL Close", 2);
    }

    void keyboardMap()
    {
        QFETCH(QString, keys);
        QFETCH(QString, triggered);
        QFETCH(QString, after);
        QFETCH(int, from);
        QTemporaryDir dir;
        for (const QString &key : keys.split(u'|')) {
            QPointer<TQuotePreview> preview = new TQuotePreview(filledPage());
            const auto gone = qScopeGuard([&] { delete preview.data(); });
            preview->printer().setOutputFileName(dir.filePath("printed.pdf"));
            if (from) {
                QObject::disconnect(preview->view(), &QPrintPreviewWidget::paintRequested, preview, nullptr);
                QObject::connect(preview->view(), &QPrintPreviewWidget::paintRequested, [](QPrinter *printer) {
                    QPainter painter(printer);
                    printer->newPage();
                    printer->newPage();
                });
            }
            preview->resize(1600, 900); // room for every button, as when maximised
            preview->show();
            QVERIFY(QTest::qWaitForWindowActive(preview));
            preview->view()->setCurrentPage(from);
            emit preview->view()->previewChanged(); // as when the clerk scrolls there
            auto *bar = preview->findChild<QToolBar *>();
            QSignalSpy spy(bar, &QToolBar::actionTriggered);
            ModalWatch watch;
            const QKeySequence sequence(key);
            for (int i = 0; i < sequence.count(); ++i)
                QTest::keyClick(QApplication::focusWidget(), sequence[i].key(), sequence[i].keyboardModifiers());
            QCOMPARE(spy.isEmpty() ? QString() : spy.takeFirst().first().value<QAction *>()->toolTip(), triggered);
            QVERIFY(spy.isEmpty());
            QCOMPARE(preview->isVisible(), !triggered.startsWith("Close"));
            QString shown = QString::number(preview->view()->currentPage()) + u' ';
            for (QAction *action : bar->actions().mid(4, 4)) // after the zoom and a separator
                shown += action->isEnabled() ? action->iconText().front() : u'.';
            QCOMPARE(shown + u' ' + QAccessible::queryAccessibleInterface(preview->focusWidget())->text(QAccessible::Name), after);
        }
    }

    // Open, then Save, and Yes to the question naming the file replaced; a name typed without an extension is
    // saved as a PDF. Saving over the opened file once truncated it while the preview still read from it. The
    // quote saved is the one saved before, drawn again from its page record rather than as a picture.
    void savingAnOpenedQuoteKeepsEveryByte_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("over itself") << "quote.pdf" << "quote.pdf";
        QTest::newRow("over itself, typed without .pdf") << "quote" << "quote.pdf";
        QTest::newRow("a new name without .pdf") << "copy" << "copy.pdf";
        QTest::newRow("another extension is kept") << "copy.quote" << "copy.quote";
    }

    void savingAnOpenedQuoteKeepsEveryByte()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        const bool over = written == "quote.pdf";
        QTemporaryDir dir;
        const QString path = dir.filePath("quote.pdf");
        QVERIFY(TQuotePreview(filledPage()).savePdf(path));
        const QByteArray original = readFile(path);
        TQuotePreview preview(pageWithCompany("Other"));
        preview.show();
        {
            DialogAnswers opening(path);
            preview.findChild<QAction *>("OpenAction")->trigger();
        }
        QCOMPARE(preview.openedImageSize(), QSize());
        QCOMPARE(preview.shownPage()->text("CoName"), QString("Harbour Office"));
        DialogAnswers answers(dir.filePath(typed));
        preview.findChild<QAction *>("SaveAction")->trigger();
        QCOMPARE(answers.questions, over ? QStringList{written + " already exists.\nDo you want to replace it?"} : QStringList());
        QCOMPARE(answers.boxes, QStringList());
        QCOMPARE(readFile(dir.filePath(written)), original);
        QVERIFY(pdfText(dir.filePath(written)).contains("$726.00"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).join(u' '), over ? written : written + " quote.pdf");
    }

    // Each row's file is made here, in a folder of the test's own, and `made` says it was.
    void refusesWhatIsNotAOnePageQuote_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("made");
        QTest::addColumn<QString>("reason");
        const auto at = [this](const char *file) { return m_files.filePath(file); };
        const auto row = [&](const char *name, const char *file, bool made, const QString &reason) {
            QTest::newRow(name) << at(file) << made << reason;
        };
        row("a text file", "text.pdf", writeFile(at("text.pdf"), "Policy 4711, premium $1,234.56\n"), "It is not a PDF file");
        row("an empty file", "empty.pdf", writeFile(at("empty.pdf"), QByteArray()), "The file is empty");
        row("a PDF of two pages", "two.pdf", writeOtherPdf(at("two.pdf"), QPageSize::Letter, 2),
            withoutRecord("It has 2 pages; a quote has one"));
        row("an A4 page", "a4.pdf", writeOtherPdf(at("a4.pdf"), QPageSize::A4, 1),
            withoutRecord("Its page is not Letter size (8.5 x 11 inches)"));
        const QString damaged = at("damaged.pdf");
        row("a quote whose page record is damaged", "damaged.pdf",
            WriteQuotePdf(damaged, filledPage()) && writeFile(damaged, readFile(damaged).replace("\n+CoName=", "\n+CoName ")),
            "Its page record is damaged");
#ifndef QUILLON_HAVE_QTPDF // else the helper draws it
        row("a quote without its page record", "norecord.pdf", writeWithoutRecord(at("norecord.pdf"), filledPage()),
            withoutRecord(""));
#endif
        row("a missing file", "missing.pdf", true, "No such file or directory");
        row("a directory", "folder.pdf", QDir(m_files.path()).mkdir("folder.pdf"), "directory");
#ifndef _WIN32 // no FIFOs at a path there
        row("a FIFO with no writer", "fifo.pdf", mkfifo(QFile::encodeName(at("fifo.pdf")).constData(), 0600) == 0,
            "It is a named pipe (FIFO), not a file");
#endif
        row("a file of 33 MB", "large.pdf", writeFile(at("large.pdf"), "%PDF-1.4\n") && QFile(at("large.pdf")).resize(33 << 20),
            "It is too large to be a one-page quote"); // sparse
        // 1 MB that inflates to 1 GB: refused, and this program goes on.
        row("a decompression bomb", "bomb.pdf", writeFile(at("bomb.pdf"), decompressionBomb(1024)),
            withoutRecord("Drawing its page would take more than 512 MB of memory"));
    }

    void refusesWhatIsNotAOnePageQuote()
    {
        QFETCH(QString, path);
        QFETCH(bool, made);
        QFETCH(QString, reason);
        QVERIFY(made);
        QTemporaryDir dir;
        const QByteArray before = readFile(path);
        QVERIFY(WriteQuotePdf(dir.filePath("quote.pdf"), filledPage()));

        // Once while the preview shows its own page, once after it opened a quote.
        for (const bool openedFirst : {false, true}) {
            TQuotePreview preview(pageWithCompany("Own Page Agency"));
            if (openedFirst)
                QVERIFY(preview.openPdf(dir.filePath("quote.pdf")));
            const QString shown = preview.shownPage()->text("CoName");
            ModalWatch watch;
            QVERIFY(!preview.openPdf(path));
            QCOMPARE(boxTexts(watch).size(), 1);
            const QString box = boxTexts(watch).first();
            QVERIFY2(box.startsWith("Unable to open " + path + ": ") && box.contains(reason), qPrintable(box));
            QCOMPARE(readFile(path), before);
            // The preview still shows, and saves, what it showed before.
            QCOMPARE(preview.shownPage()->text("CoName"), shown);
            const QString saved = dir.filePath("saved.pdf");
            QVERIFY(preview.savePdf(saved));
            if (openedFirst)
                QCOMPARE(readFile(saved), readFile(dir.filePath("quote.pdf")));
            else
                QVERIFY(pdfText(saved).contains("Own Page Agency"));
        }
    }

    void savingWhereNothingCanBeWrittenSaysWhy()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        TQuotePreview preview(pageWithCompany("Acme"));
        for (const auto &[target, reason] :
             {std::pair{"missing/quote.pdf", "No such file or directory"}, {"folder", "Is a directory"}}) {
            const QString path = dir.filePath(target);
            ModalWatch watch;
            QVERIFY(!preview.savePdf(path));
            QCOMPARE(boxTexts(watch), QStringList{"Unable to write to " + path + ": " + reason});
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    void printsThePageShownToAFile_data()
    {
        QTest::addColumn<bool>("opened");
        QTest::addColumn<bool>("record");
        QTest::newRow("its own page") << false << true;
        QTest::newRow("an opened quote") << true << true;
#ifdef QUILLON_HAVE_QTPDF
        QTest::newRow("an opened quote without its record, drawn by the helper") << true << false;
#endif
    }

    void printsThePageShownToAFile()
    {
        QFETCH(bool, opened);
        QFETCH(bool, record);
        QTemporaryDir dir;
        QVERIFY(record ? WriteQuotePdf(dir.filePath("quote.pdf"), filledPage()).ok() : writeWithoutRecord(dir.filePath("quote.pdf"), filledPage()));
        TQuotePreview preview(pageWithCompany("Own Page Agency"));
        preview.show();
        if (opened)
            QVERIFY(preview.openPdf(dir.filePath("quote.pdf")));
        // The helper draws a quote without its page record as a picture between 96 and 200 dpi on Letter, never
        // at the printer's 1200 dpi (10200 x 13200, half a gigabyte).
        const QSize size = preview.openedImageSize();
        QCOMPARE(preview.shownPage() == nullptr, !record);
        QVERIFY2(record ? size == QSize() : size.width() >= 816 && size.width() <= 1700 && size.height() == size.width() * 11 / 8.5,
                 qPrintable(QString("%1 x %2").arg(size.width()).arg(size.height())));
        QCOMPARE(preview.view()->pageCount(), 1);
        preview.printer().setOutputFileName(dir.filePath("printed.pdf"));
        ModalWatch watch;
        QVERIFY(preview.printPage());
        QCOMPARE(boxTexts(watch), QStringList());
        QCOMPARE(pdfInfo(dir.filePath("printed.pdf"), "Pages").toInt(), 1);
        // Opened without its record, a quote prints as a picture of its page, compared with the page at 100 dpi
        // (a stroke of its text still a pixel wide); opened from its record, as saved, text and all.
        if (!record) {
            const QImage printed = rasterised(dir.filePath("printed.pdf"), 100);
            const QImage original = rasterised(dir.filePath("quote.pdf"), 100);
            QCOMPARE(printed.size(), original.size());
            QVERIFY(ink(printed).first.adjusted(-3, -3, 3, 3).contains(ink(original).first));
            QVERIFY(sameInk(printed, original));
        } else {
            QVERIFY(pdfText(dir.filePath("printed.pdf")).contains(opened ? "$726.00" : "Own Page Agency"));
        }
    }

    // A printer the print service does not know, a file in a missing directory, and, where there is none, no
    // printer at all: each is named with its reason.
    void printingThatCannotHappenSaysWhereAndWhy()
    {
        const bool none = QPrinterInfo::availablePrinterNames().isEmpty();
        const QString file = "/nonexistent-directory/printed.pdf", unknown = "Quillon_No_Such_Printer";
        QList<std::array<QString, 4>> rows = { // printer, output file, shown as, reason
            {unknown, "", unknown, none ? "No printer is installed" : "No printer of that name is installed"},
            {"", file, file, "The printer could not be started"}};
        if (none)
            rows.append({"", "", "the default printer", "No printer is installed"});
        for (const auto &[printerName, outputFile, shownAs, reason] : rows) {
            TQuotePreview preview(pageWithCompany("Acme"));
            preview.setPrinterName(printerName);
            if (!outputFile.isEmpty()) {
                preview.printer().setOutputFileName(outputFile);
                QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
            }
            ModalWatch watch;
            QVERIFY(!preview.printPage());
            QCOMPARE(boxTexts(watch), QStringList{"Unable to print to " + shownAs + ": " + reason});
        }
    }

    // The main window's set-up hands the preview its choice: the page is shown and printed on that paper, fitted
    // and never clipped, and a saved quote stays a Letter page. Then through the preview's own print path to the
    // CUPS PDF queue that CI sets up (script/printer-queue), with the page placed as on the screen.
    void printsOnThePaperChosen_data() { addPaperRows(); }

    void printsOnThePaperChosen()
    {
        QFETCH(QPageSize::PageSizeId, paper);
        QFETCH(QPageLayout::Orientation, orientation);
        QFETCH(QRectF, page);
        QTemporaryDir dir;
        const QuotePage quote = filledPage();
        TQuotePreview preview(quote);
        preview.setPrinterChoice(choiceOf(QString(), paper, orientation));
        preview.show();
        QCOMPARE(preview.printer().pageLayout().pageSize().id(), paper);
        QCOMPARE(preview.view()->orientation(), orientation);
        QCOMPARE(preview.view()->pageCount(), 1);
        const QString printed = dir.filePath("printed.pdf");
        preview.printer().setOutputFileName(printed);
        ModalWatch watch;
        QVERIFY(preview.printPage());
        QCOMPARE(boxTexts(watch), QStringList());
        const QSizeF points = QPageSize(paper).size(QPageSize::Point);
        const QSizeF expected = orientation == QPageLayout::Portrait ? points : points.transposed();
        QString size = pdfInfo(printed, "Page size");
        QVERIFY2(size.startsWith(QString("%1 x %2 pts").arg(expected.width()).arg(expected.height())), qPrintable(size));
        QString misplaced = inkMisplaced(rasterised(printed, 48), quote, page);
        QVERIFY2(misplaced.isEmpty(), qPrintable(misplaced));
        QVERIFY(preview.savePdf(dir.filePath("saved.pdf")));
        QCOMPARE(pdfInfo(dir.filePath("saved.pdf"), "Page size"), QString("612 x 792 pts (letter)"));

        if (!queueInstalled())
            QSKIP("no Quillon_PDF print queue (script/printer-queue sets one up)");
        const QString title = QString("quillon-paper-%1-%2-%3")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(QPageSize(paper).key(), orientation == QPageLayout::Portrait ? "portrait" : "landscape");
        TQuotePreview queued(quote);
        queued.setPrinterChoice(choiceOf("Quillon_PDF", paper, orientation));
        queued.printer().setDocName(title);
        queued.show();
        QVERIFY(queued.printPage());
        const QString produced = nextQueueOutput(QDir(QDir::home().filePath("PDF")), title);
        QVERIFY2(!produced.isEmpty(), "nothing came out of the queue");
        QCOMPARE(pdfInfo(produced, "Pages").toInt(), 1);
        // The sheet is the paper chosen, fed as it lies in the tray: upright.
        const QSize sheet = QPageSize(paper).sizePoints();
        size = pdfInfo(produced, "Page size");
        QVERIFY2(size.startsWith(QString("%1 x %2 pts").arg(sheet.width()).arg(sheet.height())), qPrintable(size));
        QCOMPARE(pdfInfo(produced, "Page rot"), QString("0"));
        // Landscape is the page drawn a quarter turn anticlockwise on that sheet, as the print service turns
        // every landscape job; turned back, it is the page as the preview shows it.
        QImage drawn = rasterised(produced, 48);
        if (orientation == QPageLayout::Landscape)
            drawn = drawn.transformed(QTransform().rotate(90));
        misplaced = inkMisplaced(drawn, quote, page);
        QVERIFY2(misplaced.isEmpty(), qPrintable(misplaced));
        // The service redraws the text as pictures: on the page as designed, all of it is there when the ink
        // is as much as ours.
        if (page == QRectF(0, 0, 816, 1056)) {
            QVERIFY(WriteQuotePdf(dir.filePath("ours.pdf"), quote));
            QVERIFY(sameInk(drawn, rasterised(dir.filePath("ours.pdf"), 48)));
        }
        QFile::remove(produced);
    }

    // "Printer Setup..." in the preview: the printers the print service lists, OK and Cancel, no printing;
    // what OK takes (A4 landscape, two copies) holds for this preview's page and no other, Cancel keeps Letter.
    void itsOwnSetUpChoosesForThisPreviewOnly()
    {
        for (const bool ok : {true, false}) {
            TQuotePreview preview(pageWithCompany("Acme"));
            TQuotePreview other(pageWithCompany("Other"));
            preview.show();
            QStringList printers;
            QStringList buttons;
            ModalWatch watch([&](QWidget *modal) {
                auto *combo = modal->findChild<QComboBox *>(QStringLiteral("PrinterCombo"));
                for (int i = 0; combo && i < combo->count(); ++i)
                    printers << combo->itemText(i);
                for (QAbstractButton *button : modal->findChild<QDialogButtonBox *>()->buttons())
                    buttons << button->text().remove(u'&');
                answerPrinterSetupByKeys(modal, ok);
            });
            preview.findChild<QAction *>("PrinterSetupAction")->trigger();
            QCOMPARE(watch.seen().size(), 1);
            QCOMPARE(watch.seen().first().title, QString("Printer Setup"));
            QCOMPARE(printers, QPrinterInfo::availablePrinterNames());
            QCOMPARE(buttons, QStringList({"OK", "Cancel"}));
            QCOMPARE(preview.printer().pageLayout().pageSize().id(), ok ? QPageSize::A4 : QPageSize::Letter);
            QCOMPARE(preview.view()->orientation(), ok ? QPageLayout::Landscape : QPageLayout::Portrait);
            QCOMPARE(preview.printer().copyCount(), ok ? 2 : 1);
            QCOMPARE(other.printer().pageLayout().pageSize().id(), QPageSize::Letter);
            QCOMPARE(other.printer().pageLayout().orientation(), QPageLayout::Portrait);
        }
    }
};

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    SetPageDrawProgram(QStringLiteral(QUILLON_PDFPAGE));
    TestPreview test;
    return QTest::qExec(&test, argc, argv);
}

#include "Preview_test.moc"

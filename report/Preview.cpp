#include "Preview.h"

#include <QAction>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPointer>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QScopeGuard>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "Labelfit.h"
#include "Openquote.h"
#include "Pagerecord.h"
#include "Quotefile.h"
#include "Quotepaint.h"

using namespace quillon;

// A quote read back from a file. Saving it writes back the bytes as read:
// its record and the page as it was saved, or, for a picture of the page,
// what drawing it again would make many times the size and without its text.
struct OpenedQuote
{
    QByteArray bytes;
    std::optional<QuotePage> page; // drawn again from its page record
    QImage preview; // otherwise: the page at screen resolution
};

namespace {

// A quote written here is about 30 kB, and one saved as a picture of its
// page by earlier versions about 5 MB. Anything much larger is not a
// one-page quote, and reading it would cost its whole size in memory.
constexpr qint64 kLargestQuoteFile = 32 * 1024 * 1024;

// An opened quote is printed from a picture of its page. 300 dpi is what an
// office printer resolves; the printer's own 1200 dpi would be a 540 MB
// picture.
constexpr int kOpenedPrintDpi = 300;

// From here on the painter works in the quote page's units, 1/96 inch from
// the page's corner, with the page fitted to the printer's paper. On Letter
// portrait that is the device's resolution alone, as the page was designed.
void scaleToPaper(QPainter &painter, const QPrinter &printer)
{
    painter.scale(printer.logicalDpiX() / 96.0, printer.logicalDpiY() / 96.0);
    const QRectF page = QuotePageOnPaper(printer.pageLayout().fullRect(QPageLayout::Point).size() * (96.0 / 72.0));
    painter.translate(page.topLeft());
    painter.scale(page.width() / kPageWidth, page.height() / kPageHeight);
}

// A picture of an opened page is drawn as wide as the screen, which is what
// the window shows at page width, and no finer than 200 dpi: enough for a
// sharp page, where the printer's resolution would take over half a gigabyte.
int pictureWidth(const QScreen *screen)
{
    const int screenWidth = screen ? qRound(screen->geometry().width() * screen->devicePixelRatio()) : 0;
    return std::clamp(screenWidth, kPageWidth, kPageWidth * 200 / 96);
}

QSize pageSizeAt(int width)
{
    return QSize(width, width * kPageHeight / kPageWidth);
}

// What the page says, as a reader meets it: row by row from the top, each
// row from the left, a line to a row. Only what prints, as it prints: a text
// under a notice is left out and one cut short reads cut short.
QString pageText(const QuotePage &page)
{
    QStringList rows;
    for (const QuoteBand band : {QuoteBand::Header, QuoteBand::Footer}) {
        std::vector<const QuoteItem *> labels;
        for (const QuoteItem *item : PrintedQuoteItems(page, band))
            if (item->kind == QuoteItemKind::Label)
                labels.push_back(item);
        std::stable_sort(labels.begin(), labels.end(), [](const QuoteItem *a, const QuoteItem *b) {
            return std::pair(a->rect.top(), a->rect.left()) < std::pair(b->rect.top(), b->rect.left());
        });
        int rowTop = -1; // band-relative, so a band starts a row
        for (const QuoteItem *item : labels) {
            QStringList lines = PrintedLabelLines(*item);
            for (QString &line : lines)
                line = line.trimmed();
            const QString text = lines.join(u' ').trimmed();
            if (text.isEmpty())
                continue;
            if (item->rect.top() == rowTop)
                rows.last() += u' ' + text;
            else
                rows << text;
            rowTop = item->rect.top();
        }
    }
    return rows.join(u'\n');
}

} // namespace

TQuotePreview::TQuotePreview(const QuotePage &page, QWidget *parent)
    : QMainWindow(parent, Qt::Window)
    , m_page(page)
    , m_printer(QPrinter::HighResolution)
    , m_view(nullptr)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Quote Preview"));
    ApplyPrinterChoice(m_printer, m_choice);
    m_view = new QPrintPreviewWidget(&m_printer, this);
    setCentralWidget(m_view);
    connect(m_view, &QPrintPreviewWidget::paintRequested, this, &TQuotePreview::paintPreview);
    buildToolBar();
    m_view->fitToWidth();
    describePage();
}

TQuotePreview::~TQuotePreview() = default;

void TQuotePreview::buildToolBar()
{
    QToolBar *bar = addToolBar(tr("Preview"));
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    bar->setMovable(false);
    // The toolbar shows its captions without "&", so each caption's letter
    // is an Alt key of the action's own, beside its shortcut. The letters
    // are unique: one shared by two actions would only move the focus.
    auto add = [this, bar](const QString &text, const QKeySequence &key, auto slot) {
        QAction *action = bar->addAction(text);
        action->setShortcuts({key, QKeySequence::mnemonic(text)});
        action->setToolTip(tr("%1 (%2)").arg(action->iconText(), key.toString(QKeySequence::NativeText)));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(tr("&Whole Page"), QKeySequence(Qt::CTRL | Qt::Key_0), [this] { m_view->fitInView(); });
    add(tr("&100 %"), QKeySequence(Qt::CTRL | Qt::Key_1), [this] {
        m_view->setZoomMode(QPrintPreviewWidget::CustomZoom);
        m_view->setZoomFactor(1.0);
    });
    add(tr("Page W&idth"), QKeySequence(Qt::CTRL | Qt::Key_2), [this] { m_view->fitToWidth(); });
    bar->addSeparator();
    // The view tells of a page reached by scrolling, but not of one it was
    // sent to: that it takes as the current page before it scrolls there.
    const auto showPage = [this](int page) {
        m_view->setCurrentPage(page);
        updatePageActions();
    };
    m_pageActions = {
        add(tr("&First Page"), QKeySequence(Qt::Key_Home), [showPage] { showPage(1); }),
        add(tr("Pre&vious Page"), QKeySequence(Qt::Key_PageUp), [this, showPage] { showPage(m_view->currentPage() - 1); }),
        add(tr("&Next Page"), QKeySequence(Qt::Key_PageDown), [this, showPage] { showPage(m_view->currentPage() + 1); }),
        add(tr("&Last Page"), QKeySequence(Qt::Key_End), [this, showPage] { showPage(m_view->pageCount()); }),
    };
    connect(m_view, &QPrintPreviewWidget::previewChanged, this, &TQuotePreview::updatePageActions);
    updatePageActions();
    bar->addSeparator();
    add(tr("Printer Set&up..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), &TQuotePreview::setupPrinter)
        ->setObjectName(QStringLiteral("PrinterSetupAction"));
    add(tr("&Print"), QKeySequence::Print, &TQuotePreview::printPage)->setObjectName(QStringLiteral("PrintAction"));
    add(tr("&Save..."), QKeySequence::Save, [this] {
        const QString path = chooseSavePath();
        if (!path.isEmpty())
            savePdf(path);
    })->setObjectName(QStringLiteral("SaveAction"));
    add(tr("&Open..."), QKeySequence::Open, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Open Quote"), QString(), tr("PDF files (*.pdf)"));
        if (!path.isEmpty())
            openPdf(path);
    })->setObjectName(QStringLiteral("OpenAction"));
    bar->addSeparator();
    QAction *close = add(tr("&Close"), QKeySequence(Qt::Key_Escape), &QWidget::close);
    // Tool buttons take no focus by default, which left Tab short of them,
    // and of the toolbar's button for the actions a narrow window has no
    // room for; that one comes last, where it shows.
    const QList<QToolButton *> buttons = bar->findChildren<QToolButton *>();
    for (QToolButton *button : buttons)
        button->setFocusPolicy(Qt::TabFocus);
    for (QToolButton *button : buttons) {
        if (!button->defaultAction()) {
            button->setAccessibleName(tr("More Actions"));
            QWidget::setTabOrder(bar->widgetForAction(close), button);
        }
    }
}

void TQuotePreview::updatePageActions()
{
    const int page = m_view->currentPage();
    const bool back = !m_drawing && page > 1;
    const bool on = !m_drawing && page < m_view->pageCount();
    for (std::size_t i = 0; i < m_pageActions.size(); ++i)
        m_pageActions[i]->setEnabled(i < 2 ? back : on);
}

QString TQuotePreview::chooseSavePath()
{
    // A name typed without an extension is saved as a PDF, or the Open
    // dialog's filter would not show it again. Qt's own dialog adds ".pdf"
    // before it asks whether to replace a file; a platform's dialog asks
    // about the name as typed, so for the name completed the question is
    // asked here, in Qt's words.
    QFileDialog dialog(this, tr("Save Quote"), QString(), tr("PDF files (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return QString();
        const QString path = dialog.selectedFiles().value(0);
        // A platform's dialog builds none of Qt's widgets, not even a layout.
        if (dialog.layout() || !QFileInfo::exists(path))
            return path;
        dialog.setDefaultSuffix(QString());
        const bool completed = dialog.selectedFiles().value(0) != path;
        dialog.setDefaultSuffix(QStringLiteral("pdf"));
        const QString question = QFileDialog::tr("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName());
        if (!completed || QMessageBox::warning(this, dialog.windowTitle(), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
                              == QMessageBox::Yes)
            return path;
        dialog.selectFile(path);
    }
}

void TQuotePreview::describePage()
{
    // The page shows in a view inside the preview widget; that view takes
    // the focus, so it is what a screen reader reads.
    auto *page = m_view->findChild<QGraphicsView *>();
    if (!page)
        return;
    page->setAccessibleName(tr("Quote page"));
    // A saved quote without its record is shown as a picture of its page,
    // with no text to read.
    const QuotePage *shown = shownPage();
    page->setAccessibleDescription(shown ? pageText(*shown) : tr("A saved quote, shown as a picture of its page"));
}

const QuotePage *TQuotePreview::shownPage() const
{
    if (!m_opened)
        return &m_page;
    return m_opened->page ? &*m_opened->page : nullptr;
}

void TQuotePreview::paintShownPage(QPainter &painter, const QImage &opened) const
{
    if (const QuotePage *page = shownPage()) {
        PaintQuotePage(painter, *page);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(0, 0, kPageWidth, kPageHeight), opened);
}

void TQuotePreview::paintPreview(QPrinter *printer)
{
    ApplyPaperChoice(*printer, m_choice);
    // The preview records the drawing; there is no device to fail.
    QPainter painter(printer);
    scaleToPaper(painter, *printer);
    paintShownPage(painter, m_opened ? m_opened->preview : QImage());
}

void TQuotePreview::setPrinterName(const QString &name)
{
    m_choice.printerName = name;
    // Again with the paper: another printer may name the same paper otherwise.
    ApplyPrinterChoice(m_printer, m_choice);
}

void TQuotePreview::setPrinterChoice(const PrinterChoice &choice)
{
    m_choice = choice;
    ApplyPrinterChoice(m_printer, m_choice);
    m_view->updatePreview();
}

QString TQuotePreview::printerLabel() const
{
    if (!m_choice.printerName.isEmpty())
        return m_choice.printerName;
    if (m_printer.outputFormat() == QPrinter::PdfFormat && !m_printer.outputFileName().isEmpty())
        return m_printer.outputFileName();
    if (!m_printer.printerName().isEmpty())
        return m_printer.printerName();
    return tr("the default printer");
}

bool TQuotePreview::printPage()
{
    const std::optional<QString> problem = printProblem();
    if (problem)
        report(tr("Unable to print to %1: %2").arg(printerLabel(), *problem));
    return !problem;
}

std::optional<QString> TQuotePreview::printProblem()
{
    // A file chosen in the print dialog needs no print service.
    const bool toFile = m_printer.outputFormat() == QPrinter::PdfFormat && !m_printer.outputFileName().isEmpty();
    if (!toFile) {
        // Without any printer QPrinter falls back to writing a PDF to no file.
        if (QPrinterInfo::availablePrinterNames().isEmpty())
            return tr("No printer is installed");
        // The printer asked for may have been installed since, or removed.
        const QString &asked = m_choice.printerName;
        if (!asked.isEmpty() && m_printer.printerName() != asked)
            m_printer.setPrinterName(asked);
        if (!asked.isEmpty() && m_printer.printerName() != asked)
            return tr("No printer of that name is installed");
    }
    if (m_printer.printerState() == QPrinter::Error)
        return tr("The printer reports an error");
    ApplyPaperChoice(m_printer, m_choice);
    QImage opened;
    if (!shownPage()) {
        const int dpi = std::min(m_printer.resolution(), kOpenedPrintDpi);
        PageDrawn drawn = drawOpened(m_opened->bytes, kPageWidth * dpi / 96);
        if (drawn.image.isNull())
            return drawn.error;
        opened = std::move(drawn.image);
    }
    QPainter painter;
    if (!painter.begin(&m_printer))
        return tr("The printer could not be started");
    scaleToPaper(painter, m_printer);
    paintShownPage(painter, opened);
    if (!painter.end())
        return tr("The page could not be sent to the printer");
    if (m_printer.printerState() == QPrinter::Error || m_printer.printerState() == QPrinter::Aborted)
        return tr("The printer reports an error");
    return std::nullopt;
}

void TQuotePreview::setupPrinter()
{
    TPrinterSetup dialog(m_choice, this, TPrinterSetup::WithCopies);
    if (dialog.exec() == QDialog::Accepted)
        setPrinterChoice(dialog.choice());
}

bool TQuotePreview::savePdf(const QString &path)
{
    const std::filesystem::path file = QuoteFilePath(path);
    const FileWriteResult written = m_opened ? WriteQuoteFile(file, m_opened->bytes) : WriteQuotePdf(file, m_page);
    if (!written)
        report(tr("Unable to write to %1: %2").arg(path, written.error));
    else if (!written.warning.isEmpty())
        report(written.warning);
    return written.ok();
}

bool TQuotePreview::openPdf(const QString &path)
{
    const auto refuse = [this, &path](const QString &reason) {
        report(tr("Unable to open %1: %2").arg(path, reason));
        return false;
    };
    QuoteFileRead file = ReadQuoteFile(path, kLargestQuoteFile);
    if (!file.error.isEmpty())
        return refuse(file.error);
    // Most files that are not quotes are no PDF at all, which needs no
    // helper to tell.
    if (!file.bytes.left(1024).contains("%PDF-"))
        return refuse(tr("It is not a PDF file"));
    auto opened = std::make_unique<OpenedQuote>();
    if (PageRecordRead record = ReadQuotePageRecord(file.bytes); record.found) {
        if (!record.error.isEmpty())
            return refuse(record.error);
        opened->page = std::move(record.page);
    } else {
        PageDrawn drawn = drawOpened(file.bytes, pictureWidth(screen()));
        if (drawn.image.isNull())
            return refuse(drawn.error);
        opened->preview = std::move(drawn.image);
    }
    opened->bytes = std::move(file.bytes);
    m_opened = std::move(opened);
    m_view->updatePreview();
    describePage();
    return true;
}

PageDrawn TQuotePreview::drawOpened(const QByteArray &pdf, int width)
{
    // The event loop turns while the page is drawn. Nothing of this window
    // may start meanwhile: another draw, a save of what is about to change,
    // or a close that would delete the window under the draw.
    m_drawing = true;
    const QList<QAction *> actions = findChild<QToolBar *>()->actions();
    for (QAction *action : actions)
        action->setEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    const auto done = qScopeGuard([this, &actions] {
        QGuiApplication::restoreOverrideCursor();
        m_drawing = false;
        for (QAction *action : actions)
            action->setEnabled(true);
        updatePageActions();
    });
    return DrawQuotePage(pdf, pageSizeAt(width));
}

QSize TQuotePreview::openedImageSize() const
{
    return m_opened && !m_opened->page ? m_opened->preview.size() : QSize();
}

void TQuotePreview::report(const QString &message)
{
    QMessageBox box(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText); // a path is shown as it is, whatever it holds
    box.exec();
}

void TQuotePreview::closeEvent(QCloseEvent *event)
{
    if (m_drawing) {
        event->ignore();
        return;
    }
    emit closed();
    QMainWindow::closeEvent(event);
}

void PreviewQuote(const QuotePage &page, QWidget *owner, const PrinterChoice &choice)
{
    // A window of its own, not a modal one: the main window stays usable
    // while the clerk looks at the quote.
    QPointer<TQuotePreview> preview = new TQuotePreview(page, owner);
    preview->setPrinterChoice(choice);
    QEventLoop wait;
    QObject::connect(preview, &TQuotePreview::closed, &wait, &QEventLoop::quit);
    QObject::connect(preview, &QObject::destroyed, &wait, &QEventLoop::quit);
    // Sized to the screen first, for desktops whose window manager does not
    // maximise on request.
    if (const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        preview->setGeometry(screen->availableGeometry());
    preview->showMaximized();
    if (preview)
        wait.exec();
}

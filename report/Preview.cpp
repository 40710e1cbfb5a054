#include "Preview.h"

#include <QAction>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPdfDocument>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QGuiApplication>
#include <QScreen>
#include <QToolBar>

namespace {

void letterFullPage(QPrinter &printer)
{
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
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
    letterFullPage(m_printer);
    m_view = new QPrintPreviewWidget(&m_printer, this);
    setCentralWidget(m_view);
    connect(m_view, &QPrintPreviewWidget::paintRequested, this, &TQuotePreview::paintPages);
    buildToolBar();
    m_view->fitToWidth();
}

TQuotePreview::~TQuotePreview() = default;

void TQuotePreview::buildToolBar()
{
    QToolBar *bar = addToolBar(tr("Preview"));
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    bar->setMovable(false);
    auto add = [this, bar](const QString &text, const QKeySequence &key, auto slot) {
        QAction *action = bar->addAction(text);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    add(tr("&Whole Page"), QKeySequence(Qt::CTRL | Qt::Key_0), [this] { m_view->fitInView(); });
    add(tr("100 %"), QKeySequence(Qt::CTRL | Qt::Key_1), [this] {
        m_view->setZoomMode(QPrintPreviewWidget::CustomZoom);
        m_view->setZoomFactor(1.0);
    });
    add(tr("Page &Width"), QKeySequence(Qt::CTRL | Qt::Key_2), [this] { m_view->fitToWidth(); });
    bar->addSeparator();
    add(tr("&First Page"), QKeySequence(Qt::Key_Home), [this] { m_view->setCurrentPage(1); });
    add(tr("Pre&vious Page"), QKeySequence(Qt::Key_PageUp), [this] { m_view->setCurrentPage(m_view->currentPage() - 1); });
    add(tr("&Next Page"), QKeySequence(Qt::Key_PageDown), [this] { m_view->setCurrentPage(m_view->currentPage() + 1); });
    add(tr("&Last Page"), QKeySequence(Qt::Key_End), [this] { m_view->setCurrentPage(m_view->pageCount()); });
    bar->addSeparator();
    add(tr("Printer &Setup..."), QKeySequence(), &TQuotePreview::setupPrinter);
    add(tr("&Print"), QKeySequence::Print, &TQuotePreview::printPage);
    add(tr("&Save..."), QKeySequence::Save, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save Quote"), QString(), tr("PDF files (*.pdf)"));
        if (!path.isEmpty() && !savePdf(path)) {
            QMessageBox box(QMessageBox::Warning, windowTitle(), tr("Unable to write to %1").arg(path), QMessageBox::Ok, this);
            box.setTextFormat(Qt::PlainText); // a path is shown as it is, whatever it holds
            box.exec();
        }
    });
    add(tr("&Open..."), QKeySequence::Open, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Open Quote"), QString(), tr("PDF files (*.pdf)"));
        if (!path.isEmpty() && !openPdf(path)) {
            QMessageBox box(QMessageBox::Warning, windowTitle(), tr("Unable to read %1").arg(path), QMessageBox::Ok, this);
            box.setTextFormat(Qt::PlainText); // a path is shown as it is, whatever it holds
            box.exec();
        }
    });
    bar->addSeparator();
    add(tr("&Close"), QKeySequence(Qt::Key_Escape), &QWidget::close);
}

void TQuotePreview::paintPages(QPrinter *printer)
{
    if (!m_opened) {
        PaintQuotePage(*printer, m_page);
        return;
    }
    // A quote opened from a PDF is printed from its pages at the printer's resolution.
    QPainter painter(printer);
    for (int i = 0; i < m_opened->pageCount(); ++i) {
        if (i > 0)
            printer->newPage();
        const QRect target = painter.viewport();
        const QImage image = m_opened->render(i, target.size());
        painter.drawImage(target, image);
    }
}

void TQuotePreview::printPage()
{
    m_view->print();
}

void TQuotePreview::setupPrinter()
{
    QPrintDialog dialog(&m_printer, this);
    dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintShowPageSize);
    dialog.setMinMax(1, 1);
    if (dialog.exec() == QDialog::Accepted)
        m_view->updatePreview();
}

bool TQuotePreview::savePdf(const QString &path)
{
    if (!m_opened)
        return WriteQuotePdf(path, m_page);
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    letterFullPage(pdf);
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.close();
    paintPages(&pdf);
    return true;
}

bool TQuotePreview::openPdf(const QString &path)
{
    auto document = std::make_unique<QPdfDocument>();
    if (document->load(path) != QPdfDocument::Error::None || document->pageCount() < 1)
        return false;
    m_opened = std::move(document);
    m_view->updatePreview();
    return true;
}

void TQuotePreview::closeEvent(QCloseEvent *event)
{
    emit closed();
    QMainWindow::closeEvent(event);
}

void PreviewQuote(const QuotePage &page, QWidget *owner, const QString &printerName)
{
    // A window of its own, not a modal one: the main window stays usable
    // while the clerk looks at the quote.
    QPointer<TQuotePreview> preview = new TQuotePreview(page, owner);
    if (!printerName.isEmpty())
        preview->printer().setPrinterName(printerName);
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

#pragma once

#include <QMainWindow>
#include <QPrinter>
#include <array>
#include <memory>
#include <optional>

#include "Printsetup.h"
#include "Uprpt.h"

class QPrintPreviewWidget;
struct OpenedQuote;
struct PageDrawn;

// The preview of one quote: the page at the window's width, zoom, page
// navigation, a printer set-up of its own, Print, Save as PDF, Open a saved
// quote and Close. Each preview keeps its own copy of the page, so a second
// quote started while this one is open does not change what this one prints.
// Print, Save and Open report any failure in a box naming the printer or the
// file and the reason. Every action has a shortcut, shown in its tooltip, and
// an Alt key of its own; Tab reaches the toolbar. A screen reader reads the
// page's texts as the page's accessible description.
class TQuotePreview : public QMainWindow
{
    Q_OBJECT
public:
    explicit TQuotePreview(const QuotePage &page, QWidget *parent = nullptr);
    ~TQuotePreview() override;

    QPrinter &printer() { return m_printer; }
    QPrintPreviewWidget *view() const { return m_view; }

    // The printer the page goes to. Set it here rather than on printer():
    // QPrinter keeps its previous printer when given a name the print
    // service does not know, and the page would go there unannounced.
    void setPrinterName(const QString &name);
    // The printer, paper, orientation and copies the page is shown on and
    // printed with. A paper other than Letter portrait takes the page scaled
    // to fit it (QuotePageOnPaper); a saved PDF stays Letter.
    void setPrinterChoice(const PrinterChoice &choice);
    const PrinterChoice &printerChoice() const { return m_choice; }

    // Sends the page shown to the preview's printer; false, after a box
    // naming the printer and the reason, when it could not.
    bool printPage();
    // Writes the page shown to `path`: a quote opened from a file as the
    // bytes it was read from, otherwise the page as a PDF. False, after a
    // box, when it could not; the file at `path` is then as it was.
    bool savePdf(const QString &path);
    // Shows the quote saved at `path` instead of the page. A quote with its
    // page record (Pagerecord.h) is drawn again from that, as its own page
    // is; a damaged record is refused with a box. Any other file that is not
    // a one-page Letter PDF is refused with a box, and the preview is left
    // as it was; so is one whose page would take more memory or time to draw
    // than a quote can (Openquote.h). Such a page is drawn by a helper
    // process, with the window showing a busy cursor until it is done.
    bool openPdf(const QString &path);
    // The preview's own printer set-up; what it chooses holds for the page
    // printed from this preview only.
    void setupPrinter();

    // The page the preview draws with the one painting path: its own, or
    // one opened from its page record; null while it shows a picture.
    const QuotePage *shownPage() const;
    // The size of the picture an opened quote without a page record is
    // shown from; empty otherwise.
    QSize openedImageSize() const;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void paintPreview(QPrinter *printer);
    void paintShownPage(QPainter &painter, const QImage &opened) const;
    PageDrawn drawOpened(const QByteArray &pdf, int width);
    std::optional<QString> printProblem();
    QString printerLabel() const;
    void report(const QString &message);
    void buildToolBar();
    void updatePageActions();
    void describePage();
    QString chooseSavePath();

    QuotePage m_page;
    QPrinter m_printer;
    PrinterChoice m_choice; // its printer name as asked for; empty: the print service's choice
    QPrintPreviewWidget *m_view;
    std::unique_ptr<OpenedQuote> m_opened;
    bool m_drawing = false; // an opened quote's page is being drawn
    // First, Previous, Next and Last Page, enabled only where they can move.
    std::array<QAction *, 4> m_pageActions{};
};

// Shows the preview and waits, with the program's other windows still
// working, until the clerk closes it.
void PreviewQuote(const QuotePage &page, QWidget *owner, const PrinterChoice &choice);

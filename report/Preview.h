#pragma once

#include <QMainWindow>
#include <QPrinter>
#include <memory>

#include "Uprpt.h"

class QPdfDocument;
class QPrintPreviewWidget;

// The preview of one quote: the page at the window's width, zoom, page
// navigation, a printer set-up of its own, Print, Save as PDF, Open a saved
// quote and Close. Each preview keeps its own copy of the page, so a second
// quote started while this one is open does not change what this one prints.
class TQuotePreview : public QMainWindow
{
    Q_OBJECT
public:
    explicit TQuotePreview(const QuotePage &page, QWidget *parent = nullptr);
    ~TQuotePreview() override;

    QPrinter &printer() { return m_printer; }
    QPrintPreviewWidget *view() const { return m_view; }

    // Sends the page shown to the preview's printer.
    void printPage();
    // Writes the page shown as a PDF; false when the file cannot be written.
    bool savePdf(const QString &path);
    // Shows a saved quote PDF instead of the page; false when it cannot be read.
    bool openPdf(const QString &path);
    void setupPrinter();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void paintPages(QPrinter *printer);
    void buildToolBar();

    QuotePage m_page;
    QPrinter m_printer;
    QPrintPreviewWidget *m_view;
    std::unique_ptr<QPdfDocument> m_opened;
};

// Shows the preview and waits, with the program's other windows still
// working, until the clerk closes it.
void PreviewQuote(const QuotePage &page, QWidget *owner, const QString &printerName);

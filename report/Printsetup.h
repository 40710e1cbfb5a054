#pragma once

#include <QDialog>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>

class QButtonGroup;
class QComboBox;
class QPrinter;
class QSpinBox;

// What the clerk chose in a printer set-up: where the quote goes and on what
// paper. A default choice is the print service's default printer, Letter,
// portrait, one copy: the page as designed.
struct PrinterChoice
{
    QString printerName; // empty: the print service's default printer
    QPageSize pageSize = QPageSize(QPageSize::Letter);
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    int copies = 1;
};

// Sets the printer, paper, orientation and copies of `choice` on `printer`,
// in full-page mode, so that painting starts at the paper's top-left corner.
// An empty printer name leaves the printer the print service gave.
void ApplyPrinterChoice(QPrinter &printer, const PrinterChoice &choice);
// The same without the printer: for a printer that is drawing a preview.
void ApplyPaperChoice(QPrinter &printer, const PrinterChoice &choice);

// Where the quote page (Letter portrait, 816 x 1056 units of 1/96 inch)
// lies on paper of `paper` size, in the same units and as oriented: scaled
// uniformly to the largest size that fits, never clipped, at the top and
// centred across. On Letter portrait that is the page itself at scale 1.
QRectF QuotePageOnPaper(const QSizeF &paper);

// The paper sizes offered for a printer: those it reports, or Letter, A4
// and Legal when it reports none (or is not installed).
QList<QPageSize> OfferedPageSizes(const QString &printerName);

// The printer set-up dialog: a printer from those the print service lists,
// one of that printer's paper sizes, portrait or landscape, and with
// WithCopies the number of copies. OK takes the choice, Cancel keeps the
// one it was opened with; neither prints.
class TPrinterSetup : public QDialog
{
    Q_OBJECT
public:
    enum Option { PaperOnly, WithCopies };

    explicit TPrinterSetup(const PrinterChoice &choice, QWidget *parent = nullptr, Option option = PaperOnly);

    PrinterChoice choice() const;

private:
    void fillPapers(const QPageSize &preferred);

    QComboBox *m_printers;
    QComboBox *m_papers;
    QButtonGroup *m_orientation;
    QSpinBox *m_copies = nullptr;
    int m_copiesGiven; // kept as given when the dialog does not offer copies
    QList<QPageSize> m_offered; // in the order of m_papers
};

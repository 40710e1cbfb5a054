#include "Printsetup.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "Uprpt.h"

using namespace quillon;

void ApplyPaperChoice(QPrinter &printer, const PrinterChoice &choice)
{
    // Full-page mode first: in it any margins are accepted, and the page is
    // drawn from the paper's corner whatever the printer cannot reach.
    printer.setFullPage(true);
    // Size and orientation one at a time rather than as one layout: a print
    // service refuses a whole layout whose margins its printer cannot print,
    // and the paper would silently stay what it was.
    printer.setPageSize(choice.pageSize);
    printer.setPageOrientation(choice.orientation);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));
}

void ApplyPrinterChoice(QPrinter &printer, const PrinterChoice &choice)
{
    if (!choice.printerName.isEmpty())
        printer.setPrinterName(choice.printerName);
    ApplyPaperChoice(printer, choice);
    printer.setCopyCount(choice.copies);
}

QRectF QuotePageOnPaper(const QSizeF &paper)
{
    const qreal scale = std::min(paper.width() / kPageWidth, paper.height() / kPageHeight);
    const QSizeF page(kPageWidth * scale, kPageHeight * scale);
    return QRectF(QPointF((paper.width() - page.width()) / 2, 0), page);
}

QList<QPageSize> OfferedPageSizes(const QString &printerName)
{
    const QList<QPageSize> reported = QPrinterInfo::printerInfo(printerName).supportedPageSizes();
    if (!reported.isEmpty())
        return reported;
    return {QPageSize(QPageSize::Letter), QPageSize(QPageSize::A4), QPageSize(QPageSize::Legal)};
}

namespace {

// The printer a set-up opens on: the one chosen before while it is still
// installed, else the print service's default, else the first it lists,
// which is the one QPrinter takes when there is no default.
int initialPrinter(const QComboBox &printers, const QString &chosen)
{
    for (const QString &name : {chosen, QPrinterInfo::defaultPrinterName()}) {
        const int at = name.isEmpty() ? -1 : printers.findText(name);
        if (at >= 0)
            return at;
    }
    return printers.count() > 0 ? 0 : -1;
}

QRadioButton *addOrientation(QButtonGroup *group, QLayout *layout, const QString &text, QPageLayout::Orientation id)
{
    auto *button = new QRadioButton(text);
    button->setObjectName(id == QPageLayout::Portrait ? QStringLiteral("Portrait") : QStringLiteral("Landscape"));
    group->addButton(button, id);
    layout->addWidget(button);
    return button;
}

} // namespace

TPrinterSetup::TPrinterSetup(const PrinterChoice &choice, QWidget *parent, Option option)
    : QDialog(parent)
    , m_printers(new QComboBox)
    , m_papers(new QComboBox)
    , m_orientation(new QButtonGroup(this))
    , m_copiesGiven(choice.copies)
{
    setWindowTitle(tr("Printer Setup"));
    m_printers->setObjectName(QStringLiteral("PrinterCombo"));
    m_printers->setAccessibleName(tr("Printer"));
    m_printers->addItems(QPrinterInfo::availablePrinterNames());
    m_printers->setPlaceholderText(tr("No printer is installed"));
    m_printers->setEnabled(m_printers->count() > 0);
    m_printers->setCurrentIndex(initialPrinter(*m_printers, choice.printerName));
    m_papers->setObjectName(QStringLiteral("PaperCombo"));
    m_papers->setAccessibleName(tr("Paper size"));
    // Several printers carry long lists of paper; let the combo grow with its
    // names rather than cut "Letter / ANSI A" short.
    m_papers->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    fillPapers(choice.pageSize);
    connect(m_printers, &QComboBox::currentIndexChanged, this, [this] { fillPapers(m_offered.value(m_papers->currentIndex())); });

    auto *form = new QFormLayout;
    auto *printerLabel = new QLabel(tr("&Printer:"));
    printerLabel->setBuddy(m_printers);
    form->addRow(printerLabel, m_printers);
    auto *paperLabel = new QLabel(tr("Paper &size:"));
    paperLabel->setBuddy(m_papers);
    form->addRow(paperLabel, m_papers);
    if (option == WithCopies) {
        m_copies = new QSpinBox;
        m_copies->setObjectName(QStringLiteral("Copies"));
        m_copies->setAccessibleName(tr("Copies"));
        m_copies->setRange(1, 99);
        m_copies->setValue(choice.copies);
        auto *copiesLabel = new QLabel(tr("&Copies:"));
        copiesLabel->setBuddy(m_copies);
        form->addRow(copiesLabel, m_copies);
    }

    auto *orientationBox = new QGroupBox(tr("Orientation"));
    auto *orientationRow = new QHBoxLayout(orientationBox);
    addOrientation(m_orientation, orientationRow, tr("P&ortrait"), QPageLayout::Portrait);
    addOrientation(m_orientation, orientationRow, tr("&Landscape"), QPageLayout::Landscape);
    orientationRow->addStretch();
    m_orientation->button(choice.orientation)->setChecked(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(orientationBox);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TPrinterSetup::fillPapers(const QPageSize &preferred)
{
    m_offered = OfferedPageSizes(m_printers->currentText());
    const QSignalBlocker quiet(m_papers);
    m_papers->clear();
    for (const QPageSize &size : m_offered)
        m_papers->addItem(size.name());
    // The paper asked for when this printer has it, else Letter, the page as
    // designed, else whatever the printer lists first. A printer may list
    // one size under two names ("Letter" and "ANSI A"): the name asked for
    // comes first.
    const auto find = [this](const QPageSize &wanted) {
        for (const bool byName : {true, false})
            for (int i = 0; i < m_offered.size(); ++i)
                if (byName ? m_offered[i].key() == wanted.key() : m_offered[i].isEquivalentTo(wanted))
                    return i;
        return -1;
    };
    int chosen = find(preferred);
    if (chosen < 0)
        chosen = find(QPageSize(QPageSize::Letter));
    m_papers->setCurrentIndex(std::max(chosen, 0));
}

PrinterChoice TPrinterSetup::choice() const
{
    PrinterChoice chosen;
    chosen.printerName = m_printers->currentText();
    chosen.pageSize = m_offered.value(m_papers->currentIndex(), chosen.pageSize);
    chosen.orientation = QPageLayout::Orientation(m_orientation->checkedId());
    chosen.copies = m_copies ? m_copies->value() : m_copiesGiven;
    return chosen;
}

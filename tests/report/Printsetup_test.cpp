// The printer set-up: where the quote page lands on other paper, and the dialog as the clerk drives it.

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "../support/Modalwatch.h"
#include "../support/Widgettest.h"
#include "Errordisplay.h"
#include "Printsetup.h"

namespace {

template <class T>
T *child(const QWidget &parent, const char *name)
{
    T *found = parent.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QString labelOf(const QDialog &dialog, const QWidget *control)
{
    for (const QLabel *label : dialog.findChildren<QLabel *>())
        if (label->buddy() == control)
            return label->text();
    return QString();
}

// The printer a set-up opens on when it is given no name.
QString serviceDefault()
{
    const QStringList names = QPrinterInfo::availablePrinterNames();
    const QString named = QPrinterInfo::defaultPrinterName();
    return names.contains(named) ? named : names.value(0);
}

} // namespace

class TestPrinterSetup : public QObject
{
    Q_OBJECT

private slots:
    // Expected places worked by hand from the paper in 1/96 inch: A4 is 210 x 297 mm = 793.70 x 1122.52,
    // Letter 816 x 1056, Legal 816 x 1344, Tabloid 1056 x 1632.
    void quotePageFitsThePaperTopCentred()
    {
        const struct { const char *name; QSizeF paper; QRectF page; } cases[] = {
            {"Letter portrait is the page as designed", {816, 1056}, {0, 0, 816, 1056}},
            // 816 / 1056 = 0.772727: 630.55 wide, (1056 - 630.55) / 2 across.
            {"Letter landscape fits its height, centred", {1056, 816}, {212.727, 0, 630.545, 816}},
            // 793.70 / 816 = 0.972673: 1027.14 high, the rest of the paper below.
            {"A4 portrait fits its width", {793.701, 1122.520}, {0, 0, 793.701, 1027.143}},
            // 793.70 / 1056 = 0.751611: 613.31 wide, (1122.52 - 613.31) / 2 across.
            {"A4 landscape fits its height, centred", {1122.520, 793.701}, {254.604, 0, 613.315, 793.701}},
            {"Legal keeps the page's size at the top", {816, 1344}, {0, 0, 816, 1056}},
            // 1056 / 816 = 1.294118: the page grows to the paper's width.
            {"Tabloid takes the page to its width", {1056, 1632}, {0, 0, 1056, 1366.588}},
        };
        const auto near = [](qreal a, qreal b) { return qAbs(a - b) < 0.01; };
        for (const auto &c : cases) {
            const QRectF placed = QuotePageOnPaper(c.paper);
            const QString where = QStringLiteral("%1: %2,%3 %4x%5")
                                      .arg(c.name).arg(placed.x()).arg(placed.y()).arg(placed.width()).arg(placed.height());
            QVERIFY2(near(placed.x(), c.page.x()) && near(placed.y(), c.page.y()) && near(placed.width(), c.page.width())
                         && near(placed.height(), c.page.height()), qPrintable(where));
            // Never clipped, and never stretched out of the page's proportions.
            QVERIFY2(placed.right() <= c.paper.width() + 0.001 && placed.bottom() <= c.paper.height() + 0.001, qPrintable(where));
            QVERIFY2(near(placed.width() * 1056, placed.height() * 816), qPrintable(where));
        }
        QCOMPARE(QuotePageOnPaper(QSizeF(816, 1056)), QRectF(0, 0, 816, 1056)); // exactly the page as designed
    }

    // It sets up and does not print: OK and Cancel, the service's printers, and copies only where asked for.
    void setsUpThePrintersOfThePrintService()
    {
        TPrinterSetup dialog{PrinterChoice()};
        QCOMPARE(dialog.windowTitle(), QString("Printer Setup"));
        QStringList buttons;
        for (const QAbstractButton *button : child<QDialogButtonBox>(dialog, "")->buttons())
            buttons << button->text().remove(u'&');
        QCOMPARE(buttons, QStringList({"OK", "Cancel"}));
        QVERIFY(child<QDialogButtonBox>(dialog, "")->button(QDialogButtonBox::Ok)->isDefault());
        QVERIFY(!dialog.findChild<QSpinBox *>());
        QVERIFY(TPrinterSetup(PrinterChoice(), nullptr, TPrinterSetup::WithCopies).findChild<QSpinBox *>(QStringLiteral("Copies")));
        auto *printers = child<QComboBox>(dialog, "PrinterCombo");
        QStringList listed;
        for (int i = 0; i < printers->count(); ++i)
            listed << printers->itemText(i);
        QCOMPARE(listed, QPrinterInfo::availablePrinterNames());
        QCOMPARE(printers->currentText(), serviceDefault());
        QCOMPARE(printers->isEnabled(), !listed.isEmpty());
        // A printer that reports no paper is offered Letter, A4 and Legal.
        QList<QPageSize::PageSizeId> ids;
        for (const QPageSize &size : OfferedPageSizes(QStringLiteral("Quillon_No_Such_Printer")))
            ids << size.id();
        QCOMPARE(ids, (QList<QPageSize::PageSizeId>{QPageSize::Letter, QPageSize::A4, QPageSize::Legal}));
    }

    void everyControlHasANameAndAKey()
    {
        const struct { const char *control, *name, *label; } cases[] = {
            {"PrinterCombo", "Printer", "&Printer:"}, {"PaperCombo", "Paper size", "Paper &size:"},
            {"Copies", "Copies", "&Copies:"}, {"Portrait", "Portrait", ""}, {"Landscape", "Landscape", ""},
        };
        TPrinterSetup dialog(PrinterChoice(), nullptr, TPrinterSetup::WithCopies);
        for (const auto &c : cases) {
            auto *widget = child<QWidget>(dialog, c.control);
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
            QVERIFY2(accessible, c.control);
            // On Linux a combo box reports its current item as its name, so its own name is the one given to it.
            QString given = widget->accessibleName().isEmpty() ? accessible->text(QAccessible::Name) : widget->accessibleName();
            QCOMPARE(given.remove(u'&'), QString(c.name));
            if (*c.label)
                QCOMPARE(labelOf(dialog, widget), QString(c.label));
            QVERIFY2(widget->focusPolicy() & Qt::TabFocus, c.control);
        }
    }

    void opensOnTheChoiceItWasGiven()
    {
        const struct { const char *name; PrinterChoice given; QPageSize::PageSizeId paper; const char *checked; } cases[] = {
            {"the page as designed", PrinterChoice(), QPageSize::Letter, "Portrait"},
            {"A4 landscape", {{}, QPageSize::A4, QPageLayout::Landscape}, QPageSize::A4, "Landscape"},
            {"Legal portrait", {{}, QPageSize::Legal, QPageLayout::Portrait}, QPageSize::Legal, "Portrait"},
            {"a paper no printer lists falls back to Letter", {{}, QPageSize(QSizeF(100, 100), QPageSize::Millimeter)},
             QPageSize::Letter, "Portrait"},
            {"a printer since removed gives the default", {QStringLiteral("Quillon_Removed_Printer")}, QPageSize::Letter, "Portrait"},
        };
        for (const auto &c : cases) {
            TPrinterSetup dialog(c.given);
            QVERIFY2(child<QRadioButton>(dialog, c.checked)->isChecked(), c.name);
            const PrinterChoice shown = dialog.choice();
            QCOMPARE(shown.pageSize.id(), c.paper);
            QCOMPARE(shown.printerName, serviceDefault()); // none given, or one since removed
            QCOMPARE(child<QComboBox>(dialog, "PaperCombo")->currentText(), shown.pageSize.name());
        }
    }

    // The clerk's keys: Alt+S to the paper, a paper typed by its name, Alt+L
    // for landscape, Alt+C to the copies, Enter for OK; or Escape.
    void theKeyboardChoosesAndEnterTakesIt()
    {
        for (const bool enter : {true, false}) {
            TPrinterSetup dialog(PrinterChoice(), nullptr, TPrinterSetup::WithCopies);
            ModalWatch watch([enter](QWidget *modal) {
                answerPrinterSetupByKeys(modal, enter);
            });
            QCOMPARE(dialog.exec(), enter ? QDialog::Accepted : QDialog::Rejected);
            QCOMPARE(watch.seen().size(), 1);
            // What the dialog shows is what OK takes; the caller drops it on Escape.
            const PrinterChoice chosen = dialog.choice();
            QVERIFY(chosen.pageSize.id() == QPageSize::A4 && chosen.orientation == QPageLayout::Landscape && chosen.copies == 2);
        }
    }
};

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    TestPrinterSetup test;
    return QTest::qExec(&test, argc, argv);
}

#include "Printsetup_test.moc"

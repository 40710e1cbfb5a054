// The printer set-up: where the quote page lands on other paper, and the
// dialog as the clerk drives it.

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
#include "Errordisplay.h"
#include "Printsetup.h"

Q_DECLARE_METATYPE(PrinterChoice)

namespace {

template <class T>
T *child(const QWidget &parent, const char *name)
{
    T *found = parent.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QStringList buttonTexts(const QDialog &dialog)
{
    QStringList texts;
    for (const QAbstractButton *button : dialog.findChild<QDialogButtonBox *>()->buttons())
        texts << button->text().remove(u'&');
    return texts;
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

PrinterChoice choiceOf(QPageSize::PageSizeId paper, QPageLayout::Orientation orientation, int copies = 1)
{
    PrinterChoice choice;
    choice.pageSize = QPageSize(paper);
    choice.orientation = orientation;
    choice.copies = copies;
    return choice;
}

} // namespace

class TestPrinterSetup : public QObject
{
    Q_OBJECT

private slots:
    // Expected places worked by hand from the paper in 1/96 inch: A4 is
    // 210 x 297 mm = 793.70 x 1122.52, Letter 816 x 1056, Legal 816 x 1344,
    // Tabloid 1056 x 1632.
    void quotePageFitsThePaperTopCentred_data()
    {
        QTest::addColumn<QSizeF>("paper");
        QTest::addColumn<QRectF>("page");
        QTest::newRow("Letter portrait is the page as designed") << QSizeF(816, 1056) << QRectF(0, 0, 816, 1056);
        // 816 / 1056 = 0.772727: 630.55 wide, (1056 - 630.55) / 2 across.
        QTest::newRow("Letter landscape fits its height, centred")
            << QSizeF(1056, 816) << QRectF(212.727, 0, 630.545, 816);
        // 793.70 / 816 = 0.972673: 1027.14 high, the rest of the paper below.
        QTest::newRow("A4 portrait fits its width") << QSizeF(793.701, 1122.520) << QRectF(0, 0, 793.701, 1027.143);
        // 793.70 / 1056 = 0.751611: 613.31 wide, (1122.52 - 613.31) / 2 across.
        QTest::newRow("A4 landscape fits its height, centred")
            << QSizeF(1122.520, 793.701) << QRectF(254.604, 0, 613.315, 793.701);
        QTest::newRow("Legal keeps the page's size at the top") << QSizeF(816, 1344) << QRectF(0, 0, 816, 1056);
        // 1056 / 816 = 1.294118: the page grows to the paper's width.
        QTest::newRow("Tabloid takes the page to its width") << QSizeF(1056, 1632) << QRectF(0, 0, 1056, 1366.588);
    }

    void quotePageFitsThePaperTopCentred()
    {
        QFETCH(QSizeF, paper);
        QFETCH(QRectF, page);
        const QRectF placed = QuotePageOnPaper(paper);
        const auto near = [](qreal a, qreal b) { return qAbs(a - b) < 0.01; };
        QVERIFY2(near(placed.x(), page.x()) && near(placed.y(), page.y()) && near(placed.width(), page.width())
                     && near(placed.height(), page.height()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(placed.x()).arg(placed.y()).arg(placed.width()).arg(placed.height())));
        // Never clipped, and never stretched out of the page's proportions.
        QVERIFY(placed.right() <= paper.width() + 0.001 && placed.bottom() <= paper.height() + 0.001);
        QVERIFY(near(placed.width() * 1056, placed.height() * 816));
        if (paper == QSizeF(816, 1056))
            QCOMPARE(placed, page); // exactly the page as designed
    }

    void aPrinterThatReportsNoPaperOffersLetterA4AndLegal()
    {
        QList<QPageSize::PageSizeId> ids;
        for (const QPageSize &size : OfferedPageSizes(QStringLiteral("Quillon_No_Such_Printer")))
            ids << size.id();
        QCOMPARE(ids, (QList<QPageSize::PageSizeId>{QPageSize::Letter, QPageSize::A4, QPageSize::Legal}));
    }

    void setsUpAndDoesNotPrint()
    {
        TPrinterSetup dialog{PrinterChoice()};
        QCOMPARE(dialog.windowTitle(), QString("Printer Setup"));
        QCOMPARE(buttonTexts(dialog), QStringList({"OK", "Cancel"}));
        QVERIFY(child<QDialogButtonBox>(dialog, "")->button(QDialogButtonBox::Ok)->isDefault());
        // Copies belong to printing one page, offered only where asked for.
        QVERIFY(!dialog.findChild<QSpinBox *>());
        TPrinterSetup withCopies(PrinterChoice(), nullptr, TPrinterSetup::WithCopies);
        QVERIFY(withCopies.findChild<QSpinBox *>(QStringLiteral("Copies")));
    }

    void everyControlHasANameAndAKey_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::newRow("printer") << "PrinterCombo" << "Printer" << "&Printer:";
        QTest::newRow("paper") << "PaperCombo" << "Paper size" << "Paper &size:";
        QTest::newRow("copies") << "Copies" << "Copies" << "&Copies:";
        QTest::newRow("portrait") << "Portrait" << "Portrait" << "";
        QTest::newRow("landscape") << "Landscape" << "Landscape" << "";
    }

    void everyControlHasANameAndAKey()
    {
        QFETCH(QString, control);
        QFETCH(QString, name);
        QFETCH(QString, label);
        TPrinterSetup dialog(PrinterChoice(), nullptr, TPrinterSetup::WithCopies);
        auto *widget = dialog.findChild<QWidget *>(control);
        QVERIFY(widget);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(accessible);
        // On Linux a combo box reports its current item as its name, so
        // its own name is the one given to it.
        QString given = widget->accessibleName().isEmpty() ? accessible->text(QAccessible::Name) : widget->accessibleName();
        QCOMPARE(given.remove(u'&'), name);
        if (!label.isEmpty())
            QCOMPARE(labelOf(dialog, widget), label);
        QVERIFY(widget->focusPolicy() & Qt::TabFocus);
    }

    void listsThePrintersOfThePrintService()
    {
        TPrinterSetup dialog{PrinterChoice()};
        auto *printers = child<QComboBox>(dialog, "PrinterCombo");
        QStringList listed;
        for (int i = 0; i < printers->count(); ++i)
            listed << printers->itemText(i);
        QCOMPARE(listed, QPrinterInfo::availablePrinterNames());
        QCOMPARE(printers->currentText(), serviceDefault());
        QCOMPARE(printers->isEnabled(), !listed.isEmpty());
    }

    void opensOnTheChoiceItWasGiven_data()
    {
        QTest::addColumn<PrinterChoice>("given");
        QTest::addColumn<QPageSize::PageSizeId>("paper");
        QTest::addColumn<QString>("checked");
        QTest::newRow("the page as designed") << PrinterChoice() << QPageSize::Letter << "Portrait";
        QTest::newRow("A4 landscape") << choiceOf(QPageSize::A4, QPageLayout::Landscape) << QPageSize::A4 << "Landscape";
        QTest::newRow("Legal portrait") << choiceOf(QPageSize::Legal, QPageLayout::Portrait) << QPageSize::Legal << "Portrait";
        PrinterChoice odd;
        odd.pageSize = QPageSize(QSizeF(100, 100), QPageSize::Millimeter);
        QTest::newRow("a paper no printer lists falls back to Letter") << odd << QPageSize::Letter << "Portrait";
        PrinterChoice gone;
        gone.printerName = QStringLiteral("Quillon_Removed_Printer");
        QTest::newRow("a printer since removed gives the default") << gone << QPageSize::Letter << "Portrait";
    }

    void opensOnTheChoiceItWasGiven()
    {
        QFETCH(PrinterChoice, given);
        QFETCH(QPageSize::PageSizeId, paper);
        QFETCH(QString, checked);
        TPrinterSetup dialog(given);
        QVERIFY(child<QRadioButton>(dialog, qPrintable(checked))->isChecked());
        const PrinterChoice shown = dialog.choice();
        QCOMPARE(shown.pageSize.id(), paper);
        QCOMPARE(shown.printerName, given.printerName.startsWith("Quillon_Removed") || given.printerName.isEmpty()
                                        ? serviceDefault()
                                        : given.printerName);
        QCOMPARE(child<QComboBox>(dialog, "PaperCombo")->currentText(), shown.pageSize.name());
    }

    // The clerk's keys: Alt+S to the paper, a paper typed by its name, Alt+L
    // for landscape, Alt+C to the copies, Enter for OK; or Escape.
    void theKeyboardChoosesAndEnterTakesIt_data()
    {
        QTest::addColumn<bool>("enter");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter takes the choice") << true << int(QDialog::Accepted);
        QTest::newRow("Escape leaves it") << false << int(QDialog::Rejected);
    }

    void theKeyboardChoosesAndEnterTakesIt()
    {
        QFETCH(bool, enter);
        QFETCH(int, result);
        TPrinterSetup dialog(PrinterChoice(), nullptr, TPrinterSetup::WithCopies);
        ModalWatch watch([enter](QWidget *modal) {
            // Mnemonics reach only the active window.
            QVERIFY(QTest::qWaitForWindowActive(modal));
            QTest::keyClick(modal, Qt::Key_S, Qt::AltModifier);
            QTest::keyClicks(modal->focusWidget(), QStringLiteral("A4"));
            QTest::keyClick(modal, Qt::Key_L, Qt::AltModifier);
            QTest::qWait(300); // a mnemonic clicks its button as the eye can see it
            QTest::keyClick(modal, Qt::Key_C, Qt::AltModifier);
            QTest::keyClick(modal->focusWidget(), Qt::Key_Up);
            QTest::keyClick(modal->focusWidget(), enter ? Qt::Key_Return : Qt::Key_Escape);
        });
        QCOMPARE(dialog.exec(), result);
        QCOMPARE(watch.seen().size(), 1);
        // What the dialog shows is what OK takes; the caller drops it on Escape.
        const PrinterChoice chosen = dialog.choice();
        QCOMPARE(chosen.pageSize.id(), QPageSize::A4);
        QCOMPARE(chosen.orientation, QPageLayout::Landscape);
        QCOMPARE(chosen.copies, 2);
    }
};

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    TestPrinterSetup test;
    return QTest::qExec(&test, argc, argv);
}

#include "Printsetup_test.moc"

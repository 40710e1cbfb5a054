// Every window as a screen reader walks it: roles, titles, unique names, and the stops, groups and pictures below.

#include <QAccessible>
#include <QMetaEnum>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "Uaboutbx.h"
#include "Ucalc.h"
#include "Ucompany.h"
#include "Ugetdet.h"
#include "Ussplash.h"
#include "../support/Tablerows.h"

namespace {

// Opens a window over the main window; none for the main window itself.
using Open = QWidget *(*)(TFGIS *main);

// Below `node`: focusable items' names; tab stops, groups, pictures and bare client roles as "Role name".
void collect(QAccessibleInterface *node, QStringList &names, QStringList &announced)
{
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface *item = node->child(i);
        if (item->state().invisible)
            continue;
        const QAccessible::Role role = item->role();
        const auto *widget = qobject_cast<const QWidget *>(item->object());
        if (item->state().focusable)
            names << item->text(QAccessible::Name);
        if ((widget && widget->focusPolicy() & Qt::TabFocus) || role == QAccessible::Grouping
            || role == QAccessible::Graphic || (item->state().focusable && role == QAccessible::Client))
            announced << QMetaEnum::fromType<QAccessible::Role>().valueToKey(role)
                             + (u' ' + item->text(QAccessible::Name));
        collect(item, names, announced);
    }
}

} // namespace

class TestAccessible : public QObject
{
    Q_OBJECT
    QTemporaryDir m_config; // no clerk's settings are read

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit()); }

    void everyItemIsNamedAndToldApart_data()
    {
        addColumns<Open, QAccessible::Role, QStringList>({"open", "role", "announced"}); // announced: in any order
        QTest::newRow("main window")
            << Open([](TFGIS *) -> QWidget * { return nullptr; }) << QAccessible::Window
            << QStringList{"Grouping Quotation Type", "RadioButton Refund", "RadioButton Add'l Prem", "EditableText Premium",
                           "EditableText Policy Effective date", "Button Policy effective date calendar",
                           "EditableText Cancellation Date", "Button Cancellation date calendar",
                           "Grouping 12 Month Policies", "Grouping 6 Month Policies", "Button Print Quote"};
        QTest::newRow("company dialog")
            << Open([](TFGIS *main) -> QWidget * { return new TFCompanyInfo(main); }) << QAccessible::Dialog
            << QStringList{"EditableText Company", "EditableText Address1", "EditableText Address2",
                           "EditableText City", "EditableText State", "EditableText Zip/Postal", "EditableText Phone",
                           "EditableText Fax", "Grouping Mini Help", "RadioButton On", "RadioButton Off",
                           "Button Cancel and Exit", "Button Save and Exit"};
        QTest::newRow("policy dialog") << Open([](TFGIS *main) -> QWidget * { return new TFGetDetail(main); }) << QAccessible::Dialog
            << QStringList{"EditableText Policy Number:", "EditableText Client Name/Code:", "EditableText Type of Policy:", "Button Done"};
        QTest::newRow("about box") << Open([](TFGIS *main) -> QWidget * { return new TFAboutBox(main); })
                                   << QAccessible::Dialog << QStringList{"Graphic Quillon logo", "Button OK"};
        QTest::newRow("splash") << Open([](TFGIS *) -> QWidget * { return new TFSSplash; }) << QAccessible::Window
                                << QStringList{"Graphic Quillon logo"};
    }

    void everyItemIsNamedAndToldApart()
    {
        auto [open, role, announced] = fetchRow<Open, QAccessible::Role, QStringList>({"open", "role", "announced"});
        TFGIS main;
        main.show();
        const std::unique_ptr<QWidget> opened(open(&main));
        QWidget *shown = opened ? opened.get() : &main;
        shown->show();
        QAccessibleInterface *top = QAccessible::queryAccessibleInterface(shown);
        QCOMPARE(top->role(), role);
        QVERIFY(!top->text(QAccessible::Name).isEmpty());
        QStringList names, seen;
        collect(top, names, seen);
        for (const QString &name : std::as_const(names))
            QVERIFY2(!name.isEmpty() && names.count(name) == 1, qPrintable(names.join(u'|')));
        seen.sort();
        announced.sort();
        QCOMPARE(seen, announced);
    }
};

QTEST_MAIN(TestAccessible)
#include "Accessible_test.moc"

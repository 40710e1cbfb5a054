#include <QClipboard>
#include <QSignalSpy>
#include <QtTest>

#include "Ctlsettings.h"
#include "../support/Locales.h"
#include "Curred32.h"
#include "Errordisplay.h"
#include "Messages.h"
#include "../support/Fieldwindow.h"
#include "../support/Tablerows.h"

using namespace quillon;

Q_DECLARE_METATYPE(Qt::Key)
Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

class TestCurrencyEdit : public QObject
{
    Q_OBJECT

private:
    struct Window : FieldWindow<TCurrencyEdit, TCurrencyEdit>
    {
        void type(const QString &text)
        {
            enter();
            field->selectAll();
            field->del();
            field->insert(text); // as if typed: the filter is tested on its own
            leave();
        }
    };

private slots:
    void cleanup() { SetControlLocale(LocaleSettings{}); }

    void keyFilter_data()
    {
        // cursor: -1: not checked
        addColumns<Qt::Key, Qt::KeyboardModifiers, QString, QString, int>({"key", "modifiers", "character", "expected", "cursor"});
        const auto none = Qt::KeyboardModifiers(Qt::NoModifier), shift = Qt::KeyboardModifiers(Qt::ShiftModifier);
        // The field holds "12|34" with the cursor after "12".
        QTest::newRow("home moves the cursor") << Qt::Key_Home << none << "" << "1234" << 0;
        QTest::newRow("right moves the cursor") << Qt::Key_Right << none << "" << "1234" << 3;
        QTest::newRow("end moves the cursor") << Qt::Key_End << none << "" << "1234" << 4;
        QTest::newRow("digit passes") << Qt::Key_5 << none << "5" << "12534" << -1;
        QTest::newRow("minus passes") << Qt::Key_Minus << none << "-" << "12-34" << -1;
        QTest::newRow("point passes") << Qt::Key_Period << none << "." << "12.34" << -1;
        QTest::newRow("letter dropped") << Qt::Key_A << none << "a" << "1234" << -1;
        QTest::newRow("comma dropped") << Qt::Key_Comma << none << "," << "1234" << -1;
        QTest::newRow("dollar dropped") << Qt::Key_Dollar << shift << "$" << "1234" << -1;
        QTest::newRow("parenthesis dropped") << Qt::Key_ParenLeft << shift << "(" << "1234" << -1;
        QTest::newRow("space dropped") << Qt::Key_Space << none << " " << "1234" << -1;
        QTest::newRow("backspace does nothing") << Qt::Key_Backspace << none << "\b" << "1234" << -1;
        QTest::newRow("delete removes") << Qt::Key_Delete << none << "" << "124" << -1;
        QTest::newRow("ctrl+x does nothing") << Qt::Key_X << Qt::KeyboardModifiers(Qt::ControlModifier) << "\x18" << "1234" << -1;
        QTest::newRow("ctrl+v does nothing") << Qt::Key_V << Qt::KeyboardModifiers(Qt::ControlModifier) << "\x16" << "1234" << -1;
        QTest::newRow("ctrl+digit does nothing") << Qt::Key_5 << Qt::KeyboardModifiers(Qt::ControlModifier) << "5" << "1234" << -1;
        QTest::newRow("shift+insert pastes unfiltered") << Qt::Key_Insert << shift << "" << "12$9,9934" << -1;
    }

    void keyFilter()
    {
        auto [key, modifiers, character, expected, cursor] =
            fetchRow<Qt::Key, Qt::KeyboardModifiers, QString, QString, int>({"key", "modifiers", "character", "expected", "cursor"});
        QGuiApplication::clipboard()->setText("$9,99");
        Window w;
        w.enter();
        w.field->setText("1234");
        w.field->setCursorPosition(2);
        QKeyEvent press(QEvent::KeyPress, key, modifiers, character);
        QApplication::sendEvent(w.field, &press);
        QCOMPARE(w.field->text(), expected);
        if (cursor >= 0)
            QCOMPARE(w.field->cursorPosition(), cursor);
    }

    // Persian digits typed on a Persian keyboard go in as the digits they are.
    void theLocalesOwnDigitsTypeAsDigits()
    {
        SetControlLocale(namedLocale("fa_IR.UTF-8"));
        Window w;
        w.enter();
        w.field->setText("1234");
        w.field->setCursorPosition(2);
        for (const QString &digit : {QStringLiteral("\u06F5"), QStringLiteral("\u0661")}) { // Persian 5, Arabic-Indic 1
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, digit);
            QApplication::sendEvent(w.field, &press);
        }
        QCOMPARE(w.field->text(), QString("12534")); // another script's digit is dropped
    }

    void readBackOnLeaving_data()
    {
        // comma: a locale that writes 1.234,50
        addColumns<QString, double, QString, bool>({"typed", "expectedValue", "expectedText", "comma"});
        // The field held 42; unreadable text restores it. Leaving again adopts the figure shown.
        QTest::newRow("negative by minus") << "-100" << -100.0 << "($100.00)" << false;
        QTest::newRow("minus in the middle") << "12-3" << -123.0 << "($123.00)" << false;
        QTest::newRow("opening parenthesis alone") << "(5" << -5.0 << "($5.00)" << false;
        QTest::newRow("displayed negative read back") << "($1,234.50)" << -1234.5 << "($1,234.50)" << false;
        QTest::newRow("pasted with sign and separators") << "$1,234.50" << 1234.5 << "$1,234.50" << false;
        QTest::newRow("lone point reads as zero") << "." << 0.0 << "$0.00" << false;
        QTest::newRow("two points are unreadable") << "1.2.3" << 42.0 << "$42.00" << false;
        QTest::newRow("empty is unreadable") << "" << 42.0 << "$42.00" << false;
        QTest::newRow("letters only are unreadable") << "abc" << 42.0 << "$42.00" << false;
        QTest::newRow("rounded for display only") << "1234.567" << 1234.567 << "$1,234.57" << false;
        QTest::newRow("comma locale: a figure typed") << "1234,5" << 1234.5 << "$1.234,50" << true;
        // A point that cannot group where it stands is ambiguous: refused.
        QTest::newRow("comma locale: a point that cannot group") << "1.5" << 42.0 << "$42,00" << true;
    }

    void readBackOnLeaving()
    {
        auto [typed, expectedValue, expectedText, comma] =
            fetchRow<QString, double, QString, bool>({"typed", "expectedValue", "expectedText", "comma"});
        if (comma)
            SetControlLocale(commaDecimalLocale());
        Window w;
        w.field->setValue(42.0L);
        QStringList atExit; // what the owner's exit handler sees
        connect(w.field, &TCurrencyEdit::exited, w.field,
                [&] { atExit << QString::number(double(w.field->Value())) << w.field->text(); });
        w.type(typed);
        QCOMPARE(double(w.field->Value()), expectedValue);
        QCOMPARE(w.field->text(), expectedText);
        QCOMPARE(atExit, QStringList({QString::number(expectedValue), expectedText}));
        w.enter();
        w.leave();
        QCOMPARE(double(w.field->Value()), std::round(expectedValue * 100) / 100);
    }

    void readOnlyFieldsReadBackTheirRoundedText()
    {
        Window w;
        w.field->setReadOnly(true);
        w.field->setValue(2.0L / 3.0L);
        w.enter();
        w.leave();
        QCOMPARE(w.field->Value(), 0.67L);
        QCOMPARE(w.field->text(), QString("$0.67"));
    }

    void losingActivationIsNotLeaving()
    {
        // A box or menu taking the activation only suspends the focus: no read-back, no exit handler.
        Window w;
        w.enter();
        w.field->setText("77");
        QSignalSpy spy(w.field, &TCurrencyEdit::exited);
        for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
            QFocusEvent out(QEvent::FocusOut, reason);
            QApplication::sendEvent(w.field, &out);
        }
        QCOMPARE(spy.count(), 0);
        QCOMPARE(w.field->text(), QString("77"));
        QCOMPARE(w.field->Value(), 0.0L);
    }

    void enteringSelectsTheWholeText()
    {
        Window w;
        w.field->setValue(1234.5L);
        w.enter();
        QCOMPARE(w.field->selectedText(), QString("$1,234.50"));
        QTest::keyClicks(w.field, "9");
        QCOMPARE(w.field->text(), QString("9"));
    }

    void assigningAnEqualValueOrFormatRewritesNothing()
    {
        TCurrencyEdit field;
        QCOMPARE(field.text(), QString("$0.00")); // a new field, figures to the right
        QCOMPARE(field.DisplayFormat(), QString("$,0.00;($,0.00)"));
        QVERIFY(field.alignment() & Qt::AlignRight);
        field.setValue(5.0L);
        field.setText("typed");
        field.setValue(5.0L);
        QCOMPARE(field.text(), QString("typed"));
        field.setDisplayFormat("$,0.00;($,0.00)");
        QCOMPARE(field.text(), QString("typed"));
        field.setValue(6.0L); // a different value overwrites whatever was typed
        QCOMPARE(field.text(), QString("$6.00"));
        field.setDisplayFormat(",0.;(,0.)");
        QCOMPARE(field.text(), QString("6"));
        // A refused format leaves the field as it was.
        QVERIFY_THROWS_EXCEPTION(ConversionError, field.setDisplayFormat(QString(225, '0')));
        QCOMPARE(field.DisplayFormat(), QString(",0.;(,0.)"));
        QCOMPARE(field.text(), QString("6"));
    }

    // In any locale and format, editable or not, entering and leaving without typing changes nothing shown.
    void enteringAndLeavingChangesNothing_data()
    {
        addColumns<QString, QString, double, QString>({"locale", "format", "value", "shown"});
        QTest::newRow("de_DE amount") << "de_DE.UTF-8" << "$,0.00;($,0.00)" << 500.0 << "$500,00";
        QTest::newRow("de_DE negative") << "de_DE.UTF-8" << "$,0.00;($,0.00)" << -84100.0 << "($84.100,00)";
        QTest::newRow("de_DE rate") << "de_DE.UTF-8" << ",0.000;(,0.000)" << 0.841 << "0,841";
        QTest::newRow("fr_FR amount") << "fr_FR.UTF-8" << "$,0.00;($,0.00)" << 1234567.5 << "$1\u202F234\u202F567,50";
        QTest::newRow("fr_FR short rate") << "fr_FR.UTF-8" << ",0.00;(,0.00)" << 0.5 << "0,50";
        QTest::newRow("pt_PT amount") << "pt_PT.UTF-8" << "$,0.00;($,0.00)" << 1234567.0 << "$1\u00A0234\u00A0567,00";
        QTest::newRow("en_GB days") << "en_GB.UTF-8" << ",0.;(,0.)" << 1234.0 << "1,234";
        QTest::newRow("C huge") << "C" << "$,0.00;($,0.00)" << 1e18 << "1E18";
        QTest::newRow("de_DE huge") << "de_DE.UTF-8" << "$,0.00;($,0.00)" << 1.5e20 << "1,5E20";
    }

    void enteringAndLeavingChangesNothing()
    {
        auto [locale, format, value, shown] =
            fetchRow<QString, QString, double, QString>({"locale", "format", "value", "shown"});
        SetControlLocale(namedLocale(locale.toLatin1().constData()));
        for (const bool readOnly : {false, true}) {
            Window w;
            w.field->setReadOnly(readOnly);
            w.field->setDisplayFormat(format);
            w.field->setValue(static_cast<long double>(value));
            QCOMPARE(w.field->text(), shown);
            for (int pass = 0; pass < 3; ++pass) {
                w.enter();
                w.leave();
                QCOMPARE(w.field->text(), shown);
            }
        }
    }

    void typesCentsWithTheLocalesDecimalSeparator()
    {
        SetControlLocale(namedLocale("fr_FR.UTF-8"));
        Window w;
        w.enter();
        w.field->selectAll();
        w.field->del();
        QTest::keyClicks(w.field, "1234,5");
        QCOMPARE(w.field->text(), QString("1234,5"));
        // The keypad's decimal key types the locale's separator.
        QTest::keyClick(w.field, Qt::Key_Period, Qt::KeypadModifier);
        QCOMPARE(w.field->text(), QString("1234,5,"));
        QTest::keyClick(w.field, Qt::Key_Left);
        QTest::keyClick(w.field, Qt::Key_Delete);
        w.leave();
        QCOMPARE(w.field->Value(), 1234.5L);
        QCOMPARE(w.field->text(), QString("$1\u202F234,50"));
    }
};

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    TestCurrencyEdit test;
    return QTest::qExec(&test, argc, argv);
}

#include "Curred32_test.moc"

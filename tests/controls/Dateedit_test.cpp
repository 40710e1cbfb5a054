#include <QAccessible>
#include <QClipboard>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>
#include <stdexcept>

#include "Calpop.h"
#include "Ctlsettings.h"
#include "../support/Locales.h"
#include "Dateedit.h"
#include "Errordisplay.h"
#include "Shortdate.h"
#include "../support/Fieldwindow.h"
#include "../support/Modalwatch.h"
#include "../support/Widgettest.h"
#include "../support/Tablerows.h"

using namespace quillon;

namespace {
constexpr int kToday = 46363; // 12/7/2026
}

class TestDateEdit : public QObject
{
    Q_OBJECT

private:
    struct Window : FieldWindow<TDateEdit>
    {
        void type(const QString &text) { enter(); field->setText(text); }
    };

private slots:
    void init() { SetTodayForTesting(kToday); }
    void cleanup() { SetTodayForTesting(std::nullopt); SetControlLocale(LocaleSettings{}); }

    void buttonFillsTheRightEnd_data()
    {
        addColumns<QSize, QSize, QRect>({"fieldSize", "resized", "button"}); // resized: once shown; empty: not
        QTest::newRow("layout size") << QSize(121, 25) << QSize() << QRect(96, 0, 25, 25);
        QTest::newRow("taller field") << QSize(200, 40) << QSize() << QRect(160, 0, 40, 40);
        QTest::newRow("resized, which redraws the glyph") << QSize(121, 25) << QSize(121, 33) << QRect(88, 0, 33, 33);
    }

    void buttonFillsTheRightEnd()
    {
        auto [fieldSize, resized, button] = fetchRow<QSize, QSize, QRect>({"fieldSize", "resized", "button"});
        TDateEdit field;
        QVERIFY(field.text().isEmpty()); // a new field starts empty
        field.resize(fieldSize);
        field.show(); // a hidden widget gets its resize event when shown
        if (resized.isValid())
            field.resize(resized);
        QCOMPARE(field.button()->geometry(), button);
        QCOMPARE(field.glyph().size(), button.size() - QSize(4, 4));
    }

    void glyphIsALitAndShadedDiamond_data()
    {
        addColumns<int, qreal>({"side", "ratio"}); // ratio: device pixels to a pixel
        QTest::newRow("21 pixels") << 21 << 1.0;
        QTest::newRow("36 pixels") << 36 << 1.0;
        QTest::newRow("21 pixels at 2x") << 21 << 2.0;
        QTest::newRow("21 pixels at 1.5x") << 21 << 1.5;
    }

    void glyphIsALitAndShadedDiamond()
    {
        auto [side, ratio] = fetchRow<int, qreal>({"side", "ratio"});
        const QImage glyph = DateButtonGlyph(side, side, ratio).toImage();
        QCOMPARE(glyph.devicePixelRatio(), ratio);
        // Pixels named as at 1x, read in the middle of their device pixels.
        const auto pixel = [&](int x, int y) { return glyph.pixelColor(int((x + 0.5) * ratio), int((y + 0.5) * ratio)); };
        const int w = side / 2, h = side / 2;
        const QColor silver(192, 192, 192), grey(128, 128, 128), white(Qt::white);
        QCOMPARE(pixel(0, 0), silver);
        QCOMPARE(pixel(w, h), silver);                 // the inside stays flat
        QCOMPARE(pixel(w, 1), white);                  // top point
        QCOMPARE(pixel(1, h), white);                  // left point
        const int t = (w - 1) / 2;                     // halfway down the upper-left edge
        QCOMPARE(pixel(w - t, 1 + t), white);
        QCOMPARE(pixel(w + t, side - 2 - t), grey);   // and up the lower-right one
        QCOMPARE(pixel(w, side - 2), grey);            // bottom point
        QCOMPARE(pixel(side - 2, h), grey);            // right point
        QCOMPARE(pixel(side - 1, side - 1), silver);
        // Sharp at every scale: drawn for its pixels, not enlarged with blended colours.
        for (int y = 0; y < glyph.height(); ++y)
            for (int x = 0; x < glyph.width(); ++x)
                QVERIFY2(QList<QColor>({silver, grey, white}).contains(glyph.pixelColor(x, y)),
                         qPrintable(QStringLiteral("blended at %1, %2").arg(x).arg(y)));
    }

    // Assistive technology tells the two date buttons and their popups apart by their fields.
    void calendarIsNamedAfterItsField_data()
    {
        // caption: of the label whose buddy the field is; fieldName: the field's own accessible name
        addColumns<QString, QString, QString, QString>({"caption", "fieldName", "button", "popup"});
        QTest::newRow("inception") << "Policy Effective date" << "" << "Policy effective date calendar" << "Policy effective date calendar";
        QTest::newRow("cancellation") << "Cancellation Date" << "" << "Cancellation date calendar" << "Cancellation date calendar";
        QTest::newRow("an abbreviation keeps its capitals") << "&Date of ACH Debit" << "" << "Date of ACH debit calendar" << "Date of ACH debit calendar";
        QTest::newRow("the field's own name goes before the caption") << "Inception Date" << "Policy effective date" << "Policy effective date calendar" << "Policy effective date calendar";
        QTest::newRow("a field without a name") << "" << "" << "Open calendar" << "Calendar";
    }

    void calendarIsNamedAfterItsField()
    {
        auto [caption, fieldName, button, popup] =
            fetchRow<QString, QString, QString, QString>({"caption", "fieldName", "button", "popup"});
        QWidget window;
        auto *field = new TDateEdit(&window);
        if (!caption.isEmpty())
            (new QLabel(caption, &window))->setBuddy(field);
        field->setAccessibleName(fieldName);
        QAccessibleInterface *pushButton = QAccessible::queryAccessibleInterface(field->button());
        QCOMPARE(pushButton->text(QAccessible::Name), button);
        TfrmCalPop calendar(field, kToday);
        QAccessibleInterface *dialog = QAccessible::queryAccessibleInterface(&calendar);
        QCOMPARE(dialog->role(), QAccessible::Dialog);
        QCOMPARE(dialog->text(QAccessible::Name), popup);
    }

    void setDateWritesTheFieldForm_data()
    {
        addColumns<int, QString>({"day", "text"});
        // Day 0 is a date the clerk can pick or type; it is never blanked.
        QTest::newRow("day zero is 30 December 1899") << 0 << "12/30/1899";
        QTest::newRow("no leading zeros") << DayNumber(std::chrono::year{1999} / 3 / 5) << "3/5/1999";
        QTest::newRow("year padded to four digits") << DayNumber(std::chrono::year{5} / 1 / 1) << "1/1/0005";
    }

    void setDateWritesTheFieldForm()
    {
        auto [day, text] = fetchRow<int, QString>({"day", "text"});
        TDateEdit field;
        field.setModified(false);
        field.SetDate(day);
        QCOMPARE(field.text(), text);
        QVERIFY(field.isModified());
    }

    void leavingRewritesAValidDate_data()
    {
        addColumns<QString, QString>({"typed", "shown"});
        QTest::newRow("year taken from today") << "7/4" << "7/4/2026";
        QTest::newRow("two-digit year in this century") << "1/2/95" << "1/2/2095";
        QTest::newRow("spaces and trailing separator") << " 1 / 2 / 1999 /" << "1/2/1999";
        QTest::newRow("day zero stays a date") << "12/30/1899" << "12/30/1899";
        QTest::newRow("empty stays empty") << "" << "";
    }

    void leavingRewritesAValidDate()
    {
        auto [typed, shown] = fetchRow<QString, QString>({"typed", "shown"});
        Window w;
        ModalWatch watch;
        QSignalSpy entered(w.field, &TDateEdit::entered);
        QStringList atExit; // the owner's handler runs first, once, and sees the typed text
        connect(w.field, &TDateEdit::exited, w.field, [&] { atExit << w.field->text(); });
        w.type(typed);
        w.leave();
        QCOMPARE(w.field->text(), shown);
        QCOMPARE(atExit, QStringList{typed});
        QVERIFY(watch.seen().isEmpty());
        // The field gives the day it shows, and says a typed one was entered.
        QCOMPARE(entered.count(), shown.isEmpty() ? 0 : 1);
        QCOMPARE(w.field->date(), shown.isEmpty() ? std::nullopt : TryParseShortDate(shown.toStdString(), LocaleSettings{}, kToday));
        if (!shown.isEmpty())
            QCOMPARE(entered.first().first().toInt(), *w.field->date());
    }

    // The field writes a date in the order it reads one, so every later exit keeps the same day.
    void keepsTheDayThroughEveryExitInEachLocale_data()
    {
        addColumns<QString, QString, QString>({"locale", "typed", "shown"});
        QTest::newRow("en_US") << "en_US.UTF-8" << "5/3/2026" << "5/3/2026";
        QTest::newRow("en_GB 3 May") << "en_GB.UTF-8" << "3/5/2026" << "3/5/2026";
        QTest::newRow("en_GB day above 12") << "en_GB.UTF-8" << "15/3/26" << "15/3/2026";
        QTest::newRow("en_CA") << "en_CA.UTF-8" << "2026-05-03" << "2026-5-3";
        QTest::newRow("de_DE") << "de_DE.UTF-8" << "03.05.2026" << "3.5.2026";
        QTest::newRow("ja_JP own pattern") << "ja_JP.UTF-8" << "2026年05月03日" << "2026/5/3";
        QTest::newRow("day zero") << "C" << "12/30/1899" << "12/30/1899";
    }

    void keepsTheDayThroughEveryExitInEachLocale()
    {
        auto [locale, typed, shown] = fetchRow<QString, QString, QString>({"locale", "typed", "shown"});
        SetControlLocale(namedLocale(locale.toLatin1().constData()));
        Window w;
        ModalWatch watch;
        w.type(typed);
        w.leave();
        QCOMPARE(w.field->text(), shown);
        const int day = ParseShortDate(shown.toStdString(), ControlLocale(), Today());
        for (int pass = 0; pass < 3; ++pass) {
            w.enter();
            w.leave();
            QCOMPARE(w.field->text(), shown);
        }
        QCOMPARE(ParseShortDate(w.field->text().toStdString(), ControlLocale(), Today()), day);
        QVERIFY(watch.seen().isEmpty());
    }

    // Refused with a warning, as text, and the focus taken back; an owner's handler that fails goes to the general
    // error display instead of the field's own message.
    void anInvalidDateIsRefusedAndTheFocusTakenBack_data()
    {
        addColumns<QString, bool, QString, QMessageBox::Icon>({"typed", "ownerFails", "shown", "icon"});
        QTest::newRow("no leap day") << "2/29/1999" << false << "Invalid Date: 2/29/1999" << QMessageBox::Warning;
        QTest::newRow("markup") << "<b>x</b><br>y" << false << "Invalid Date: <b>x</b><br>y" << QMessageBox::Warning;
        QTest::newRow("a failing owner's handler") << "not a date" << true << "owner failed." << QMessageBox::Critical;
    }

    void anInvalidDateIsRefusedAndTheFocusTakenBack()
    {
        auto [typed, ownerFails, shown, icon] =
            fetchRow<QString, bool, QString, QMessageBox::Icon>({"typed", "ownerFails", "shown", "icon"});
        Window w;
        if (ownerFails)
            connect(w.field, &TDateEdit::exited, w.field, [] { throw std::runtime_error("owner failed"); });
        QList<Qt::TextFormat> formats;
        ModalWatch watch({}, [&](const ModalWatch::Seen &) { formats << activeBoxFormat(); });
        w.type(typed);
        w.leave();
        QTRY_COMPARE(watch.seen().size(), 1);
        const ModalWatch::Seen box = watch.seen().first();
        QCOMPARE(box.text, shown);
        QCOMPARE(box.icon, icon);
        QCOMPARE(formats, QList<Qt::TextFormat>{Qt::PlainText});
        QCOMPARE(w.field->text(), typed);
        if (!ownerFails) {
            QVERIFY(box.title.isEmpty());
            QTRY_VERIFY(w.field->hasFocus());
        }
    }

    // Moving into its button, Shift+Tab back, or losing the activation is not leaving; Tab on from the button is.
    void onlyLeavingForAnotherControlIsLeaving()
    {
        Window w;
        QSignalSpy exits(w.field, &TDateEdit::exited);
        w.type("7/4");
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(w.field, &out);
        w.field->button()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w.field->button(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), w.field);
        QCOMPARE(exits.count(), 0);
        QCOMPARE(w.field->text(), QString("7/4"));
        w.field->button()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w.field->button(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.next);
        QCOMPARE(exits.count(), 1);
        QCOMPARE(w.field->text(), QString("7/4/2026"));
    }

    // Click or Space opens the calendar: Escape changes nothing, Return writes the day; a non-date shows the error.
    void buttonOpensTheCalendar_data()
    {
        addColumns<bool, QString, QKeySequence, QString>({"space", "start", "keys", "text"}); // keys: in the calendar
        QTest::newRow("Escape on an empty field") << false << "" << QKeySequence(Qt::Key_Escape) << "";
        QTest::newRow("Space, then Escape") << true << "1/15/2026" << QKeySequence(Qt::Key_Escape) << "1/15/2026";
        QTest::newRow("Return writes the day chosen")
            << false << "12/31/2026" << QKeySequence(Qt::Key_Right, Qt::Key_Return) << "1/1/2027";
        for (const char *invalid : {"abc", "2/29/2023", "1/2/", "2/29"}) // the last: no leap day this year
            QTest::addRow("'%s' opens no calendar", invalid) << false << invalid << QKeySequence() << invalid;
    }

    void buttonOpensTheCalendar()
    {
        auto [space, start, keys, text] =
            fetchRow<bool, QString, QKeySequence, QString>({"space", "start", "keys", "text"});
        Window w;
        ModalWatch watch([&](QWidget *modal) { QTest::keySequence(modal, keys); });
        w.type(start);
        QSignalSpy entered(w.field, &TDateEdit::entered);
        if (space) {
            w.field->button()->setFocus(Qt::TabFocusReason);
            QTest::keyClick(w.field->button(), Qt::Key_Space);
        } else {
            QTest::mouseClick(w.field->button(), Qt::LeftButton);
        }
        QTRY_COMPARE(watch.seen().size(), 1);
        if (keys.isEmpty()) {
            QVERIFY(!w.field->date());
            QCOMPARE(watch.seen().first().className, QString("QMessageBox"));
            QCOMPARE(watch.seen().first().text, QStringLiteral("'%1' is not a valid date.").arg(start));
        } else {
            QCOMPARE(watch.seen().first().className, QString("TfrmCalPop"));
        }
        QCOMPARE(w.field->text(), text);
        QCOMPARE(entered.count(), text == start ? 0 : 1);
        if (text != start)
            QCOMPARE(entered.first().first().toInt(), kToday + 25);
    }

    // A clerk who tabs once too often lands on the button; keys there must not edit the date behind it, but the
    // window's shortcuts still work, even one the field would claim for itself.
    void keysOnTheButtonDoNotEditTheField_data()
    {
        addColumns<QKeySequence, bool>({"keys", "shortcut"}); // shortcut: the window has one for `keys`
        QTest::newRow("a digit") << QKeySequence(Qt::Key_9) << false;
        QTest::newRow("letters") << QKeySequence(Qt::Key_A, Qt::Key_B, Qt::Key_C) << false;
        QTest::newRow("the date separator") << QKeySequence(Qt::Key_Slash) << false;
        QTest::newRow("BackSpace") << QKeySequence(Qt::Key_Backspace) << false;
        QTest::newRow("home, then Delete") << QKeySequence(Qt::Key_Home, Qt::Key_Delete) << false;
        QTest::newRow("select all, then type") << QKeySequence(Qt::CTRL | Qt::Key_A, QKeyCombination(Qt::Key_A), QKeyCombination(Qt::Key_B), QKeyCombination(Qt::Key_C)) << false;
        QTest::newRow("paste") << QKeySequence(Qt::CTRL | Qt::Key_V) << false;
        QTest::newRow("select all, then cut") << QKeySequence(Qt::CTRL | Qt::Key_A, Qt::CTRL | Qt::Key_X) << false;
        QTest::newRow("home, then type") << QKeySequence(Qt::Key_Home, Qt::Key_1) << false;
        QTest::newRow("an accelerator") << QKeySequence(Qt::ALT | Qt::Key_P) << true;
        QTest::newRow("a key the field edits with") << QKeySequence(Qt::CTRL | Qt::Key_A) << true;
    }

    void keysOnTheButtonDoNotEditTheField()
    {
        auto [keys, shortcut] = fetchRow<QKeySequence, bool>({"keys", "shortcut"});
        Window w;
        ModalWatch watch;
        QAction action(&w.widget);
        if (shortcut)
            action.setShortcut(keys);
        w.widget.addAction(&action);
        QSignalSpy triggered(&action, &QAction::triggered);
        QGuiApplication::clipboard()->setText(QStringLiteral("2/2/2022"));
        w.type("1/15/2026");
        QSignalSpy exits(w.field, &TDateEdit::exited);
        w.field->button()->setFocus(Qt::TabFocusReason);
        QTest::keySequence(w.field->button(), keys);
        QCOMPARE(w.field->text(), QString("1/15/2026"));
        QCOMPARE(QApplication::focusWidget(), w.field->button());
        QCOMPARE(exits.count(), 0);
        QVERIFY(watch.seen().isEmpty());
        QCOMPARE(triggered.count(), shortcut ? 1 : 0);
    }
};

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    TestDateEdit test;
    return QTest::qExec(&test, argc, argv);
}

#include "Dateedit_test.moc"

#include <QAccessible>
#include <QPaintEvent>
#include <QtTest>
#include <memory>

#include "Calpop.h"
#include "Ctlsettings.h"
#include "../support/Locales.h"
#include "../support/Tablerows.h"
#include "Dateedit.h"
#include "Messages.h"
#include "Shortdate.h"

using namespace quillon;

namespace {

constexpr int kToday = 46363; // 12/7/2026, a Monday

const QRgb kSilver = qRgb(192, 192, 192), kGrey = qRgb(128, 128, 128), kWhite = qRgb(255, 255, 255), kBlack = qRgb(0, 0, 0);

// Remembers what each paint covered, to tell a repaint of the marks from one of the whole popup.
class RecordingPopup : public TfrmCalPop
{
public:
    using TfrmCalPop::TfrmCalPop;
    QRegion painted;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        painted += event->region();
        TfrmCalPop::paintEvent(event);
    }
};

struct Open
{
    TDateEdit field;
    std::unique_ptr<RecordingPopup> popup;

    explicit Open(const QString &text)
    {
        field.setText(text);
        popup = std::make_unique<RecordingPopup>(&field, field.date().value_or(Today()));
        popup->show();
    }
    TfrmCalPop *operator->() const { return popup.get(); }
    TfrmCalPop *get() const { return popup.get(); }
};

// A point in the popup's layout terms: x = xu * u + xo, y = yh * h + yo, u and h read from the popup.
QPoint layoutPoint(const TfrmCalPop &popup, int xu, int xo, int yh, int yo)
{
    return {xu * popup.unit() + xo, yh * popup.rowHeight() + yo};
}

// Centre of grid cell c: row (c - 1) / 7 + 1, column (c - 1) % 7 + 1, cells 3u by h from 4, 2h + 2.
QPoint cellCentre(const TfrmCalPop &popup, int cell)
{
    const int u = popup.unit(), h = popup.rowHeight();
    const int row = (cell - 1) / 7 + 1, column = (cell - 1) % 7 + 1;
    return {4 + 3 * u * (column - 1) + 3 * u / 2, (row + 1) * h + 2 + h / 2};
}

bool isDark(QRgb pixel) { return qGray(pixel) < 96; }

int darkPixels(const QImage &image, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += isDark(image.pixel(x, y));
    return count;
}

} // namespace

class TestCalPop : public QObject
{
    Q_OBJECT

private slots:
    void init() { SetTodayForTesting(kToday); }
    void cleanup() { SetTodayForTesting(std::nullopt); SetControlLocale(LocaleSettings{}); }

    void gridPlacesTheMonth_data()
    {
        // previousCell: after a Right arrow; 0: none pressed
        addColumns<QString, int, int, int, int>({"start", "firstCell", "lastDay", "currentCell", "previousCell"});
        QTest::newRow("month starting on Sunday, February 2026") << "2/10/2026" << 1 << 28 << 10 << 0;
        QTest::newRow("31-day month starting on Saturday, August 2026") << "8/1/2026" << 7 << 31 << 7 << 0;
        QTest::newRow("leap February starting on Thursday, 2024") << "2/29/2024" << 5 << 29 << 33 << 0;
        QTest::newRow("last month of the calendar, December 9999") << "12/31/9999" << 4 << 31 << 34 << 0;
        // 31 January 2026 is a Saturday in cell 35.
        QTest::newRow("moved into February 2026, which starts on Sunday") << "1/31/2026" << 1 << 28 << 1 << 35;
    }
    void gridPlacesTheMonth()
    {
        auto [start, firstCell, lastDay, currentCell, previousCell] =
            fetchRow<QString, int, int, int, int>({"start", "firstCell", "lastDay", "currentCell", "previousCell"});
        Open popup(start);
        if (previousCell)
            QTest::keyClick(popup.get(), Qt::Key_Right);
        for (int cell = 1; cell <= 42; ++cell) {
            const int day = cell - firstCell + 1;
            const QString expected = day >= 1 && day <= lastDay ? QString::number(day) : QStringLiteral("  ");
            QVERIFY2(popup->cellText(cell) == expected, qPrintable(QStringLiteral("cell %1").arg(cell)));
        }
        QCOMPARE(popup->currentCell(), currentCell);
        QCOMPARE(popup->previousCell(), previousCell);
        QVERIFY(!popup->isTracking());
    }

    void keysMoveTheSelection_data()
    {
        // start: empty: start on today; key: with its modifiers; 0: none; close: the key pressed then
        addColumns<QString, int, int, int, QString, int>({"start", "today", "key", "close", "expected", "result"});
        // Return after the move, keypad Enter like it; Escape writes nothing.
        QTest::newRow("return rewrites a two-digit year in field form") << "3/5/99" << kToday << 0 << int(Qt::Key_Return) << "3/5/2099" << 1;
        QTest::newRow("keypad enter closes like return") << "3/5/2026" << kToday << int(Qt::Key_Down) << int(Qt::Key_Enter) << "3/12/2026" << 1;
        QTest::newRow("return on an empty field writes today") << "" << kToday << 0 << int(Qt::Key_Return) << "12/7/2026" << 1;
        QTest::newRow("escape after a move writes nothing") << "3/5/2026" << kToday << int(Qt::Key_Right) << int(Qt::Key_Escape) << "3/5/2026" << -1;
        QTest::newRow("escape leaves an empty field empty") << "" << kToday << int(Qt::Key_Left) << int(Qt::Key_Escape) << "" << -1;
        QTest::newRow("left from the 1st reaches the 28th of February") << "3/1/2026" << kToday << int(Qt::Key_Left) << int(Qt::Key_Return) << "2/28/2026" << 1;
        QTest::newRow("left from 1 March of a leap year reaches 29 February") << "3/1/2024" << kToday << int(Qt::Key_Left) << int(Qt::Key_Return) << "2/29/2024" << 1;
        QTest::newRow("right from the 31st reaches the next month") << "1/31/2026" << kToday << int(Qt::Key_Right) << int(Qt::Key_Return) << "2/1/2026" << 1;
        QTest::newRow("right from 28 February 2023 reaches 1 March") << "2/28/2023" << kToday << int(Qt::Key_Right) << int(Qt::Key_Return) << "3/1/2023" << 1;
        QTest::newRow("down goes a week on into the next year") << "12/28/2026" << kToday << int(Qt::Key_Down) << int(Qt::Key_Return) << "1/4/2027" << 1;
        QTest::newRow("page up from 31 March steps February's 28 days") << "3/31/2025" << kToday << int(Qt::Key_PageUp) << int(Qt::Key_Return) << "3/3/2025" << 1;
        QTest::newRow("page up from 31 March 2024 steps 29 days") << "3/31/2024" << kToday << int(Qt::Key_PageUp) << int(Qt::Key_Return) << "3/2/2024" << 1;
        QTest::newRow("page up from January steps December's 31 days") << "1/15/2026" << kToday << int(Qt::Key_PageUp) << int(Qt::Key_Return) << "12/15/2025" << 1;
        QTest::newRow("page up from 31 May steps April's 30 days") << "5/31/2026" << kToday << int(Qt::Key_PageUp) << int(Qt::Key_Return) << "5/1/2026" << 1;
        QTest::newRow("page down from the 15th keeps the day") << "1/15/2026" << kToday << int(Qt::Key_PageDown) << int(Qt::Key_Return) << "2/15/2026" << 1;
        QTest::newRow("page down from 31 January 2025 overshoots to 3 March") << "1/31/2025" << kToday << int(Qt::Key_PageDown) << int(Qt::Key_Return) << "3/3/2025" << 1;
        QTest::newRow("page down from 31 January 2024 overshoots to 2 March") << "1/31/2024" << kToday << int(Qt::Key_PageDown) << int(Qt::Key_Return) << "3/2/2024" << 1;
        QTest::newRow("page down from the leap day steps 29 days") << "2/29/2024" << kToday << int(Qt::Key_PageDown) << int(Qt::Key_Return) << "3/29/2024" << 1;
        QTest::newRow("page down from December reaches January") << "12/15/2025" << kToday << int(Qt::Key_PageDown) << int(Qt::Key_Return) << "1/15/2026" << 1;
        QTest::newRow("home goes a year on") << "3/15/2019" << kToday << int(Qt::Key_Home) << int(Qt::Key_Return) << "3/15/2020" << 1;
        QTest::newRow("home across a leap day keeps the date") << "3/1/2023" << kToday << int(Qt::Key_Home) << int(Qt::Key_Return) << "3/1/2024" << 1;
        QTest::newRow("home from the leap day gives 1 March") << "2/29/2020" << kToday << int(Qt::Key_Home) << int(Qt::Key_Return) << "3/1/2021" << 1;
        QTest::newRow("end goes a year back") << "3/15/2020" << kToday << int(Qt::Key_End) << int(Qt::Key_Return) << "3/15/2019" << 1;
        QTest::newRow("end across a leap day keeps the date") << "3/1/2025" << kToday << int(Qt::Key_End) << int(Qt::Key_Return) << "3/1/2024" << 1;
        QTest::newRow("end from the leap day gives 1 March") << "2/29/2020" << kToday << int(Qt::Key_End) << int(Qt::Key_Return) << "3/1/2019" << 1;
        QTest::newRow("shift makes no difference to right") << "12/7/2026" << kToday << QKeyCombination(Qt::ShiftModifier, Qt::Key_Right).toCombined() << int(Qt::Key_Return) << "12/8/2026" << 1;
        QTest::newRow("alt makes no difference to end") << "12/7/2026" << kToday << QKeyCombination(Qt::AltModifier, Qt::Key_End).toCombined() << int(Qt::Key_Return) << "12/7/2025" << 1;
        QTest::newRow("tab is ignored") << "12/7/2026" << kToday << int(Qt::Key_Tab) << int(Qt::Key_Return) << "12/7/2026" << 1;
        // The calendar ends at 1/1/0100, as years below 100 read back in this century. These start on "today".
        QTest::newRow("left on 1/1/0100 stays") << "" << kFirstWritableDayNumber << int(Qt::Key_Left) << int(Qt::Key_Return) << "1/1/0100" << 1;
        QTest::newRow("page up from 1/15/0100 stops on 1/1/0100") << "" << kFirstWritableDayNumber + 14 << int(Qt::Key_PageUp) << int(Qt::Key_Return) << "1/1/0100" << 1;
        QTest::newRow("end in year 100 stays") << "" << kFirstWritableDayNumber + 14 << int(Qt::Key_End) << int(Qt::Key_Return) << "1/15/0100" << 1;
        QTest::newRow("right on 12/31/9999 stays") << "" << kLastDayNumber << int(Qt::Key_Right) << int(Qt::Key_Return) << "12/31/9999" << 1;
        QTest::newRow("page down from 12/15/9999 stops on 12/31/9999") << "" << kLastDayNumber - 16 << int(Qt::Key_PageDown) << int(Qt::Key_Return) << "12/31/9999" << 1;
        QTest::newRow("home in 9999 stays") << "" << kLastDayNumber - 16 << int(Qt::Key_Home) << int(Qt::Key_Return) << "12/15/9999" << 1;
    }
    void keysMoveTheSelection()
    {
        auto [start, today, key, close, expected, result] =
            fetchRow<QString, int, int, int, QString, int>({"start", "today", "key", "close", "expected", "result"});
        SetTodayForTesting(today);
        Open popup(start);
        if (key)
            QTest::keyClick(popup.get(), Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QVERIFY(popup->isVisible());
        QCOMPARE(popup->result(), 0);
        QTest::keyClick(popup.get(), Qt::Key(close));
        QVERIFY(!popup->isVisible());
        QCOMPARE(popup->result(), result);
        QCOMPARE(popup.field.text(), expected);
    }

    // A pick is written in the order the locale reads dates, so the next exit reads the day picked.
    void pickReadsBackInTheLocalesOrder_data()
    {
        addColumns<QString, QString, QString>({"locale", "start", "picked"});
        QTest::newRow("en_GB") << "en_GB.UTF-8" << "14/3/2026" << "15/3/2026";
        QTest::newRow("en_CA") << "en_CA.UTF-8" << "2026-03-14" << "2026-3-15";
        QTest::newRow("de_DE") << "de_DE.UTF-8" << "14.03.2026" << "15.3.2026";
        QTest::newRow("ja_JP") << "ja_JP.UTF-8" << "2026年03月14日" << "2026/3/15";
    }

    void pickReadsBackInTheLocalesOrder()
    {
        auto [locale, start, picked] = fetchRow<QString, QString, QString>({"locale", "start", "picked"});
        SetControlLocale(namedLocale(locale.toLatin1().constData()));
        Open popup(start);
        QTest::keyClick(popup.get(), Qt::Key_Right);
        QTest::keyClick(popup.get(), Qt::Key_Return);
        QCOMPARE(popup.field.text(), picked);
        const int march15 = DayNumber(std::chrono::year{2026} / 3 / 15);
        QCOMPARE(TryParseShortDate(picked.toStdString(), ControlLocale(), kToday), std::optional<int>(march15));
    }

    // "2/29" read on 12/31/2024; the popup opens after midnight, when it names no day, on the day that was read.
    void aDateReadBeforeTheYearTurnsOpensAfterIt()
    {
        TDateEdit field;
        field.setText(QStringLiteral("2/29"));
        SetTodayForTesting(45657);
        const std::optional<int> day = field.date();
        QCOMPARE(day, std::optional<int>(45351));
        SetTodayForTesting(45658);
        TfrmCalPop popup(&field, *day);
        QCOMPARE(popup.selectedDate(), 45351);
        QCOMPARE(popup.monthText(), QStringLiteral("February 2024"));
        QCOMPARE(field.text(), QStringLiteral("2/29"));
    }

    void dragTakesTheLastDayPassedOver()
    {
        // December 2026 starts on Tuesday: day d is in cell d + 2, the 31st in cell 33.
        Open popup(QStringLiteral("12/7/2026"));
        QTest::mousePress(popup.get(), Qt::LeftButton, Qt::NoModifier, cellCentre(*popup.get(), 17));
        QVERIFY(popup->isTracking());
        QCOMPARE(popup->currentCell(), 17);
        QTest::mouseMove(popup.get(), cellCentre(*popup.get(), 18));
        QCOMPARE(popup->currentCell(), 18);
        QTest::mouseMove(popup.get(), cellCentre(*popup.get(), 35)); // empty
        QCOMPARE(popup->currentCell(), 18);
        QTest::mouseMove(popup.get(), popup->titleBand().center());
        QCOMPARE(popup->currentCell(), 18);
        const QPoint outside(popup->width() + 40, popup->height() + 40);
        QTest::mouseMove(popup.get(), outside);
        QCOMPARE(popup.field.text(), QStringLiteral("12/7/2026"));
        QTest::mouseRelease(popup.get(), Qt::LeftButton, Qt::NoModifier, outside);
        QVERIFY(!popup->isVisible());
        QCOMPARE(popup->result(), 1);
        QCOMPARE(popup.field.text(), QStringLiteral("12/16/2026"));
    }

    void click_data()
    {
        // On 12/7/2026 (the 1st in cell 3, the 15th in 17). Month buttons 4, 2 to 20, 18 and 21u - 12, 2 to 21u + 4, 18.
        addColumns<int, int, int, int, bool, QString>({"xu", "xo", "yh", "yo", "closes", "expected"});
        QTest::newRow("a day is taken on release") << 7 << 4 << 4 << 8 << true << "12/15/2026";
        QTest::newRow("the selected day is taken too") << 4 << 4 << 3 << 8 << true << "12/7/2026";
        QTest::newRow("empty cell before the 1st starts nothing") << 1 << 4 << 2 << 8 << false << "12/7/2026";
        QTest::newRow("empty cell after the 31st starts nothing") << 19 << 4 << 7 << 8 << false << "12/7/2026";
        QTest::newRow("grid's left edge starts nothing") << 0 << 4 << 4 << 8 << false << "12/7/2026";
        QTest::newRow("previous-month button centre") << 0 << 12 << 0 << 10 << false << "11/7/2026";
        QTest::newRow("previous-month button far corner") << 0 << 20 << 0 << 18 << false << "11/7/2026";
        QTest::newRow("right of the previous-month button") << 0 << 21 << 0 << 10 << false << "12/7/2026";
        QTest::newRow("next-month button near corner") << 21 << -12 << 0 << 2 << false << "1/7/2027";
        QTest::newRow("next-month button far corner") << 21 << 4 << 0 << 18 << false << "1/7/2027";
        QTest::newRow("left of the next-month button") << 21 << -13 << 0 << 10 << false << "12/7/2026";
    }
    void click()
    {
        auto [xu, xo, yh, yo, closes, expected] =
            fetchRow<int, int, int, int, bool, QString>({"xu", "xo", "yh", "yo", "closes", "expected"});
        Open popup(QStringLiteral("12/7/2026"));
        const QPoint at = layoutPoint(*popup.get(), xu, xo, yh, yo);
        QTest::mousePress(popup.get(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(popup->isTracking(), closes);
        QTest::mouseRelease(popup.get(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(popup->isVisible(), !closes);
        QCOMPARE(popup->result(), closes ? 1 : 0);
        if (!closes) {
            QCOMPARE(popup.field.text(), QStringLiteral("12/7/2026"));
            QTest::keyClick(popup.get(), Qt::Key_Return);
        }
        QCOMPARE(popup.field.text(), expected);
    }

    void cellAt_data()
    {
        // The grid runs from 4 to 21u + 4 across and from 2h + 2 to 8h + 2 down, cells 3u by h.
        addColumns<int, int, int, int, int>({"xu", "xo", "yh", "yo", "cell"});
        QTest::newRow("left edge is outside") << 0 << 4 << 2 << 5 << -1;
        QTest::newRow("one inside the left edge is Sunday") << 0 << 5 << 2 << 5 << 1;
        QTest::newRow("right edge is outside") << 21 << 4 << 2 << 5 << -1;
        QTest::newRow("bottom edge is outside") << 0 << 10 << 8 << 2 << -1;
        QTest::newRow("inner bottom-right corner is cell 42") << 21 << 3 << 8 << 1 << 42;
        QTest::newRow("a column line belongs to the column on its left") << 3 << 4 << 2 << 5 << 1;
        QTest::newRow("one past a column line is the next column") << 3 << 5 << 2 << 5 << 2;
        QTest::newRow("a row line belongs to the row below it") << 0 << 10 << 3 << 2 << 8;
        QTest::newRow("one above a row line is the row above") << 0 << 10 << 3 << 1 << 1;
        QTest::newRow("middle of the grid is Wednesday of row 4") << 10 << 0 << 5 << 4 << 25;
    }
    void cellAt()
    {
        auto [xu, xo, yh, yo, cell] = fetchRow<int, int, int, int, int>({"xu", "xo", "yh", "yo", "cell"});
        TDateEdit field;
        TfrmCalPop popup(&field, kToday);
        const QPoint at = layoutPoint(popup, xu, xo, yh, yo);
        QCOMPARE(popup.CellAt(at.x(), at.y()), cell);
    }

    void placement_data()
    {
        addColumns<QRect, QRect, QPoint>({"field", "screen", "expected"});
        // A 176 by 138 popup; fields 121 by 21.
        const QRect first(0, 0, 1024, 768), right(1024, 0, 1280, 1024), below(0, 768, 1024, 768);
        QTest::newRow("room below and to the right") << QRect(100, 200, 121, 21) << first << QPoint(101, 222);
        QTest::newRow("just fits at the right edge") << QRect(847, 200, 121, 21) << first << QPoint(848, 222);
        QTest::newRow("one pixel too wide moves left") << QRect(848, 200, 121, 21) << first << QPoint(847, 222);
        QTest::newRow("just fits above the bottom edge") << QRect(100, 608, 121, 21) << first << QPoint(101, 630);
        QTest::newRow("one pixel too low goes above the field") << QRect(100, 609, 121, 21) << first << QPoint(101, 471);
        // A second monitor's edges are its own, not the first one's.
        QTest::newRow("right-hand monitor, one pixel too wide") << QRect(2128, 200, 121, 21) << right << QPoint(2127, 222);
        QTest::newRow("right-hand monitor, below the first one's height") << QRect(1100, 800, 121, 21) << right << QPoint(1101, 822);
        QTest::newRow("lower monitor, one pixel too low") << QRect(100, 1377, 121, 21) << below << QPoint(101, 1239);
    }
    void placement()
    {
        auto [field, screen, expected] = fetchRow<QRect, QRect, QPoint>({"field", "screen", "expected"});
        QCOMPARE(TfrmCalPop::placement(field, QSize(176, 138), screen), expected);
    }

    void painting_data()
    {
        // On 12/7/2026, cell 9 (row 2, Monday): 3u + 4, 3h + 2 to 6u + 4, 4h + 2.
        addColumns<int, int, int, int, QRgb>({"xu", "xo", "yh", "yo", "colour"});
        QTest::newRow("frame top is white") << 10 << 0 << 0 << 0 << kWhite;
        QTest::newRow("frame right is grey") << 21 << 7 << 4 << 0 << kGrey;   // width 21u + 8
        QTest::newRow("frame bottom is grey") << 10 << 0 << 8 << 1 << kGrey;  // height 8h + 2
        QTest::newRow("etched line grey above") << 10 << 0 << 2 << -1 << kGrey;
        QTest::newRow("etched line white below") << 10 << 0 << 2 << 0 << kWhite;
        QTest::newRow("empty cell is silver") << 1 << 4 << 2 << 6 << kSilver;
        QTest::newRow("selected cell's left edge is grey") << 3 << 4 << 3 << 5 << kGrey;
        QTest::newRow("selected cell's right edge is white") << 6 << 3 << 3 << 5 << kWhite;
        QTest::newRow("next cell's left edge is unmarked") << 6 << 4 << 3 << 5 << kSilver;
        QTest::newRow("previous-month outline") << 0 << 4 << 0 << 10 << kBlack;
        QTest::newRow("previous-month lit inner line") << 0 << 5 << 0 << 10 << kWhite;
        QTest::newRow("previous-month shaded inner line") << 0 << 18 << 0 << 10 << kGrey;
        QTest::newRow("previous-month triangle") << 0 << 12 << 0 << 9 << kBlack;
        QTest::newRow("next-month outline") << 21 << -12 << 0 << 10 << kBlack;
        QTest::newRow("next-month triangle") << 21 << -5 << 0 << 9 << kBlack;
    }
    void painting()
    {
        auto [xu, xo, yh, yo, colour] = fetchRow<int, int, int, int, QRgb>({"xu", "xo", "yh", "yo", "colour"});
        Open popup(QStringLiteral("12/7/2026"));
        const QImage image = popup->grab().toImage();
        const QPoint at = layoutPoint(*popup.get(), xu, xo, yh, yo);
        QCOMPARE(QColor(image.pixel(at)), QColor(colour));
    }

    // A move takes the mark and the bold number to the new day and rewrites the title, centred.
    void markAndTitleFollowTheSelection()
    {
        Open popup(QStringLiteral("12/7/2026"));
        const int u = popup->unit(), h = popup->rowHeight();
        const QPoint cell9Left(3 * u + 4, 3 * h + 5), cell10Left(6 * u + 4, 3 * h + 5);
        const QRect cell10(6 * u + 5, 3 * h + 3, 3 * u - 2, h - 2); // inside the mark
        const QRect band = popup->titleBand();
        const QImage before = popup->grab().toImage();
        int left = band.right(), right = band.left();
        for (int y = band.top(); y <= band.bottom(); ++y)
            for (int x = band.left(); x <= band.right(); ++x)
                if (isDark(before.pixel(x, y))) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        QVERIFY2(left < right, "no title text");
        const int leftMargin = left - band.left(), rightMargin = band.right() - right;
        QVERIFY2(std::abs(leftMargin - rightMargin) <= 3,
                 qPrintable(QStringLiteral("margins %1 and %2").arg(leftMargin).arg(rightMargin)));

        QTest::keyClick(popup.get(), Qt::Key_Right);
        const QImage after = popup->grab().toImage();
        QVERIFY(before.copy(band) != after.copy(band));
        QCOMPARE(QColor(after.pixel(cell9Left)), QColor(kSilver));
        QCOMPARE(QColor(after.pixel(cell10Left)), QColor(kGrey));
        QVERIFY2(darkPixels(after, cell10) > darkPixels(before, cell10), "the selected number is not bold");
    }

    // A screen reader reads the month and the whole selected date after every move.
    void speaksTheMonthAndTheSelectedDay_data()
    {
        addColumns<QString, QString, int, QString, QString>({"locale", "start", "key", "month", "day"}); // key: 0: none
        QTest::newRow("opened on the field's date") << "C" << "12/7/2026" << 0 << "December 2026" << "Monday, December 7, 2026";
        QTest::newRow("right within the month") << "C" << "12/7/2026" << int(Qt::Key_Right) << "December 2026" << "Tuesday, December 8, 2026";
        QTest::newRow("page down into the next year") << "C" << "12/7/2026" << int(Qt::Key_PageDown) << "January 2027" << "Thursday, January 7, 2027";
        QTest::newRow("end a year back") << "C" << "12/7/2026" << int(Qt::Key_End) << "December 2025" << "Sunday, December 7, 2025";
        QTest::newRow("right on the calendar's last day") << "C" << "12/31/9999" << int(Qt::Key_Right) << "December 9999" << "Friday, December 31, 9999";
        QTest::newRow("the locale's names") << "de_DE.UTF-8" << "7.12.2026" << int(Qt::Key_Up) << "November 2026" << "Montag, November 30, 2026";
    }
    void speaksTheMonthAndTheSelectedDay()
    {
        auto [locale, start, key, month, day] =
            fetchRow<QString, QString, int, QString, QString>({"locale", "start", "key", "month", "day"});
        SetControlLocale(namedLocale(locale.toLatin1().constData()));
        Open popup(start);
        QApplication::setActiveWindow(popup.get());
        QVERIFY(QTest::qWaitForWindowActive(popup.get()));
        if (key)
            QTest::keyClick(popup.get(), Qt::Key(key));
        QAccessibleInterface *dialog = QAccessible::queryAccessibleInterface(popup.get());
        QCOMPARE(dialog->text(QAccessible::Description), month);
        QAccessibleInterface *selected = dialog->child(0);
        QCOMPARE(dialog->focusChild(), selected);
        QCOMPARE(selected->text(QAccessible::Name), day);
        QVERIFY(selected->state().focused && selected->state().selected);
    }

    void repaintAfterAMove_data()
    {
        addColumns<QString, int, bool>({"start", "key", "whole"});
        QTest::newRow("arrow within the month repaints the marks") << "12/7/2026" << int(Qt::Key_Right) << false;
        QTest::newRow("arrow into the next month repaints everything") << "12/31/2026" << int(Qt::Key_Right) << true;
        QTest::newRow("page down repaints everything") << "12/7/2026" << int(Qt::Key_PageDown) << true;
    }
    void repaintAfterAMove()
    {
        auto [start, key, whole] = fetchRow<QString, int, bool>({"start", "key", "whole"});
        Open popup(start);
        QVERIFY(QTest::qWaitForWindowExposed(popup.get()));
        QCoreApplication::processEvents();
        popup.popup->painted = QRegion();
        QTest::keyClick(popup.get(), Qt::Key(key));
        QTRY_VERIFY(!popup.popup->painted.isEmpty());
        // The bottom row is far from both marks and the title.
        QCOMPARE(popup.popup->painted.contains(cellCentre(*popup.get(), 40)), whole);
        QVERIFY(popup.popup->painted.contains(popup->titleBand().center()));
    }
};

QTEST_MAIN(TestCalPop)
#include "Calpop_test.moc"

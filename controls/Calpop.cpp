#include "Calpop.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPolygon>
#include <QScreen>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "Ctlsettings.h"
#include "Dateedit.h"
#include "Shortdate.h"

using namespace quillon;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kGrey(128, 128, 128);

// Fixed, not the locale's: the header row has room for two letters only.
const char *const kWeekdayNames[7] = {"Su", "Mo", "Tu", "We", "Th", "Fr", "Sa"};

const QString kEmptyCell = QStringLiteral("  ");

// Halves go to the even neighbour (the default floating-point rounding mode).
int roundHalfEven(double value)
{
    return int(std::nearbyint(value));
}

// Point-in-rectangle with the right and bottom edges counted as inside: the
// month buttons and the grid take a click on their far edge too.
bool containsInclusive(const QRect &r, const QPoint &p)
{
    return p.x() >= r.left() && p.x() <= r.left() + r.width() && p.y() >= r.top()
           && p.y() <= r.top() + r.height();
}

// Draws the two-coloured edge of `r` as a pen moved from the bottom-left
// corner up, across, down and back would: every stroke leaves out its end
// point, which the next stroke starts on. So the first colour owns the whole
// left column and the top row short of the top-right pixel, and the second
// colour the rest of the right column and bottom row. Sunken (grey, white)
// and raised (white, grey) edges differ only in the colours.
void drawEdge(QPainter &painter, const QRect &r, const QColor &leftTop, const QColor &rightBottom)
{
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), leftTop);
    painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), leftTop);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height() - 1), rightBottom);
    painter.fillRect(QRect(r.left() + 1, r.bottom(), r.width() - 1, 1), rightBottom);
}

void drawOutline(QPainter &painter, const QRect &r, const QColor &colour)
{
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
}

// The year as the date fields write it: in the locale's era where its
// short date counts years so (2569 under th_TH, not 2026).
std::string withYear(const std::string &pattern)
{
    const bool era = DateFieldPattern(ControlLocale()).find("eeee") != std::string::npos;
    return pattern + (era ? "eeee" : "yyyy");
}

QString formatDay(int day, const std::string &pattern)
{
    return QString::fromStdString(FormatDatePattern(day, withYear(pattern), ControlLocale()));
}

// The selected day as a child of the popup, the one thing in it that takes
// the keys: its name is the whole date, so each move is read out in full.
// A list item rather than a table cell, as screen readers speak the new name
// of a focused item but take a cell's for a repeat.
class SelectedDayAccessible : public QAccessibleInterface
{
public:
    explicit SelectedDayAccessible(TfrmCalPop *popup)
        : m_popup(popup)
    {
    }

    bool isValid() const override { return m_popup; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_popup ? m_popup->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_popup); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString &) override {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && m_popup ? m_popup->selectedDateText() : QString();
    }

    QRect rect() const override
    {
        if (!m_popup)
            return {};
        const QRect cell = m_popup->cellRect(m_popup->currentCell());
        return QRect(m_popup->mapToGlobal(cell.topLeft()), cell.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.focusable = state.selectable = state.selected = true;
        state.focused = m_popup && m_popup->isActiveWindow();
        state.invisible = !m_popup || !m_popup->isVisible();
        return state;
    }

private:
    QPointer<TfrmCalPop> m_popup;
};

// The popup as a dialog named after its field ("Policy effective date
// calendar"), describing the month it shows, with the selected day as its
// only child.
class CalendarAccessible : public QAccessibleWidget
{
public:
    explicit CalendarAccessible(TfrmCalPop *popup)
        : QAccessibleWidget(popup, QAccessible::Dialog)
        , m_day(QAccessible::registerAccessibleInterface(new SelectedDayAccessible(popup)))
    {
    }
    ~CalendarAccessible() override { QAccessible::deleteAccessibleInterface(m_day); }

    QString text(QAccessible::Text t) const override
    {
        auto *popup = static_cast<TfrmCalPop *>(widget());
        switch (t) {
        case QAccessible::Name: {
            const QString name = static_cast<TDateEdit *>(popup->parentWidget())->calendarName();
            return name.isEmpty() ? TfrmCalPop::tr("Calendar") : name;
        }
        case QAccessible::Description: return popup->monthText();
        case QAccessible::Value: return popup->selectedDateText();
        default: return QAccessibleWidget::text(t);
        }
    }

    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::accessibleInterface(m_day) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child == QAccessible::accessibleInterface(m_day) ? 0 : -1;
    }
    QAccessibleInterface *focusChild() const override
    {
        return widget()->isActiveWindow() ? child(0) : nullptr;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        QAccessibleInterface *day = child(0);
        return day->rect().contains(x, y) ? day : nullptr;
    }

private:
    QAccessible::Id m_day;
};

QAccessibleInterface *calendarAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String(TfrmCalPop::staticMetaObject.className()) && object->isWidgetType())
        return new CalendarAccessible(static_cast<TfrmCalPop *>(object));
    return nullptr;
}

void announce(TfrmCalPop *popup, QAccessible::Event type, int child = -1)
{
    QAccessibleEvent event(popup, type);
    event.setChild(child);
    QAccessible::updateAccessibility(&event);
}

} // namespace

TfrmCalPop::TfrmCalPop(TDateEdit *field, int day)
    : QDialog(field, Qt::Dialog | Qt::FramelessWindowHint)
    , m_field(field)
    // The calendar asks for 6 points, but this bitmap family's smallest size
    // is 8 points and that is what has always been drawn; where the family is
    // missing, the substitute is taken at that size too.
    , m_font(QStringLiteral("MS Sans Serif"), 8)
{
    static const bool speaks = (QAccessible::installFactory(calendarAccessible), true);
    Q_UNUSED(speaks);
    setModal(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, kSilver);
    setPalette(background);

    m_boldFont = m_font;
    m_boldFont.setBold(true);
    const QFontMetrics metrics(m_font);
    m_unit = roundHalfEven(1.6 * metrics.averageCharWidth());
    m_rowHeight = roundHalfEven(4.0 / 3.0 * metrics.height());
    setFixedSize(21 * m_unit + 8, 8 * m_rowHeight + 2);

    // The popup keeps to the screen that shows the field, which on a second
    // monitor does not start at 0, 0 and may not be the window's own.
    const QRect client(field->mapToGlobal(QPoint(0, 0)), field->size());
    QScreen *screen = QGuiApplication::screenAt(client.center());
    if (!screen)
        screen = field->screen();
    if (screen)
        setScreen(screen);
    move(placement(client, size(), screen ? screen->geometry() : QRect(0, 0, 1024, 768)));

    m_selected = std::clamp(day, kFirstDayNumber, kLastDayNumber);

    takeApart();
    m_currentCell = firstCell() + int(m_day) - 1;
    m_previousCell = 0;
    FillDayTable();
    m_tracking = false;
}

QPoint TfrmCalPop::placement(const QRect &field, const QSize &size, const QRect &screen)
{
    const int bottom = field.top() + field.height();
    const int screenRight = screen.left() + screen.width(), screenBottom = screen.top() + screen.height();
    int x = field.left() + 1;
    if (x + size.width() > screenRight)
        x = screenRight - size.width() - 1;
    int y = bottom + 1;
    if (y + size.height() > screenBottom)
        y = field.top() - size.height(); // above the field, touching it
    return {x, y};
}

QString TfrmCalPop::monthText() const
{
    return formatDay(m_selected, "mmmm ");
}

QString TfrmCalPop::selectedDateText() const
{
    return formatDay(m_selected, "dddd, mmmm d, ");
}

QString TfrmCalPop::cellText(int cell) const
{
    if (cell < 1 || cell > 42)
        return {};
    return m_cells[std::size_t(cell)];
}

// The rectangles below are the layout's left, top, right, bottom with right
// and bottom exclusive, so QRect::right() is one less than the layout's right.
QRect TfrmCalPop::previousMonthButton() const
{
    return QRect(4, 2, 16, 16);
}

QRect TfrmCalPop::nextMonthButton() const
{
    return QRect(21 * m_unit - 12, 2, 16, 16);
}

QRect TfrmCalPop::titleBand() const
{
    return QRect(20, 2, width() - 40, m_rowHeight - 2);
}

QRect TfrmCalPop::gridRect() const
{
    return QRect(4, 2 * m_rowHeight + 2, 21 * m_unit, 6 * m_rowHeight);
}

QRect TfrmCalPop::weekdayRect(int column) const
{
    return QRect(4 + 3 * m_unit * (column - 1), m_rowHeight + 2, 3 * m_unit, m_rowHeight);
}

QRect TfrmCalPop::cellRect(int cell) const
{
    const int row = (cell - 1) / 7 + 1;    // 1 to 6
    const int column = (cell - 1) % 7 + 1; // 1 to 7, Sunday first
    return QRect(4 + 3 * m_unit * (column - 1), (row + 1) * m_rowHeight + 2, 3 * m_unit, m_rowHeight);
}

int TfrmCalPop::firstCell() const
{
    using namespace std::chrono;
    return DayOfWeek(DayNumber(year{int(m_year)} / month{m_month} / day{1}));
}

void TfrmCalPop::takeApart()
{
    const std::chrono::year_month_day date = DateOfDayNumber(m_selected);
    m_year = unsigned(int(date.year()));
    m_month = unsigned(date.month());
    m_day = unsigned(date.day());
}

void TfrmCalPop::FillDayTable()
{
    const int first = firstCell();
    const int length = DaysInMonth(int(m_year), int(m_month));
    for (int cell = 1; cell <= 42; ++cell) {
        const int dayOfMonth = cell - first + 1;
        m_cells[std::size_t(cell)] =
            dayOfMonth >= 1 && dayOfMonth <= length ? QString::number(dayOfMonth) : kEmptyCell;
    }
}

bool TfrmCalPop::holdsDay(int cell) const
{
    return cell >= 1 && cell <= 42 && m_cells[std::size_t(cell)] != kEmptyCell;
}

void TfrmCalPop::MoveDays(int n)
{
    const int before = m_selected;
    m_previousCell = m_currentCell;
    m_previousYear = m_year;
    m_previousMonth = m_month;
    // The calendar ends at 1/1/0100 and 12/31/9999; a move past either end
    // stops on it rather than producing a date that would not read back.
    const long long target = static_cast<long long>(m_selected) + n;
    m_selected = int(std::clamp<long long>(target, kFirstWritableDayNumber, kLastDayNumber));
    takeApart();
    m_currentCell = firstCell() + int(m_day) - 1;
    const bool newMonth = m_month != m_previousMonth || m_year != m_previousYear;
    if (newMonth)
        FillDayTable();
    // Every move that lands on another day is read out, whichever way it
    // came (keys, a drag, the month buttons); one stopped at either end of
    // the calendar says nothing.
    if (m_selected == before)
        return;
    if (newMonth)
        announce(this, QAccessible::DescriptionChanged);
    announce(this, QAccessible::NameChanged, 0);
    if (isActiveWindow())
        announce(this, QAccessible::Focus, 0);
}

void TfrmCalPop::pageUp()
{
    // The step is the length of the month before, not "one month": 31 March
    // lands on 3 March (2 March in a leap year). December precedes January.
    const int previous = m_month == 1 ? 12 : int(m_month) - 1;
    MoveDays(-DaysInMonth(int(m_year), previous));
}

void TfrmCalPop::pageDown()
{
    MoveDays(DaysInMonth(int(m_year), int(m_month)));
}

void TfrmCalPop::moveYears(int years)
{
    using namespace std::chrono;
    const int target = int(m_year) + years;
    if (target < 100 || target > 9999)
        return; // the first and last years have nowhere to go
    // 29 February has no counterpart in the neighbouring years: 1 March instead.
    const bool leapDay = m_month == 2 && m_day == 29;
    const year_month_day date = leapDay ? year{target} / March / day{1}
                                        : year{target} / month{m_month} / day{m_day};
    MoveDays(DayNumber(date) - m_selected);
}

void TfrmCalPop::repaintSelection()
{
    if (m_month != m_previousMonth || m_year != m_previousYear) {
        update();
        return;
    }
    // Within the month only the two marks and the title change.
    QRegion region(cellRect(m_currentCell));
    region += titleBand();
    if (m_previousCell > 0)
        region += cellRect(m_previousCell);
    update(region);
}

void TfrmCalPop::arrowMove(int n)
{
    MoveDays(n);
    repaintSelection();
}

void TfrmCalPop::selectCell(int cell)
{
    MoveDays(cell - m_currentCell);
    repaintSelection();
}

void TfrmCalPop::closeWithDate()
{
    m_tracking = false;
    m_field->enterDate(m_selected);
    done(1);
}

void TfrmCalPop::FormCancel()
{
    m_tracking = false;
    done(-1);
}

void TfrmCalPop::keyPressEvent(QKeyEvent *event)
{
    // Shift, Control and Alt make no difference; the dialog's own Return and
    // Escape handling is bypassed entirely.
    switch (event->key()) {
    case Qt::Key_Left: arrowMove(-1); break;
    case Qt::Key_Right: arrowMove(1); break;
    case Qt::Key_Up: arrowMove(-7); break;
    case Qt::Key_Down: arrowMove(7); break;
    case Qt::Key_PageUp: pageUp(); update(); break;
    case Qt::Key_PageDown: pageDown(); update(); break;
    case Qt::Key_Home: moveYears(1); update(); break;
    case Qt::Key_End: moveYears(-1); update(); break;
    case Qt::Key_Return:
    case Qt::Key_Enter: closeWithDate(); break;
    case Qt::Key_Escape: FormCancel(); break;
    default: event->ignore(); return;
    }
    event->accept();
}

int TfrmCalPop::CellAt(int x, int y) const
{
    const QRect grid = gridRect();
    if (x <= grid.left() || x >= grid.left() + grid.width() || y <= grid.top()
        || y >= grid.top() + grid.height())
        return -1;
    // y - 2 lies strictly between 2h and 8h, so the row is 1 to 6.
    const int row = (y - 2) / m_rowHeight - 1;
    // A point on the line between two columns belongs to the left one.
    int column = 1;
    while (x > 4 + 3 * m_unit * column)
        ++column;
    return 7 * (row - 1) + column;
}

void TfrmCalPop::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    if (containsInclusive(previousMonthButton(), p)) {
        pageUp();
        update();
    } else if (containsInclusive(nextMonthButton(), p)) {
        pageDown();
        update();
    }
    if (!containsInclusive(gridRect(), p))
        return;
    // The grid's own edges count as the grid but hold no cell, so a press
    // there starts no tracking.
    const int cell = CellAt(p.x(), p.y());
    m_tracking = holdsDay(cell);
    if (m_tracking)
        selectCell(cell);
}

void TfrmCalPop::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_tracking)
        return;
    const QPoint p = event->position().toPoint();
    if (!containsInclusive(gridRect(), p))
        return;
    const int cell = CellAt(p.x(), p.y());
    if (holdsDay(cell) && cell != m_currentCell)
        selectCell(cell);
}

void TfrmCalPop::mouseReleaseEvent(QMouseEvent *)
{
    // Wherever the button comes up, the day last passed over is taken.
    if (m_tracking)
        closeWithDate();
}

void TfrmCalPop::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    // The popup takes no focus itself, so Qt tells no one where the keys go:
    // the selected day has them from the moment the popup is active.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        announce(this, QAccessible::Focus, 0);
}

void TfrmCalPop::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 0));
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(kSilver);

    paintFrame(painter);
    paintTitle(painter);
    paintWeekdays(painter);
    paintDays(painter);
    paintMonthButton(painter, previousMonthButton(), false);
    paintMonthButton(painter, nextMonthButton(), true);
    DrawSelection(painter, m_currentCell);
}

void TfrmCalPop::paintFrame(QPainter &painter)
{
    painter.fillRect(rect(), kSilver);
    drawOutline(painter, rect(), Qt::black);
    // The raised edge is drawn on the outline's own pixels.
    drawEdge(painter, rect(), Qt::white, kGrey);
}

void TfrmCalPop::paintTitle(QPainter &painter)
{
    const QRect band = titleBand();
    painter.fillRect(band, kSilver);
    painter.setFont(m_boldFont);
    painter.drawText(band, Qt::AlignCenter | Qt::TextSingleLine, formatDay(m_selected, "mmmm d, "));
}

void TfrmCalPop::paintWeekdays(QPainter &painter)
{
    painter.setFont(m_boldFont);
    for (int column = 1; column <= 7; ++column)
        painter.drawText(weekdayRect(column), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                         QString::fromLatin1(kWeekdayNames[column - 1]));
    // Etched line between the names and the grid; x = 4 to 21u + 4 with the
    // end point left out.
    const int length = 21 * m_unit;
    painter.fillRect(QRect(4, 2 * m_rowHeight - 1, length, 1), kGrey);
    painter.fillRect(QRect(4, 2 * m_rowHeight, length, 1), Qt::white);
}

void TfrmCalPop::paintDays(QPainter &painter)
{
    painter.setFont(m_font);
    for (int cell = 1; cell <= 42; ++cell)
        painter.drawText(cellRect(cell), Qt::AlignCenter | Qt::TextSingleLine, m_cells[std::size_t(cell)]);
}

void TfrmCalPop::paintMonthButton(QPainter &painter, const QRect &button, bool pointsRight)
{
    painter.fillRect(button, kSilver);
    drawOutline(painter, button, Qt::black);
    drawEdge(painter, button.adjusted(1, 1, -1, -1), Qt::white, kGrey);

    // Corners in the layout's terms: L, T and the exclusive R, B.
    const int l = button.left(), t = button.top();
    const int r = l + button.width(), b = t + button.height();
    QPolygon triangle;
    if (pointsRight)
        triangle << QPoint(l + 4, t + 3) << QPoint(l + 4, b - 4) << QPoint(r - 4, t + 7);
    else
        triangle << QPoint(r - 5, t + 3) << QPoint(r - 5, b - 4) << QPoint(l + 3, t + 7);
    painter.save();
    painter.setBrush(Qt::black);
    painter.drawPolygon(triangle);
    painter.restore();
}

void TfrmCalPop::DrawSelection(QPainter &painter, int cell)
{
    if (!holdsDay(cell))
        return;
    // Removing the old mark matters when only the changed cells are repainted.
    if (m_previousCell > 0) {
        const QRect previous = cellRect(m_previousCell);
        painter.fillRect(previous, kSilver);
        painter.setFont(m_font);
        painter.drawText(previous, Qt::AlignCenter | Qt::TextSingleLine, m_cells[std::size_t(m_previousCell)]);
    }
    const QRect current = cellRect(cell);
    painter.setFont(m_boldFont);
    painter.drawText(current, Qt::AlignCenter | Qt::TextSingleLine, m_cells[std::size_t(cell)]);
    drawEdge(painter, current, kGrey, Qt::white);
    painter.setPen(QPen(Qt::black, 0));
    painter.setFont(m_font);
}

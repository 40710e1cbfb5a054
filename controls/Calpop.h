#pragma once

#include <QDialog>
#include <QFont>
#include <QRect>
#include <QString>
#include <array>

class TDateEdit;

// The drop-down month calendar of a date field: a borderless modal window
// drawn entirely on its own canvas. It starts on the day it is given (the
// field's date, or today for an empty field) and writes the chosen date
// back through the field's enterDate.
class TfrmCalPop : public QDialog
{
    Q_OBJECT
public:
    // `day` is a day number from 1/1/0001 to 12/31/9999.
    TfrmCalPop(TDateEdit *field, int day);

    int selectedDate() const { return m_selected; }
    int currentCell() const { return m_currentCell; }
    int previousCell() const { return m_previousCell; }
    bool isTracking() const { return m_tracking; }
    int unit() const { return m_unit; }           // u: a third of a day cell's width
    int rowHeight() const { return m_rowHeight; } // h
    QString cellText(int cell) const;             // cells 1 to 42

    // What a screen reader is told: the month shown ("December 2026") and
    // the selected day ("Monday, December 7, 2026"), in the locale's names
    // and with the year as the title writes it.
    QString monthText() const;
    QString selectedDateText() const;

    // Geometry, relative to the popup's top-left corner.
    QRect previousMonthButton() const;
    QRect nextMonthButton() const;
    QRect titleBand() const;
    QRect gridRect() const;
    QRect cellRect(int cell) const;

    // Moves the selection by n days, staying within 1/1/0001 and 12/31/9999.
    void MoveDays(int n);
    // -1 unless (x, y) lies strictly inside the grid.
    int CellAt(int x, int y) const;
    void FillDayTable();
    // Stops tracking and closes without writing a date.
    void FormCancel();

    // Where a popup of `size` goes for a field whose client area on screen is
    // `field` (right and bottom exclusive): just below and aligned with it,
    // moved left or above the field where it would leave `screen`, the
    // field's own screen in the coordinates of the whole desktop.
    static QPoint placement(const QRect &field, const QSize &size, const QRect &screen);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int firstCell() const;
    void closeWithDate();
    void selectCell(int cell);
    void DrawSelection(class QPainter &painter, int cell);

    void takeApart();
    bool holdsDay(int cell) const;
    QRect weekdayRect(int column) const;
    void moveYears(int years);
    void pageUp();
    void pageDown();
    void arrowMove(int n);
    void repaintSelection();
    void paintFrame(QPainter &painter);
    void paintTitle(QPainter &painter);
    void paintWeekdays(QPainter &painter);
    void paintDays(QPainter &painter);
    void paintMonthButton(QPainter &painter, const QRect &button, bool pointsRight);

    TDateEdit *m_field;
    QFont m_font;
    QFont m_boldFont;
    int m_selected = 0;
    int m_unit = 0;
    int m_rowHeight = 0;
    std::array<QString, 43> m_cells; // index 0 unused
    int m_currentCell = 0;
    int m_previousCell = 0;
    bool m_tracking = false;
    unsigned m_day = 0, m_month = 0, m_year = 0;
    unsigned m_previousMonth = 0, m_previousYear = 0;
};

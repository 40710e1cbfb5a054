#pragma once

#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <optional>

class TDateEdit;

// The small square drop-down button inside a date field's right end. It is a
// child of the field, so moving the focus into it does not leave the field.
// Its only behaviour is its click: Space clicks it, Tab and Shift+Tab move
// on, and every other key stops here instead of editing the field behind it.
class TDateButton : public QPushButton
{
    Q_OBJECT
public:
    explicit TDateButton(TDateEdit *field);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

// A single-line date field with a drop-down month calendar. Its value is its
// text; on leaving, the owner's exit handler runs first (exited()), then an
// empty text is allowed, a valid date is rewritten in the field's own
// text form (the locale's order, so it reads back as the same day) and anything
// else is refused with "Invalid Date: " and the focus taken back.
class TDateEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TDateEdit(QWidget *parent = nullptr);

    // Writes a day into the field in its own text form without running the
    // exit handling, and marks the field modified. Day 0 is 12/30/1899 like
    // any other day: a date the clerk typed or picked is never blanked.
    void SetDate(int day);

    // The day the field holds: its text read in the controls' locale
    // against today, nothing for an empty text or one that is not a date.
    std::optional<int> date() const;

    // A date the clerk chose, typed or picked in the calendar: written as
    // SetDate writes it, then entered(day).
    void enterDate(int day);

    TDateButton *button() const { return m_button; }
    const QPixmap &glyph() const { return m_glyph; }

    // What the button and its popup are called for assistive technology:
    // the field's own name in sentence case with " calendar" ("Policy
    // effective date calendar" for the field captioned "Policy Effective
    // date"), or nothing for a field without a name.
    QString calendarName() const;

    // Opens the calendar popup on the field's date (or today for an empty
    // field), the text read once. A text that is not a date shows the
    // conversion error in the general error display and no popup opens;
    // nothing is thrown.
    void openCalendar();

    // For the owner's exit handler: it has failed and shown its error, so
    // the field's own check does not run on this exit.
    void abandonExit();

signals:
    // The owner's exit handler. One that fails calls abandonExit(); one that
    // throws ends the exit handling there too, through the application's
    // last line of defence.
    void exited();
    // A date the clerk entered: typed and accepted on leaving, or picked in
    // the calendar; not one the program wrote with SetDate.
    void entered(int day);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    friend class TDateButton;
    void leave();
    void layoutButton();
    void drawGlyph();

    TDateButton *m_button;
    QPixmap m_glyph;
    bool m_exitAbandoned = false;
};

// Reads a date text as ParseShortDate does, in the controls' locale against
// today. A text that is not a date is reported where it is found: the
// general error display shows the conversion error ("'abc' is not a valid
// date"), and nothing is returned.
std::optional<int> ParseShortDateOrShowError(const QString &text);

// Draws the button's diamond glyph: W x H, light grey, lit on its left half
// and shaded on its right half, in pixels of the given device pixel ratio
// (1.5 gives a picture 1.5 times as many pixels across, drawn for that
// size rather than enlarged).
QPixmap DateButtonGlyph(int width, int height, qreal devicePixelRatio = 1);

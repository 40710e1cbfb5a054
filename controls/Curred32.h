#pragma once

#include <QLineEdit>
#include <QString>

// The numeric field: one extended Value shown as text through DisplayFormat.
// Typing is limited to digits, the minus sign, the point and the locale's
// decimal separator; on leaving, the field reads a number back from whatever
// text it holds in the locale's notation (refusing ambiguous text), shows it again
// through the format and only then tells its owner (exited()).
// A text too wide for the field is drawn in a smaller size of its font, as
// large as fits, rather than cut: a figure never loses its leading digits or
// sign, whatever the font or the figure.
class TCurrencyEdit : public QLineEdit
{
    Q_OBJECT
    // Lets a form's layout file set the format by name.
    Q_PROPERTY(QString DisplayFormat READ DisplayFormat WRITE setDisplayFormat)
public:
    explicit TCurrencyEdit(QWidget *parent = nullptr);

    long double Value() const { return m_value; }
    // An equal number changes nothing; a different one is stored unrounded
    // and the text rebuilt, even while the user is typing.
    void setValue(long double value);

    QString DisplayFormat() const { return m_displayFormat; }
    // Throws ConversionError for a format longer than 224 characters.
    void setDisplayFormat(const QString &format);

    // Ends any editing in progress as leaving the field would (read back,
    // then redisplay) but without telling the owner, so a command that acts
    // on the field's figure sees the typed one.
    void commitEdit();

signals:
    // Fired on leaving the field, after the read-back and the redisplay, so a
    // handler sees the new Value.
    void exited();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void FormatText();
    void ParseText();
    void fitText();

    QString m_displayFormat;
    long double m_value = 0.0L;
    // The font the field was given; fitText() draws in it or a smaller size of it.
    QFont m_designFont;
    bool m_fitting = false;
};

// True for focus changes that leave a field for another control of the same
// window; false when a message box, a menu or another window takes the
// activation, which only suspends the focus.
bool IsLeavingFocus(const QFocusEvent *event);

// Puts the focus back into a field that refused to be left, once the focus
// change that is leaving it has finished. It comes back as an activation, so
// the control the focus was heading for, never really entered, is not left.
void TakeFocusBack(QWidget *field);

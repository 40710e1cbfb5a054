#pragma once

#include <QLineEdit>
#include <QString>
#include <QVector>

// A masked single-line edit taking masks in the classic notation: '0' a
// required digit, '9' an optional one, '\' makes the next character literal,
// a leading '!' right-justifies the optional digits of each run (leading
// blanks), and ";1;_" keeps the literals in the text and shows '_' for an
// empty place. Only digit masks are needed by the program's forms.
//
// Text() is the stored form: the literals, the digits, and a space for every
// empty place, so an untouched "!\(999\) 000-0000;1;_" field reads "(   )    -    ".
class TMaskEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(QString EditMask READ EditMask WRITE setEditMask)
public:
    explicit TMaskEdit(QWidget *parent = nullptr);

    QString EditMask() const { return m_editMask; }
    void setEditMask(const QString &mask);

    // The stored text; and any text fitted into the mask.
    QString Text() const;
    void setStoredText(const QString &text);

    // Every required place holds a digit.
    bool isComplete() const;

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    enum class Place { Literal, Required, Optional };
    struct Slot
    {
        Place place;
        QChar literal;
    };
    QVector<Slot> m_slots;
    QString m_editMask;
    bool m_rightJustify = false;
    QString m_textAtEntry;
};

// The error a masked field shows when it is left incomplete after a change.
inline constexpr const char *kMaskEditError = "Invalid input value.  Use escape key to abandon changes";

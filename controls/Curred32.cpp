#include "Curred32.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>

#include "Ctlsettings.h"
#include "Dispfmt.h"

using namespace quillon;

namespace {

// Keys that move or delete without producing a character work as in any edit.
bool isEditingKey(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

QString decimalSeparator()
{
    return QString::fromStdString(ControlLocale().decimalSeparator);
}

// The locale's own digits (Persian, Oriya) as the ASCII digits they stand
// for: a clerk on that keyboard types them, and the field shows figures in
// ASCII digits.
QString asciiDigits(const QString &text)
{
    const LocaleSettings &locale = ControlLocale();
    if (locale.altDigits.empty())
        return text;
    const std::string typed = text.toStdString();
    std::string out;
    for (std::size_t i = 0; i < typed.size();) {
        char digit = 0;
        const std::size_t length = DigitAt(typed, i, locale, digit);
        out += length ? digit : typed[i];
        i += length ? length : 1;
    }
    return QString::fromStdString(out);
}

bool isAcceptedText(const QString &text)
{
    if (text == decimalSeparator())
        return true;
    for (const QChar c : text)
        if (!(c == u'-' || c == u'.' || (c >= u'0' && c <= u'9')))
            return false;
    return true;
}

} // namespace

bool IsLeavingFocus(const QFocusEvent *event)
{
    return event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
}

void TakeFocusBack(QWidget *field)
{
    // Queued: the focus change is still being delivered, and the control it
    // was heading for gets its focus-in only after this handler returns.
    QTimer::singleShot(0, field, [field] {
        field->activateWindow();
        field->setFocus(Qt::ActiveWindowFocusReason);
    });
}

TCurrencyEdit::TCurrencyEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_displayFormat(QString::fromUtf8(kAmountFormat.data(), qsizetype(kAmountFormat.size())))
{
    resize(121, 25);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_designFont = font();
    connect(this, &QLineEdit::textChanged, this, &TCurrencyEdit::fitText);
    FormatText();
}

void TCurrencyEdit::setValue(long double value)
{
    if (value == m_value)
        return;
    m_value = value;
    FormatText();
}

void TCurrencyEdit::setDisplayFormat(const QString &format)
{
    if (format == m_displayFormat)
        return;
    // Check the format before storing it, so a refused one leaves the field as it was.
    const quillon::DisplayFormat checked(format.toStdString());
    m_displayFormat = format;
    setText(QString::fromStdString(checked.format(m_value, ControlLocale())));
}

void TCurrencyEdit::commitEdit()
{
    ParseText();
    FormatText();
}

void TCurrencyEdit::FormatText()
{
    setText(QString::fromStdString(quillon::FormatText(m_value, m_displayFormat.toStdString(), ControlLocale())));
}

void TCurrencyEdit::ParseText()
{
    if (const auto value = quillon::ParseText(text().toStdString(), ControlLocale()))
        m_value = *value;
    else
        QApplication::beep();
}

void TCurrencyEdit::keyPressEvent(QKeyEvent *event)
{
    // Shift+Insert pastes without the filter; the text is read back on leaving.
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ShiftModifier) {
        if (!isReadOnly())
            paste();
        return;
    }
    if (isEditingKey(event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Return and Escape are refused as characters but still reach the
    // window, whose default and cancel buttons act on them.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    // Every character but digits, '-' and '.' is dropped, control characters
    // included: Backspace, Ctrl+C, Ctrl+V, Ctrl+X and the like do nothing.
    const QString text = event->text();
    const bool control = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    if (control && event->key() == Qt::Key_Insert) {
        QLineEdit::keyPressEvent(event); // Ctrl+Insert copies: a key, not a character
        return;
    }
    if (event->key() == Qt::Key_Backspace || control) {
        event->accept();
        return;
    }
    if (text.isEmpty()) {
        QLineEdit::keyPressEvent(event); // keys that type nothing (F-keys, modifiers)
        return;
    }
    // The keypad's decimal key types the locale's decimal separator, whatever
    // the keyboard layout engraves on it.
    if (event->modifiers() & Qt::KeypadModifier
        && (event->key() == Qt::Key_Period || event->key() == Qt::Key_Comma)) {
        if (!isReadOnly())
            insert(decimalSeparator());
        event->accept();
        return;
    }
    if (const QString digits = asciiDigits(text); digits != text && isAcceptedText(digits)) {
        if (!isReadOnly())
            insert(digits);
        event->accept();
        return;
    }
    if (!isAcceptedText(text)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TCurrencyEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (!IsLeavingFocus(event))
        return; // coming back from a message box or menu is not entering
    // A mouse press places the cursor after the focus arrives, so select
    // once that press has been handled.
    if (event->reason() == Qt::MouseFocusReason)
        QTimer::singleShot(0, this, [this] {
            if (hasFocus())
                selectAll();
        });
    else
        selectAll();
}

void TCurrencyEdit::focusOutEvent(QFocusEvent *event)
{
    if (!IsLeavingFocus(event)) {
        QLineEdit::focusOutEvent(event);
        return;
    }
    ParseText();
    FormatText();
    QLineEdit::focusOutEvent(event);
    emit exited();
}

void TCurrencyEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    fitText();
}

void TCurrencyEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange && !m_fitting) {
        m_designFont = font();
        fitText();
    }
}

void TCurrencyEdit::fitText()
{
    // Where QLineEdit draws the text: inside its frame and text margins, two
    // pixels in from each end, with a pixel before the text and room for the
    // cursor after it. A text that takes more is scrolled, and a right-aligned
    // figure then loses its beginning.
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents =
        style()->subElementRect(QStyle::SE_LineEditContents, &option, this).marginsRemoved(textMargins());
    const int room = contents.width() - 4 - 1 - style()->pixelMetric(QStyle::PM_TextCursorWidth, &option, this);
    const auto fits = [&](const QFont &font) {
        return qRound(QFontMetricsF(font, this).horizontalAdvance(text())) <= room;
    };
    QFont fitted = m_designFont;
    // Width falls with size: the first quarter point that fits is the largest.
    for (qreal size = m_designFont.pointSizeF(); !fits(fitted) && size > 1; ) {
        size -= 0.25;
        fitted.setPointSizeF(size);
    }
    if (fitted == font())
        return;
    m_fitting = true;
    setFont(fitted);
    m_fitting = false;
}

#include "Maskedit.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "Curred32.h"
#include "Errordisplay.h"

namespace {
constexpr QChar kBlank = u'_';
// Characters Qt's own mask language would read as commands.
const QString kQtMaskMeta = QStringLiteral("AaNnXx9D0dHhBb#><!\\[]{};");
} // namespace

TMaskEdit::TMaskEdit(QWidget *parent)
    : QLineEdit(parent)
{
}

void TMaskEdit::setEditMask(const QString &mask)
{
    m_editMask = mask;
    m_slots.clear();
    // Only the first field of "mask;keepLiterals;blank" shapes the places.
    const QString shape = mask.section(u';', 0, 0);
    qsizetype i = 0;
    m_rightJustify = shape.startsWith(u'!');
    if (m_rightJustify)
        ++i;
    QString qtMask;
    for (; i < shape.size(); ++i) {
        QChar c = shape[i];
        if (c == u'\\' && i + 1 < shape.size()) {
            c = shape[++i];
            m_slots.append({Place::Literal, c});
        } else if (c == u'0') {
            m_slots.append({Place::Required, {}});
            qtMask += u'9'; // Qt reads the digit places the other way round
            continue;
        } else if (c == u'9') {
            m_slots.append({Place::Optional, {}});
            qtMask += u'0';
            continue;
        } else {
            m_slots.append({Place::Literal, c});
        }
        if (kQtMaskMeta.contains(c))
            qtMask += u'\\';
        qtMask += c;
    }
    setInputMask(qtMask + u';' + kBlank);
    setMaxLength(int(m_slots.size()));
}

QString TMaskEdit::Text() const
{
    const QString shown = displayText();
    QString stored;
    for (qsizetype i = 0; i < m_slots.size(); ++i) {
        const QChar c = i < shown.size() ? shown[i] : kBlank;
        stored += c == kBlank ? QChar(u' ') : c;
    }
    if (!m_rightJustify)
        return stored;
    // Each run of optional places keeps its digits at its right end.
    for (qsizetype i = 0; i < m_slots.size();) {
        if (m_slots[i].place != Place::Optional) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < m_slots.size() && m_slots[end].place == Place::Optional)
            ++end;
        const QString digits = stored.mid(i, end - i).remove(u' ');
        stored.replace(i, end - i, digits.rightJustified(end - i, u' '));
        i = end;
    }
    return stored;
}

void TMaskEdit::setStoredText(const QString &text)
{
    // A text laid out like the mask keeps every character in its place;
    // anything else has its digits filled in from the left.
    // Reading a settings file trims the trailing blanks of an empty number.
    const QString padded = text.leftJustified(m_slots.size(), u' ');
    bool shaped = padded.size() == m_slots.size();
    for (qsizetype i = 0; shaped && i < m_slots.size(); ++i)
        shaped = m_slots[i].place != Place::Literal || padded[i] == m_slots[i].literal;
    if (!shaped) {
        QString digits;
        for (const QChar c : text)
            if (c.isDigit())
                digits += c;
        setText(digits);
        setModified(false);
        return;
    }
    QString fitted;
    for (qsizetype i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].place == Place::Literal)
            fitted += m_slots[i].literal;
        else
            fitted += padded[i].isDigit() ? padded[i] : kBlank;
    }
    setText(fitted);
    setModified(false);
}

bool TMaskEdit::isComplete() const
{
    const QString stored = Text();
    for (qsizetype i = 0; i < m_slots.size(); ++i)
        if (m_slots[i].place == Place::Required && !stored[i].isDigit())
            return false;
    return true;
}

void TMaskEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (IsLeavingFocus(event) && !isModified())
        m_textAtEntry = Text();
}

void TMaskEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (!IsLeavingFocus(event) || !isModified() || isComplete())
        return;
    // Refused: the general error display, then the focus comes back.
    ShowGeneralError(QString::fromLatin1(kMaskEditError));
    TakeFocusBack(this);
}

void TMaskEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && isModified()) {
        setStoredText(m_textAtEntry);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

#include "Dateedit.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QtMath>

#include "Calpop.h"
#include "Ctlsettings.h"
#include "Curred32.h"
#include "Errordisplay.h"
#include "Messages.h"
#include "Shortdate.h"

using namespace quillon;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kGrey(128, 128, 128);

// Captions are written in title case ("Cancellation Date"); inside a longer
// name they read as a phrase: "Cancellation date calendar". A word in
// capitals throughout, such as an abbreviation, keeps them.
QString sentenceCase(const QString &caption)
{
    QStringList words = caption.split(QLatin1Char(' '));
    for (qsizetype i = 1; i < words.size(); ++i) {
        QString &word = words[i];
        if (word.size() > 1 && word.at(0).isUpper() && word.sliced(1) == word.sliced(1).toLower())
            word[0] = word.at(0).toLower();
    }
    return words.join(QLatin1Char(' '));
}

// The date button as assistive technology sees it: a push button named after
// its field whenever it is asked, so the caption the window gives the field
// for the quotation type in use is the one read.
class DateButtonAccessible : public QAccessibleWidget
{
public:
    explicit DateButtonAccessible(QPushButton *button)
        : QAccessibleWidget(button, QAccessible::Button)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !widget()->accessibleName().isEmpty())
            return QAccessibleWidget::text(t);
        const QString name = static_cast<TDateEdit *>(widget()->parentWidget())->calendarName();
        return name.isEmpty() ? TDateButton::tr("Open calendar") : name;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = button()->isDown();
        return state;
    }

    QStringList actionNames() const override { return QStringList(pressAction()) + QAccessibleWidget::actionNames(); }

    void doAction(const QString &action) override
    {
        // Later, as a click would come: the calendar's modal loop must not
        // run inside the request that pressed the button.
        if (action == pressAction())
            button()->animateClick();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QPushButton *button() const { return static_cast<QPushButton *>(widget()); }
};

QAccessibleInterface *dateButtonAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String(TDateButton::staticMetaObject.className()) && object->isWidgetType())
        return new DateButtonAccessible(static_cast<TDateButton *>(object));
    return nullptr;
}

} // namespace

QPixmap DateButtonGlyph(int width, int height, qreal devicePixelRatio)
{
    if (width <= 0 || height <= 0 || devicePixelRatio <= 0)
        return {};
    QImage image(qCeil(width * devicePixelRatio), qCeil(height * devicePixelRatio), QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(kSilver);
    const int w = width / 2;
    const int h = height / 2;
    QPainter painter(&image);
    // At 1x the strokes land on whole pixels as they always have. Scaled,
    // each becomes a stroke one pixel wide through the middle of those
    // pixels, drawn in hard steps of the screen's own pixels like the 1x
    // picture (smoothed, the thin lines look out of focus).
    const bool scaled = devicePixelRatio != 1;
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (scaled)
        painter.translate(0.5, 0.5);
    const qreal penWidth = scaled ? 1 : 0;
    painter.setPen(QPen(Qt::white, penWidth));
    painter.drawLine(w, 1, 1, h);
    painter.drawLine(1, h, w, height - 2);
    painter.setPen(QPen(kGrey, penWidth));
    painter.drawLine(w, height - 2, width - 2, h);
    painter.drawLine(width - 2, h, w, 1);
    // Each stroke stops short of its end point, so the closing grey stroke
    // leaves the top point white.
    painter.resetTransform();
    painter.fillRect(QRectF(w, 1, 1, 1), Qt::white);
    painter.end();
    return QPixmap::fromImage(image);
}

TDateButton::TDateButton(TDateEdit *field)
    : QPushButton(field)
{
    resize(17, 17);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::ArrowCursor);
    static const bool named = (QAccessible::installFactory(dateButtonAccessible), true);
    Q_UNUSED(named);
    connect(this, &QPushButton::clicked, field, &TDateEdit::openCalendar);
    field->installEventFilter(this);
}

bool TDateButton::eventFilter(QObject *watched, QEvent *event)
{
    // A key the button does not take would ask the field whether it wants the
    // key before the window's shortcuts (Ctrl+A, Delete, ...). Skip the
    // field, so the window's shortcuts act as they do on any other button.
    if (event->type() == QEvent::ShortcutOverride && watched == parentWidget() && hasFocus())
        return true;
    return QPushButton::eventFilter(watched, event);
}

void TDateButton::keyPressEvent(QKeyEvent *event)
{
    // Tab and Backtab never get here: the focus moves before key handling.
    // Escape is passed on only to cancel a Space still held down.
    if (event->key() == Qt::Key_Space || (event->key() == Qt::Key_Escape && isDown()))
        QPushButton::keyPressEvent(event);
    // Accepted either way: an ignored key travels on to the field, the
    // button's parent, and types into a field whose caret is not shown.
    event->accept();
}

void TDateButton::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space)
        QPushButton::keyReleaseEvent(event);
    event->accept();
}

void TDateButton::contextMenuEvent(QContextMenuEvent *event)
{
    // Passed on, the request would reach the field and open its edit menu,
    // whose Paste and Delete edit the field from its button. The window's
    // menu is the one any other button shows, so go round the field.
    event->accept();
    QWidget *owner = parentWidget()->parentWidget();
    if (!owner)
        return;
    QContextMenuEvent passed(event->reason(), owner->mapFromGlobal(event->globalPos()), event->globalPos(),
                             event->modifiers());
    QApplication::sendEvent(owner, &passed);
}

void TDateButton::focusOutEvent(QFocusEvent *event)
{
    QPushButton::focusOutEvent(event);
    // The button belongs to the field: leaving the button for anything but
    // the field is leaving the field.
    auto *field = static_cast<TDateEdit *>(parentWidget());
    if (IsLeavingFocus(event) && QApplication::focusWidget() != field)
        field->leave();
}

TDateEdit::TDateEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_button(new TDateButton(this))
{
    layoutButton();
}

void TDateEdit::SetDate(int day)
{
    setText(QString::fromStdString(DateFieldText(day, ControlLocale())));
    setModified(true);
}

std::optional<int> TDateEdit::date() const
{
    if (text().isEmpty())
        return std::nullopt;
    return TryParseShortDate(text().toStdString(), ControlLocale(), Today());
}

void TDateEdit::enterDate(int day)
{
    SetDate(day);
    emit entered(day);
}

QString TDateEdit::calendarName() const
{
    // Qt's own reading of the field's name: its accessible name, or else
    // the caption of the label it is the buddy of.
    const QAccessibleInterface *field = QAccessible::queryAccessibleInterface(const_cast<TDateEdit *>(this));
    const QString name = field ? field->text(QAccessible::Name).trimmed() : QString();
    return name.isEmpty() ? QString() : sentenceCase(name) + tr(" calendar");
}

void TDateEdit::openCalendar()
{
    // The popup starts on the date the text names (today for an empty text),
    // so a text that is not a date is reported here and no popup opens. The
    // day read here is the one the popup gets: read again, a date without
    // its year could name another day, or none, once the year has turned.
    const std::optional<int> day = text().isEmpty() ? std::optional<int>(Today()) : ParseShortDateOrShowError(text());
    if (!day)
        return;
    TfrmCalPop popup(this, *day);
    popup.exec();
}

void TDateEdit::abandonExit()
{
    m_exitAbandoned = true;
}

void TDateEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    layoutButton();
}

void TDateEdit::layoutButton()
{
    const int side = height();
    m_button->setGeometry(width() - side, 0, side, side);
    drawGlyph();
    m_button->update();
}

void TDateEdit::drawGlyph()
{
    const int side = height();
    m_glyph = DateButtonGlyph(side - 4, side - 4, m_button->devicePixelRatio());
}

void TDateEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (IsLeavingFocus(event) && QApplication::focusWidget() != m_button)
        leave();
}

void TDateEdit::leave()
{
    // The owner's handler first; if it fails, its error has been shown and
    // the field's own check does not run.
    m_exitAbandoned = false;
    emit exited();
    if (m_exitAbandoned)
        return;
    const QString typed = text();
    if (typed.isEmpty())
        return;
    if (const std::optional<int> day = date()) {
        enterDate(*day);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QString(),
                    QString::fromUtf8(Messages::kInvalidDatePrefix.data(), qsizetype(Messages::kInvalidDatePrefix.size()))
                        + typed,
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText); // the typed text as typed, markup and all
    box.exec();
    TakeFocusBack(this);
}

std::optional<int> ParseShortDateOrShowError(const QString &text)
{
    const std::string typed = text.toStdString();
    const std::optional<int> day = TryParseShortDate(typed, ControlLocale(), Today());
    if (!day)
        ShowGeneralError(QString::fromStdString(Messages::InvalidDate(typed)));
    return day;
}

void TDateButton::paintEvent(QPaintEvent *)
{
    // The field may have moved to a screen of another scale since the glyph
    // was drawn.
    auto *field = static_cast<TDateEdit *>(parentWidget());
    if (field->glyph().devicePixelRatio() != devicePixelRatio())
        field->drawGlyph();
    const QPixmap &glyph = field->glyph();
    const QSize glyphSize = glyph.deviceIndependentSize().toSize();
    QStylePainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    // Centred, and nudged down-right while pressed like any glyph button.
    const int shift = isDown() ? 1 : 0;
    painter.drawPixmap((width() - glyphSize.width()) / 2 + shift, (height() - glyphSize.height()) / 2 + shift, glyph);
}

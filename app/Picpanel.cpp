#include "Picpanel.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>
#include <cmath>

#include "ui_Picpanel.h"

void initQuillonPictures()
{
    // Qt keeps one registration per resource, however often this runs.
    Q_INIT_RESOURCE(quillon);
}

namespace {

// The classic fixed colours, not the style's: the panels keep their look
// whatever the desktop theme.
const QColor kLine(0, 0, 0);
const QColor kHighlight(255, 255, 255);
const QColor kShadow(128, 128, 128);

// `width` nested one-pixel frames just inside `r`. The right and bottom edges
// are drawn last, so the top-right and bottom-left corners take
// `bottomRight`, as a bevel's corners do. Returns what is left inside.
QRect frame3D(QPainter &painter, QRect r, const QColor &topLeft, const QColor &bottomRight, int width)
{
    for (int i = 0; i < width && r.width() > 0 && r.height() > 0; ++i) {
        painter.fillRect(r.left(), r.top(), r.width(), 1, topLeft);
        painter.fillRect(r.left(), r.top(), 1, r.height(), topLeft);
        painter.fillRect(r.left(), r.bottom(), r.width(), 1, bottomRight);
        painter.fillRect(r.right(), r.top(), 1, r.height(), bottomRight);
        r.adjust(1, 1, -1, -1);
    }
    return r;
}

// Relative luminance and contrast ratio as the web's accessibility guidelines
// define them; 4.5:1 is the least at which ordinary text reads.
double luminance(const QColor &colour)
{
    auto linear = [](float v) { return v <= 0.03928f ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    // minmax of two values returns references, here to temporaries; the
    // list form returns the values.
    const auto [dark, light] = std::minmax({luminance(a), luminance(b)});
    return (light + 0.05) / (dark + 0.05);
}

const double kReadableContrast = 4.5;
// The light grey of the toolkit's own palette, the window colour the
// layout's fixed colours were chosen on.
const QColor kLightGround(239, 239, 239);

// Paints the light ground under a label's text before the label paints,
// when the window's colour would leave the text unreadable.
class FixedInkGround : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            auto *label = static_cast<QWidget *>(watched);
            const QPalette &palette = label->palette();
            if (contrast(palette.color(label->foregroundRole()), palette.color(label->backgroundRole()))
                < kReadableContrast) {
                QPainter painter(label);
                painter.fillRect(label->rect(), kLightGround);
            }
        }
        return false;
    }
};

// The main window and the splash are plain widgets, not QMainWindow, and Qt
// gives a plain widget the client role even when it is a window: a screen
// reader then announces the main window as a "filler" panel. Every ordinary
// window of ours made straight from QWidget takes the window role instead;
// dialogs, menus and popups keep the roles Qt gives them.
QAccessibleInterface *windowRole(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget || widget->windowType() != Qt::Window
        || widget->metaObject()->superClass() != &QWidget::staticMetaObject
        || className != QLatin1String(widget->metaObject()->className()))
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}

void installWindowRole()
{
    QAccessible::installFactory(windowRole);
}

} // namespace

// Before any window is made, whichever program or test makes it.
Q_COREAPP_STARTUP_FUNCTION(installWindowRole)

TBevelPanel::TBevelPanel(QWidget *parent)
    : QFrame(parent)
{
}

void TBevelPanel::setBevelWidth(int width)
{
    m_bevelWidth = std::max(width, 0);
    update();
}

void TBevelPanel::setBorderWidth(int width)
{
    m_borderWidth = std::max(width, 0);
    update();
}

void TBevelPanel::setOutline(bool outline)
{
    m_outline = outline;
    update();
}

void TBevelPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    QRect r = m_outline ? frame3D(painter, rect(), kLine, kLine, 1) : rect();
    r = frame3D(painter, r, kHighlight, kShadow, m_bevelWidth);
    r.adjust(m_borderWidth, m_borderWidth, -m_borderWidth, -m_borderWidth);
    frame3D(painter, r, kShadow, kHighlight, m_bevelWidth);
}

void TGlyphButton::setGlyphMargin(int margin)
{
    m_glyphMargin = margin;
    update();
}

void TGlyphButton::paintEvent(QPaintEvent *event)
{
    if (m_glyphMargin < 0 || icon().isNull()) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    // Pressed, the picture and the caption move down and right together.
    const int shift = isDown() ? 1 : 0;
    const QSize glyph = iconSize();
    // At the screen's own pixel ratio, so a 2x screen gets the 2x drawing.
    const QPixmap pixmap = icon().pixmap(glyph, devicePixelRatio(), isEnabled() ? QIcon::Normal : QIcon::Disabled);
    painter.drawPixmap(m_glyphMargin + shift, (height() - glyph.height()) / 2 + shift, pixmap);
    const QRect captionArea(m_glyphMargin + glyph.width() + shift, shift,
                            width() - m_glyphMargin - glyph.width(), height());
    painter.drawItemText(captionArea, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(), text(),
                         QPalette::ButtonText);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

QScreen *OwnerScreen(const QWidget *window)
{
    const QWidget *owner = window->parentWidget() ? window->parentWidget()->window() : window;
    return owner->screen();
}

void PlaceOnScreen(QWidget *window, const QScreen *screen, QPoint topLeft)
{
    if (screen) {
        // Before the window is first shown its frame counts as nothing.
        const QRect area = screen->availableGeometry();
        const QSize frame = window->frameGeometry().size();
        topLeft.setX(std::max(std::min(topLeft.x(), area.right() + 1 - frame.width()), area.left()));
        topLeft.setY(std::max(std::min(topLeft.y(), area.bottom() + 1 - frame.height()), area.top()));
    }
    window->move(topLeft);
}

void CentreOnScreen(QWidget *window)
{
    const QScreen *screen = OwnerScreen(window);
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    PlaceOnScreen(window, screen, frame.topLeft());
}

void KeepFixedInkReadable(QLabel *label)
{
    label->installEventFilter(new FixedInkGround(label));
}

TPicturePanel::TPicturePanel(QWidget *parent)
    : TBevelPanel(parent)
    , ui(std::make_unique<Ui::TPicturePanel>())
{
    initQuillonPictures();
    ui->setupUi(this);
    // The labels fit their texts, as they did when they were sized by the
    // font. The face standing in for MS Sans Serif differs between systems,
    // so the widths in the form are only a guide.
    // The version and the place of the licence and manual come from the
    // build, so the box, the printed quote and quillon-quote agree.
    ui->Label6->setText(QStringLiteral("Version " QUILLON_VERSION));
    ui->Label7->setText(QStringLiteral("Documentation: " QUILLON_DOCDIR));
    for (QLabel *label : {ui->Label2, ui->Label3, ui->Label4, ui->Label5, ui->Label6, ui->Label7, ui->Label8})
        label->adjustSize();
}

TPicturePanel::~TPicturePanel() = default;

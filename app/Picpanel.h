#pragma once

#include <QFrame>
#include <QPushButton>
#include <memory>

class QLabel;
class QScreen;

namespace Ui {
class TPicturePanel;
}

// The pictures live in quillon.qrc inside a static library, and a linker
// keeps no object file that nothing refers to. Calling this refers to it;
// a second call does nothing. Call it before the first ":/images/..." is
// loaded. The windows of this unit and its neighbours call it themselves.
void initQuillonPictures();

// A panel in the older bevelled look, from the outside in: a one-pixel dark
// line (unless `outline` is off), a raised bevel, `borderWidth` pixels of the panel's own colour and a
// lowered bevel; both bevels are `bevelWidth` pixels wide. Children keep the
// positions they are given; the frame is drawn under them.
class TBevelPanel : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(int bevelWidth READ bevelWidth WRITE setBevelWidth)
    Q_PROPERTY(int borderWidth READ borderWidth WRITE setBorderWidth)
    Q_PROPERTY(bool outline READ outline WRITE setOutline)
public:
    explicit TBevelPanel(QWidget *parent = nullptr);

    int bevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int width);
    int borderWidth() const { return m_borderWidth; }
    void setBorderWidth(int width);
    // The one-pixel dark line around it all; the main window's panels have none.
    bool outline() const { return m_outline; }
    void setOutline(bool outline);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_bevelWidth = 1;
    int m_borderWidth = 0;
    bool m_outline = true;
};

// A button whose glyph can sit a fixed distance from its left edge, with the
// caption centred in the space that is left, as the older glyph buttons drew
// theirs. With a negative margin it is an ordinary button: glyph and caption
// centred together.
class TGlyphButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(int glyphMargin READ glyphMargin WRITE setGlyphMargin)
public:
    using QPushButton::QPushButton;

    int glyphMargin() const { return m_glyphMargin; }
    void setGlyphMargin(int margin);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_glyphMargin = -1;
};

// The screen a window is placed on: its owner's, so that on a second monitor
// a dialog opens beside the main window; a window without an owner, its own.
QScreen *OwnerScreen(const QWidget *window);

// Moves a top-level window's frame to `topLeft`, then pulls it back into the
// screen's available area as far as it fits, the top-left corner last, so
// the title bar stays on the screen however large the window is scaled. A
// window that fits where it is asked to go is not moved.
void PlaceOnScreen(QWidget *window, const QScreen *screen, QPoint topLeft);

// Puts a top-level window in the middle of its owner's screen rather than
// over its owner, as the dialogs laid out "centred on the screen" are.
void CentreOnScreen(QWidget *window);

// For a label whose text colour the layout fixes (the company name's navy):
// on a window background too dark for that colour to read, as a dark desktop
// theme gives, the label paints the light ground the colour was chosen for.
// On a light background it stays as laid out, pixel for pixel.
void KeepFixedInkReadable(QLabel *label);

// The maroon panel with the logo and the project's notice, shared by the
// splash window and the about box. Its controls keep their form names
// (Panel1, Image1, Label2 to Label8), so findChild() reaches them.
class TPicturePanel : public TBevelPanel
{
    Q_OBJECT
public:
    explicit TPicturePanel(QWidget *parent = nullptr);
    ~TPicturePanel() override;

private:
    std::unique_ptr<Ui::TPicturePanel> ui;
};

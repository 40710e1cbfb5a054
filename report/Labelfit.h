#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>

#include "Uprpt.h"

class QTextLayout;

// How a label's text meets its box: the size it prints at, the lines that
// print, and what is cut short. Painting draws exactly these lines, so what
// these functions say is what the page shows.

// The smallest sizes text is drawn at to fit its label. A figure may go
// below the legible floor because a bracketed premium of $1,000,000,000,000.00
// needs 5.55 pt in the premium's 81 units.
inline constexpr qreal kLegiblePointSize = 6;
inline constexpr qreal kFigurePointSize = 5;

// The lines of a label's text that print. A wrapping label: its text wrapped
// at word boundaries within its width, as many lines as fit wholly in its
// height. A label that sizes to its text: its text. Any other label: one
// line, the whole text, or when that is too wide even at the label's floor
// size, as much of it as fits followed by "…".
QStringList PrintedLabelLines(const QuoteItem &item);

// The point size a label's text prints at: its font's, or less, in steps of
// a quarter point, where that is needed to fit the text on one line.
qreal PrintedPointSize(const QuoteItem &item);

// Whether `text` would print whole in the page's label `label` (its name),
// and not cut short with "…". Lets a form warn before the quote is made.
// An unknown label name gives true.
bool QuoteFieldPrintsWhole(const QString &label, const QString &text);

// Text is laid out against a device of its own rather than the painter's,
// so the lines break in the same places on screen, in a PDF and on paper.
// Its resolution is three times 96 dpi because a font's size is rounded to
// whole pixels of the device it is resolved for: at 96 dpi 10 pt would be
// 13 pixels instead of 13.33, 2.5 % too narrow; at 288 dpi every whole point
// size is a whole number of pixels (4 per point).
inline constexpr qreal kLayoutScale = 3; // layout pixels per unit

// A label's text laid out as it prints; the painter draws from it.
struct LabelLayout
{
    QRectF box;     // units; for a label sized to its text, as wide as the text
    int lines = 0;  // how many of the layout's lines print
    bool underline = false;
    qreal pointSize = 0;
    bool whole = true; // every line prints, none is cut short
};

// Lays out the label's text into `layout`, in layout pixels from the top-left
// corner of the label's box (kLayoutScale to the unit), in the font that
// fits it. Its first `lines` lines print; the font carries no underline,
// which the painter draws itself where the result says so.
LabelLayout layoutLabel(QTextLayout &layout, const QuoteItem &item);

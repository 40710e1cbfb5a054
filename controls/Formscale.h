#pragma once

class QWidget;

// The forms place every control at a fixed pixel position, laid out for
// their faces at 96 dpi. A larger font (a higher font dpi without scaling)
// or a wider face standing in for a missing one would overrun those places:
// captions cut, figures losing their leading digits. Such a form is laid
// out larger instead, every place and size in the same proportion, so the
// window keeps its look and every text its room. At the designed size
// nothing moves.

// Lays `form` out larger by as many times as the faces of `form` and its
// controls came out wider than designed, measured on their digits (not at
// all when none is wider): its own size, its size limits
// and every control's place and size. A label sized to its text is sized to
// it again. Call it once, after the form's layout is loaded.
void FitFormToFonts(QWidget *form);

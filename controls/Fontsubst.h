#pragma once

#include <QFont>

// The faces the forms and the quote page name are Windows faces, which a
// system here rarely has. What stands in for each is a face of the same
// widths (metric-compatible), so captions and figures take the room they
// were laid out in: Liberation, which the package depends on, then the same
// designs as Arimo and Tinos, then the URW faces most systems carry for
// PostScript.

// Installs the stand-ins for the whole program, once; later calls do nothing.
// Everything that lays out text in these faces calls it first.
void InstallFontSubstitutions();

// How wide the widest digit of `font` is, in pixels at 96 dpi, in the face
// it names as that face was designed (every stand-in shares it); 0 for a
// face the program does not name.
qreal DesignedDigitWidth(const QFont &font);

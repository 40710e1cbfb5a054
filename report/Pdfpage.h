#pragma once

// quillon-pdfpage WIDTH HEIGHT reads a PDF on standard input and, when it is
// a quote this program could have saved (a PDF that opens without a
// password, of one Letter page), writes that page drawn WIDTH x HEIGHT
// pixels on white paper to standard output: HEIGHT rows of WIDTH 32-bit
// pixels (QImage::Format_RGB32, native byte order), nothing else. Otherwise
// it exits with one of the statuses below.
//
// The preview runs it rather than drawing in its own process: pdfium
// inflates and draws whatever a file holds, and a page that would take
// gigabytes or minutes is stopped here (Openquote.cpp) while the window
// program, with the clerk's work in it, stays up.

// The bounds of drawing one page. A quote this program writes (about 30 kB)
// is drawn within 40 MB in under a tenth of a second, the helper's start
// included; a picture of the page saved by earlier versions (about 5 MB)
// within about 100 MB in half a second, at the print's 300 dpi. Five times
// that memory and twenty times that time is no quote's.
constexpr int kPageDrawMiB = 512;
constexpr int kPageDrawSeconds = 10;

constexpr int kPageNoQuote = 2; // the reason, a sentence, is its output
constexpr int kPageOutOfMemory = 3; // an allocation failed under its address-space cap
constexpr int kPageUsage = 64;

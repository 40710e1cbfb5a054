#pragma once

#include <optional>
#include <vector>

#include <QString>

#include "Uprpt.h"

class QPainter;
class QPagedPaintDevice;

// The one function that paints the quote page, for the screen, the printer
// and PDF alike.

// Paints the whole page onto a painter whose coordinates are 1/96 inch from
// the paper's top-left corner (the caller scales for its device). Disabled
// labels are skipped, and so is any item wholly covered by a later opaque
// item: text hidden under a notice must not survive in a PDF.
// Text is sized in points at 96 units to the inch whatever the painter's
// device is, so it keeps its size and its line breaks on every device.
void PaintQuotePage(QPainter &painter, const QuotePage &page);

// Sets a printer or PDF writer up for the quote page, whatever it held
// before: Letter, portrait, full-page mode with no device margins.
void SetQuotePageLayout(QPagedPaintDevice &device);

// Begins `painter` on a device whose pages are laid out so, scaled from the
// device's resolution to the page's 1/96 inch. False when the device could
// not be drawn on.
bool BeginQuotePainting(QPainter &painter, QPagedPaintDevice &device);

// Paints the page onto a printer or PDF writer as one page, set up here
// (SetQuotePageLayout) and painted through BeginQuotePainting. False when
// the device could not be drawn on or its page not finished.
bool PaintQuotePage(QPagedPaintDevice &device, const QuotePage &page);

// As PaintQuotePage on a paged device, giving the reason drawing failed in
// words that can be shown as they are, or nothing when it did not.
std::optional<QString> paintOnPagedDevice(QPagedPaintDevice &device, const QuotePage &page);

// The items of one band that print, in drawing order: enabled, and not
// wholly inside a later opaque item (an enabled label that is not
// transparent, or a filled rectangle).
std::vector<const QuoteItem *> PrintedQuoteItems(const QuotePage &page, QuoteBand band);

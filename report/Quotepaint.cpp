#include "Quotepaint.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "Labelfit.h"

namespace {

bool hidesWhatIsUnder(const QuoteItem &item)
{
    if (item.kind == QuoteItemKind::Label)
        return item.enabled && !item.transparent;
    return item.kind == QuoteItemKind::Rectangle && item.filled;
}

void paintLabel(QPainter &painter, const QuoteItem &item)
{
    QTextLayout layout;
    const LabelLayout laid = layoutLabel(layout, item);
    if (!item.transparent)
        painter.fillRect(laid.box, Qt::white);
    painter.save();
    // A single word wider than a wrapping label would otherwise spill over
    // its neighbour. Nothing else is clipped: a one-line label's text has
    // been fitted to its width, and a clip would only hide a fault while the
    // PDF's text layer still carried the hidden characters.
    if (item.fit == QuoteTextFit::Wrap && !item.sizesToText)
        painter.setClipRect(laid.box, Qt::IntersectClip);
    painter.setPen(Qt::black);
    painter.translate(laid.box.topLeft());
    painter.scale(1 / kLayoutScale, 1 / kLayoutScale);
    for (int i = 0; i < laid.lines; ++i)
        layout.lineAt(i).draw(&painter, QPointF());
    if (laid.underline) {
        // The font gives the thickness and where the underline's top edge
        // lies; like a 96 dpi screen, the gap below the baseline is rounded
        // up to a whole unit, so the line clears the text.
        const QFontMetricsF metrics(layout.font());
        const qreal gap = std::ceil(metrics.underlinePos() / kLayoutScale) * kLayoutScale;
        painter.setPen(QPen(Qt::black, metrics.lineWidth(), Qt::SolidLine, Qt::FlatCap));
        for (int i = 0; i < laid.lines; ++i) {
            const QTextLine line = layout.lineAt(i);
            if (line.naturalTextWidth() <= 0)
                continue; // a zero-length line would still leave a dot
            const qreal y = line.y() + line.ascent() + gap + metrics.lineWidth() / 2;
            const qreal x = line.cursorToX(line.textStart()); // after alignment
            painter.drawLine(QPointF(x, y), QPointF(x + line.naturalTextWidth(), y));
        }
    }
    painter.restore();
}

void paintShape(QPainter &painter, const QuoteItem &item)
{
    const QRectF rect(item.rect);
    if (item.kind == QuoteItemKind::HorizontalLine) {
        painter.setPen(QPen(Qt::black, 1, Qt::SolidLine, Qt::FlatCap));
        const qreal y = rect.top() + rect.height() / 2;
        painter.drawLine(QPointF(rect.left(), y), QPointF(rect.right(), y));
        return;
    }
    if (item.filled)
        painter.fillRect(rect, Qt::white);
    // The outline stays inside the rectangle, as a filled neighbour drawn
    // later can then cover it exactly.
    const qreal inset = item.penWidth / 2.0;
    painter.setPen(QPen(Qt::black, item.penWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(inset, inset, -inset, -inset));
}

} // namespace

std::vector<const QuoteItem *> PrintedQuoteItems(const QuotePage &page, QuoteBand band)
{
    std::vector<const QuoteItem *> inBand;
    for (const QuoteItem &item : page.items()) {
        if (item.band == band)
            inBand.push_back(&item);
    }
    std::stable_sort(inBand.begin(), inBand.end(),
                     [](const QuoteItem *a, const QuoteItem *b) { return a->order < b->order; });
    std::vector<const QuoteItem *> printed;
    for (auto it = inBand.begin(); it != inBand.end(); ++it) {
        const QuoteItem &item = **it;
        if (!item.enabled)
            continue;
        const bool covered = std::any_of(it + 1, inBand.end(), [&](const QuoteItem *later) {
            return hidesWhatIsUnder(*later) && later->rect.contains(item.rect);
        });
        if (!covered)
            printed.push_back(&item);
    }
    return printed;
}

void PaintQuotePage(QPainter &painter, const QuotePage &page)
{
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (const QuoteBand band : {QuoteBand::Header, QuoteBand::Footer}) {
        painter.save();
        painter.translate(QuoteBandOrigin(band));
        for (const QuoteItem *item : PrintedQuoteItems(page, band)) {
            if (item->kind == QuoteItemKind::Label)
                paintLabel(painter, *item);
            else
                paintShape(painter, *item);
        }
        painter.restore();
    }
    painter.restore();
}

void SetQuotePageLayout(QPagedPaintDevice &device)
{
    // Full-page mode: the page's own half-inch margins are part of the
    // drawing, so the device must not add a second set, whatever a printer
    // reports as its unprintable edge.
    QPageLayout layout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF());
    layout.setMode(QPageLayout::FullPageMode);
    device.setPageLayout(layout);
}

bool BeginQuotePainting(QPainter &painter, QPagedPaintDevice &device)
{
    if (!painter.begin(&device))
        return false;
    painter.scale(device.logicalDpiX() / 96.0, device.logicalDpiY() / 96.0);
    return true;
}

std::optional<QString> paintOnPagedDevice(QPagedPaintDevice &device, const QuotePage &page)
{
    SetQuotePageLayout(device);
    QPainter painter;
    if (!BeginQuotePainting(painter, device))
        return QStringLiteral("The page could not be started");
    PaintQuotePage(painter, page);
    if (!painter.end())
        return QStringLiteral("The page could not be finished");
    return std::nullopt;
}

bool PaintQuotePage(QPagedPaintDevice &device, const QuotePage &page)
{
    return !paintOnPagedDevice(device, page);
}

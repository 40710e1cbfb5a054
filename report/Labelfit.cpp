#include "Labelfit.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>

#include "Fontsubst.h"

namespace {

// Every label's text is laid out against this one device, whatever it is
// painted on (kLayoutScale says why).
const QPaintDevice *layoutDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = qRound(96 * kLayoutScale / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

// The font a label's text is laid out in, at a given size.
QFont layoutFont(const QFont &design, qreal pointSize)
{
    QFont font = design;
    // Unhinted metrics are the font's design metrics, identical at every scale.
    font.setHintingPreference(QFont::PreferNoHinting);
    // Qt places an underline by rounding in the font's pixels, which puts
    // it against the baseline once scaled down; paintLabel draws its own.
    font.setUnderline(false);
    font.setPointSizeF(pointSize);
    return QFont(font, layoutDevice());
}

// Layout pixels; a text with no line breaks.
qreal oneLineWidth(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    qreal width = 0;
    if (line.isValid()) {
        line.setLineWidth(1e7); // lays the line out
        width = line.naturalTextWidth();
    }
    layout.endLayout();
    return width;
}

struct OneLineFit
{
    QString text;
    qreal pointSize = 0;
    bool whole = true;
};

// A quarter point is one pixel of type size on the layout device, the
// finest step a font there can take.
constexpr int kStepsPerPoint = 4;

OneLineFit fitOneLine(const QuoteItem &item)
{
    const qreal width = item.rect.width() * kLayoutScale;
    const qreal floorSize = item.fit == QuoteTextFit::Figure ? kFigurePointSize : kLegiblePointSize;
    const int floorSteps = qRound(std::min(floorSize, item.font.pointSizeF()) * kStepsPerPoint);
    int steps = qRound(item.font.pointSizeF() * kStepsPerPoint);
    const auto fontAt = [&](int at) { return layoutFont(item.font, qreal(at) / kStepsPerPoint); };
    // Width falls with size, so the first size that fits is the largest.
    for (; steps >= floorSteps; --steps) {
        if (oneLineWidth(item.text, fontAt(steps)) <= width)
            return {item.text, qreal(steps) / kStepsPerPoint, true};
    }
    // Too wide even at the floor: as much as fits, visibly cut short. The
    // metrics' own guess at what fits is checked against the layout, which
    // may kern the last pair differently.
    const QFont font = fontAt(floorSteps);
    const QFontMetricsF metrics(font, layoutDevice());
    QString cut;
    for (qreal room = width; room > 0; room -= kLayoutScale) {
        cut = metrics.elidedText(item.text, Qt::ElideRight, room);
        if (oneLineWidth(cut, font) <= width)
            break;
    }
    return {cut, qreal(floorSteps) / kStepsPerPoint, false};
}

} // namespace

LabelLayout layoutLabel(QTextLayout &layout, const QuoteItem &item)
{
    // The command-line tool lays out pages without the window program's
    // start-up; without the stand-ins Arial would fall back to a face of
    // other widths and the wrapping would differ from the window's.
    InstallFontSubstitutions();
    const qreal designSize = item.font.pointSizeF();
    const bool wraps = item.fit == QuoteTextFit::Wrap && !item.sizesToText;
    LabelLayout result{QRectF(item.rect), 0, item.font.underline(), designSize, true};
    QString text = item.text;
    if (!wraps && !item.sizesToText) {
        const OneLineFit fit = fitOneLine(item);
        text = fit.text;
        result.pointSize = fit.pointSize;
        result.whole = fit.whole;
    }
    layout.setText(text);
    layout.setFont(layoutFont(item.font, result.pointSize));
    QTextOption option(item.alignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(wraps ? QTextOption::WordWrap : QTextOption::NoWrap);
    layout.setTextOption(option);

    // Text drawn smaller keeps the baseline of its design size, in line
    // with the captions and figures beside it.
    const qreal drop = QFontMetricsF(layoutFont(item.font, designSize), layoutDevice()).ascent() -
                       QFontMetricsF(layout.font(), layoutDevice()).ascent();
    const qreal width = item.rect.width() * kLayoutScale;
    const qreal height = item.rect.height() * kLayoutScale;
    qreal bottom = drop;
    layout.beginLayout();
    // Lines that would cross the bottom edge are never printed (the label
    // does not grow), so layout stops at the first of them.
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(item.sizesToText ? 1e7 : width);
        line.setPosition(QPointF(0, bottom));
        bottom += line.height();
        if (bottom > height) {
            result.whole = false;
            break;
        }
        ++result.lines;
        if (item.sizesToText)
            result.box.setWidth(std::ceil(line.naturalTextWidth() / kLayoutScale));
    }
    layout.endLayout();
    return result;
}

QStringList PrintedLabelLines(const QuoteItem &item)
{
    QTextLayout layout;
    const LabelLayout laid = layoutLabel(layout, item);
    QStringList lines;
    for (int i = 0; i < laid.lines; ++i) {
        const QTextLine line = layout.lineAt(i);
        QString text = layout.text().mid(line.textStart(), line.textLength());
        // The space a line broke at belongs to it but prints as nothing.
        while (text.endsWith(u' '))
            text.chop(1);
        lines << text;
    }
    return lines;
}

qreal PrintedPointSize(const QuoteItem &item)
{
    QTextLayout layout;
    return layoutLabel(layout, item).pointSize;
}

bool QuoteFieldPrintsWhole(const QString &label, const QString &text)
{
    const QuotePage page;
    const QuoteItem *found = page.item(label);
    if (!found)
        return true;
    QuoteItem item = *found;
    item.text = text;
    QTextLayout layout;
    return layoutLabel(layout, item).whole;
}

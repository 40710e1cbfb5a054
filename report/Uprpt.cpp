#include "Uprpt.h"

#include "Messages.h"
#include "Quote.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "Filewrite.h"

TFQReport *FQReport = nullptr;

namespace {

enum class Face { Plain, Bold, Underlined, FigureField, Title, Heading, Disclaimer, Small, CompanyName };

QFont fontOf(Face face)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(10);
    switch (face) {
    case Face::Plain: break;
    case Face::Bold: font.setBold(true); break;
    case Face::Underlined: font.setUnderline(true); break;
    case Face::FigureField:
        font.setBold(true);
        font.setUnderline(true);
        break;
    case Face::Title:
        font.setPointSizeF(14);
        font.setBold(true);
        break;
    case Face::Heading:
        font.setPointSizeF(12);
        font.setBold(true);
        font.setItalic(true);
        break;
    case Face::Disclaimer:
        font.setBold(true);
        font.setItalic(true);
        break;
    case Face::Small: font.setPointSizeF(8); break;
    case Face::CompanyName:
        font = QFont(QStringLiteral("Times New Roman"));
        font.setPointSizeF(12);
        font.setBold(true);
        font.setUnderline(true);
        break;
    }
    return font;
}

enum Flag : unsigned {
    NoFlags = 0,
    Transparent = 1,
    Filled = 2,
    Pen2 = 4,
    Disabled = 8,
    SizesToText = 16,
    Wraps = 32,
    Figure = 64, // amounts, rates, the day count, the premium and the dates
};

struct Row
{
    int order;
    const char *name;
    QuoteItemKind kind;
    int left, top, width, height;
    const char *text; // nullptr: the label's own name is its placeholder
    Face face;
    Qt::Alignment alignment;
    unsigned flags;
};

constexpr auto L = QuoteItemKind::Label;
constexpr auto R = QuoteItemKind::Rectangle;
constexpr auto H = QuoteItemKind::HorizontalLine;
constexpr Qt::Alignment kLeft = Qt::AlignLeft;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight;

const char kNotApplicable[] = "This Section not applicable for Additional Premiums";
const char kShortRated[] = " Short Rated Premiums  ";
const char kProRated[] = " Pro-Rated Premiums  ";

// QRBand1, in the order of the layout tables rather than of drawing.
const Row kHeaderRows[] = {
    // Letterhead
    {2, "QRShape2", R, 16, 8, 681, 113, "", Face::Plain, kLeft, Pen2},
    {3, "CoName", L, 24, 16, 665, 20, nullptr, Face::CompanyName, kCentre, NoFlags},
    {4, "CoAdd1", L, 24, 48, 665, 17, nullptr, Face::Plain, kCentre, NoFlags},
    {5, "CoAdd2", L, 24, 64, 665, 17, nullptr, Face::Plain, kCentre, NoFlags},
    {6, "CoCity", L, 24, 80, 665, 17, nullptr, Face::Plain, kCentre, NoFlags},
    {7, "QRLabel1", L, 120, 96, 50, 17, "Phone:  ", Face::Plain, kLeft, SizesToText},
    {8, "CoPhone", L, 176, 96, 177, 17, nullptr, Face::Plain, kLeft, NoFlags},
    {10, "QRLabel2", L, 408, 96, 31, 17, "Fax: ", Face::Plain, kLeft, SizesToText},
    {9, "CoFax", L, 440, 96, 177, 17, nullptr, Face::Plain, kLeft, NoFlags},
    // Policy details
    {20, "QRLabel11", L, 16, 144, 105, 17, "Policy Number", Face::Bold, kLeft, NoFlags},
    {11, "PolicyNum", L, 128, 144, 305, 17, nullptr, Face::Underlined, kLeft, Transparent},
    {21, "QRLabel20", L, 456, 144, 153, 17, "Premium", Face::Bold, kRight, NoFlags},
    {22, "PolicyPremium", L, 616, 144, 81, 17, nullptr, Face::Underlined, kRight, Figure},
    {12, "QRLabel10", L, 16, 168, 105, 17, "Client:  ", Face::Bold, kLeft, NoFlags},
    {13, "Client", L, 128, 168, 353, 17, nullptr, Face::Underlined, kLeft, Transparent},
    {23, "QRShape3", R, 488, 168, 209, 57, "", Face::Plain, kLeft, NoFlags},
    {24, "QRLabel44", L, 496, 176, 193, 25, "REFUND", Face::Title, kCentre, Transparent},
    {14, "QRLabel12", L, 16, 192, 105, 17, "Policy Type: ", Face::Bold, kLeft, NoFlags},
    {15, "PolicyType", L, 128, 192, 353, 17, nullptr, Face::Underlined, kLeft, Transparent},
    {25, "QRLabel45", L, 496, 200, 193, 23, "QUOTATION", Face::Title, kCentre, Transparent},
    {16, "QRLabel38", L, 16, 232, 169, 17, "Policy Start Date:", Face::Bold, kRight, NoFlags},
    {17, "PolicyStart", L, 192, 232, 73, 17, "12/12/2000", Face::Underlined, kRight, Transparent | Figure},
    {18, "QRLabel39", L, 272, 232, 153, 17, "Policy End Date:", Face::Bold, kRight, NoFlags},
    {19, "PolicyEnd", L, 432, 232, 73, 17, "12/12/2000", Face::Underlined, kRight, Transparent | Figure},
    {26, "QRLabel37", L, 528, 232, 96, 17, "Days Coverage", Face::Bold, kLeft, SizesToText},
    {27, "PolicyDays", L, 632, 232, 65, 17, nullptr, Face::Underlined, kLeft, Transparent | Figure},
    // 12-month block
    {28, "QRShape1", R, 16, 257, 681, 32, "", Face::Plain, kLeft, Filled},
    {29, "QRLabel3", L, 24, 264, 665, 19, "12 MONTH POLICIES", Face::Heading, kCentre, Transparent},
    {30, "QRShape5", R, 16, 288, 681, 225, "", Face::Plain, kLeft, NoFlags},
    {81, "QRShape10", R, 16, 288, 185, 30, "", Face::Plain, kLeft, Filled},
    {82, "QRLabel4", L, 24, 296, 169, 17, kShortRated, Face::Bold, kLeft, NoFlags},
    {80, "QRNA1", L, 200, 325, 473, 65, kNotApplicable, Face::Plain, kCentre, Disabled | Wraps},
    {83, "QRShape11", H, 16, 405, 681, 1, "", Face::Plain, kLeft, NoFlags},
    {84, "QRShape12", R, 16, 405, 177, 30, "", Face::Plain, kLeft, Filled},
    {85, "QRLabel5", L, 24, 412, 145, 17, kProRated, Face::Bold, kLeft, NoFlags},
    // 6-month block
    {51, "QRShape8", R, 16, 545, 681, 32, "", Face::Plain, kLeft, Filled},
    {52, "QRLabel47", L, 24, 552, 665, 19, "6 MONTH POLICIES", Face::Heading, kCentre, Transparent},
    {1, "QRShape6", R, 16, 576, 681, 204, "", Face::Plain, kLeft, Filled},
    {74, "QRShape4", R, 16, 576, 177, 30, "", Face::Plain, kLeft, Filled},
    {75, "QRLabel18", L, 24, 581, 161, 17, kShortRated, Face::Bold, kLeft, NoFlags},
    {79, "QRNA2", L, 200, 605, 473, 65, kNotApplicable, Face::Plain, kCentre, Disabled | Wraps},
    {76, "QRShape7", H, 16, 677, 681, 1, "", Face::Plain, kLeft, NoFlags},
    {77, "QRShape9", R, 16, 677, 177, 30, "", Face::Plain, kLeft, Filled},
    {78, "QRLabel24", L, 24, 685, 161, 17, kProRated, Face::Bold, kLeft, NoFlags},
    // Disclaimer
    {53, "QRLabel46", L, 32, 816, 665, 17,
     "ACTUAL PREMIUM OR REFUND AMOUNT FROM INSURER MAY DIFFER FROM QUOTED AMOUNT", Face::Disclaimer, kCentre,
     NoFlags},
};

// QRBand3.
const Row kFooterRows[] = {
    {1, "QRLabel40", L, 24, 33, 673, 15, "Quillon Premium Refund Calculator", Face::Small, kCentre, NoFlags},
    {2, "QRLabel42", L, 24, 51, 673, 15,
     "Free software released under the MIT License - Copyright (c) 2026 The Quillon developers", Face::Small,
     kCentre, NoFlags},
    // Only what is true wherever the program runs: its version, and where
    // its licence and manual are installed.
    {3, "QRLabel43", L, 24, 67, 673, 15, "Quillon " QUILLON_VERSION " - licence and manual: " QUILLON_DOCDIR,
     Face::Small, kCentre, NoFlags},
};

// One row of figures: caption, "Rate", rate, "Amount", amount. The numbers
// are the drawing order of each of the five.
struct ResultRow
{
    int top;
    int captionWidth;
    const char *caption; // nullptr: the label's own name
    struct Cell
    {
        int order;
        const char *name;
    } cells[5];
};

const ResultRow kResultRows[] = {
    {328, 57, "Refund", {{31, "QRLabel8"}, {32, "QRLabel6"}, {33, "Sr12urate"}, {34, "QRLabel7"}, {35, "sr12unearn"}}},
    {368, 57, "Used", {{36, "QRLabel9"}, {37, "QRLabel30"}, {38, "sr12erate"}, {39, "QRLabel21"}, {40, "sr12earn"}}},
    {440, 57, nullptr, {{41, "QRLabel15"}, {42, "QRLabel13"}, {43, "pr12urate"}, {44, "QRLabel14"}, {45, "pr12unearn"}}},
    {480, 57, "Used", {{46, "QRLabel16"}, {47, "QRLabel32"}, {48, "pr12erate"}, {49, "QRLabel31"}, {50, "pr12earn"}}},
    {608, 73, nullptr, {{54, "QRLabel19"}, {55, "QRLabel22"}, {56, "sr6urate"}, {57, "QRLabel23"}, {58, "sr6unearn"}}},
    {648, 73, "Used", {{63, "QRLabel26"}, {62, "QRLabel33"}, {61, "sr6erate"}, {60, "QRLabel34"}, {59, "sr6earn"}}},
    {720, 73, nullptr, {{64, "QRLabel28"}, {65, "QRLabel25"}, {66, "pr6urate"}, {67, "QRLabel27"}, {68, "pr6unearn"}}},
    {752, 73, "Used", {{73, "QRLabel29"}, {72, "QRLabel35"}, {71, "pr6erate"}, {70, "QRLabel36"}, {69, "pr6earn"}}},
};

QuoteItem itemOf(const Row &row, QuoteBand band)
{
    QuoteItem item;
    item.name = QString::fromLatin1(row.name);
    item.kind = row.kind;
    item.band = band;
    item.order = row.order;
    item.rect = QRect(row.left, row.top, row.width, row.height);
    item.text = row.text ? QString::fromLatin1(row.text) : item.name;
    item.font = fontOf(row.face);
    item.alignment = row.alignment;
    item.transparent = row.flags & Transparent;
    item.filled = row.flags & Filled;
    item.penWidth = row.flags & Pen2 ? 2 : 1;
    item.enabled = !(row.flags & Disabled);
    item.sizesToText = row.flags & SizesToText;
    item.fit = row.flags & Wraps ? QuoteTextFit::Wrap
             : row.flags & Figure ? QuoteTextFit::Figure
                                  : QuoteTextFit::OneLine;
    return item;
}

void appendResultRows(std::vector<QuoteItem> &items)
{
    struct Column
    {
        int left;
        int width;
        const char *text; // nullptr: a figure field
    };
    for (const ResultRow &row : kResultRows) {
        const Column columns[5] = {{200, row.captionWidth, row.caption ? row.caption : ""},
                                   {320, 49, "Rate"},
                                   {392, 73, nullptr},
                                   {512, 65, "Amount"},
                                   {584, 89, nullptr}};
        for (int c = 0; c < 5; ++c) {
            const bool figure = columns[c].text == nullptr;
            const bool ownName = c == 0 && row.caption == nullptr;
            const Row cell{row.cells[c].order, row.cells[c].name, L, columns[c].left, row.top, columns[c].width, 17,
                           figure || ownName ? nullptr : columns[c].text, figure ? Face::FigureField : Face::Plain,
                           figure ? kRight : kLeft, figure ? Figure : NoFlags};
            items.push_back(itemOf(cell, QuoteBand::Header));
        }
    }
}

} // namespace

QuotePage::QuotePage()
{
    for (const Row &row : kHeaderRows)
        m_items.push_back(itemOf(row, QuoteBand::Header));
    appendResultRows(m_items);
    for (const Row &row : kFooterRows)
        m_items.push_back(itemOf(row, QuoteBand::Footer));
    // Painting walks the list once: header before footer, each in drawing order.
    std::sort(m_items.begin(), m_items.end(), [](const QuoteItem &a, const QuoteItem &b) {
        return std::pair(a.band, a.order) < std::pair(b.band, b.order);
    });
}

const QuoteItem *QuotePage::item(const QString &name) const
{
    const auto it = std::find_if(m_items.begin(), m_items.end(), [&](const QuoteItem &i) { return i.name == name; });
    return it == m_items.end() ? nullptr : &*it;
}

QuoteItem *QuotePage::find(const QString &name)
{
    return const_cast<QuoteItem *>(std::as_const(*this).item(name));
}

QString QuotePage::text(const QString &name) const
{
    const QuoteItem *found = item(name);
    return found ? found->text : QString();
}

void QuotePage::setText(const QString &name, const QString &text)
{
    QuoteItem *found = find(name);
    Q_ASSERT_X(found, "QuotePage::setText", qPrintable(name));
    if (found)
        found->text = text;
}

void QuotePage::setEnabled(const QString &name, bool enabled)
{
    QuoteItem *found = find(name);
    Q_ASSERT_X(found, "QuotePage::setEnabled", qPrintable(name));
    if (found)
        found->enabled = enabled;
}

QPoint QuoteBandOrigin(QuoteBand band)
{
    // The footer band sits on the bottom margin, not under the header band.
    return band == QuoteBand::Header ? QPoint(kMargin, kMargin)
                                     : QPoint(kMargin, kPageHeight - kMargin - kFooterHeight);
}

namespace {

bool hidesWhatIsUnder(const QuoteItem &item)
{
    if (item.kind == QuoteItemKind::Label)
        return item.enabled && !item.transparent;
    return item.kind == QuoteItemKind::Rectangle && item.filled;
}

void installFontSubstitutions()
{
    // The window program installs these too; the command-line tool has only
    // this path, and without them Arial would fall back to a face of other
    // widths and the wrapping would differ from the window program's.
    static const bool installed = [] {
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
        return true;
    }();
    Q_UNUSED(installed);
}

// Text is laid out against a device of its own rather than the painter's,
// so the lines break in the same places on screen, in a PDF and on paper.
// Its resolution is three times 96 dpi because a font's size is rounded to
// whole pixels of the device it is resolved for: at 96 dpi 10 pt would be
// 13 pixels instead of 13.33, 2.5 % too narrow; at 288 dpi every whole point
// size is a whole number of pixels (4 per point).
constexpr qreal kLayoutScale = 3; // layout pixels per unit

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

struct LabelLayout
{
    QRectF box;     // units; for a label sized to its text, as wide as the text
    int lines = 0;  // how many of the layout's lines print
    bool underline = false;
    qreal pointSize = 0;
    bool whole = true; // every line prints, none is cut short
};

LabelLayout layoutLabel(QTextLayout &layout, const QuoteItem &item)
{
    installFontSubstitutions();
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

namespace {

// The reason drawing failed, or nothing.
std::optional<QString> paintOnPagedDevice(QPagedPaintDevice &device, const QuotePage &page)
{
    // Full-page mode: the page's own half-inch margins are part of the
    // drawing, so the device must not add a second set, whatever a printer
    // reports as its unprintable edge.
    QPageLayout layout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF());
    layout.setMode(QPageLayout::FullPageMode);
    device.setPageLayout(layout);
    QPainter painter;
    if (!painter.begin(&device))
        return QStringLiteral("The page could not be started");
    painter.scale(device.logicalDpiX() / 96.0, device.logicalDpiY() / 96.0);
    PaintQuotePage(painter, page);
    if (!painter.end())
        return QStringLiteral("The page could not be finished");
    return std::nullopt;
}

QString reasonText(const std::string &reason)
{
    return QString::fromLocal8Bit(reason.data(), qsizetype(reason.size()));
}

// QPdfWriter ignores a failed write and carries on; through this device the
// failure stays with the file, whose commit then fails with its reason.
class ReplacementDevice : public QIODevice
{
public:
    explicit ReplacementDevice(quillon::ReplacementFile &file)
        : m_file(file)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (m_file.write(data, std::size_t(size)))
            return size;
        // Closed, so that the writer's later writes fail at once and its
        // caller can tell from isOpen() that the file is lost.
        setErrorString(reasonText(m_file.error()));
        setOpenMode(QIODevice::NotOpen);
        return -1;
    }

private:
    quillon::ReplacementFile &m_file;
};

} // namespace

bool PaintQuotePage(QPagedPaintDevice &device, const QuotePage &page)
{
    return !paintOnPagedDevice(device, page);
}

std::filesystem::path QuoteFilePath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

FileWriteResult WriteQuoteFile(const std::filesystem::path &path, const QByteArray &bytes)
{
    const std::optional<std::string> problem =
        quillon::ReplaceFileContents(path, std::string_view(bytes.constData(), std::size_t(bytes.size())));
    return problem ? FileWriteResult{reasonText(*problem)} : FileWriteResult{};
}

FileWriteResult WriteQuoteFileThrough(const std::filesystem::path &path,
                                      const std::function<std::optional<QString>(QIODevice &)> &body,
                                      const quillon::WriteOptions &options)
{
    quillon::ReplacementFile file(path, options);
    if (file.failed())
        return {reasonText(file.error())};
    ReplacementDevice device(file);
    if (const std::optional<QString> problem = body(device)) {
        // A failed write is the cause of whatever went wrong after it.
        if (file.failed())
            return {reasonText(file.error())};
        file.abandon(problem->toStdString());
        return {*problem};
    }
    if (!file.commit())
        return {reasonText(file.error())};
    return {};
}

FileWriteResult WriteQuotePdf(const std::filesystem::path &path, const QuotePage &page)
{
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(1200);
        writer.setCreator(QStringLiteral("Quillon"));
        writer.setTitle(QStringLiteral("Quotation"));
        if (const std::optional<QString> problem = paintOnPagedDevice(writer, page))
            return {*problem};
    }
    return WriteQuoteFile(path, pdf);
}

namespace {

struct CompanyCopy
{
    const char *label;
    QString CompanyDetails::*source;
};

const CompanyCopy kCompanyCopies[] = {
    {"CoName", &CompanyDetails::Co},       {"CoAdd1", &CompanyDetails::Add1},
    {"CoAdd2", &CompanyDetails::Add2},     {"CoCity", &CompanyDetails::CityLine},
    {"CoPhone", &CompanyDetails::Phone},   {"CoFax", &CompanyDetails::Fax},
};

struct TextCopy
{
    const char *label;
    QString QuoteTexts::*source;
};

const TextCopy kTextCopies[] = {
    {"PolicyNum", &QuoteTexts::policyNumber},
    {"Client", &QuoteTexts::client},
    {"PolicyType", &QuoteTexts::policyType},
    {"PolicyDays", &QuoteTexts::days},
    {"PolicyStart", &QuoteTexts::start},
    {"PolicyEnd", &QuoteTexts::end},
    {"PolicyPremium", &QuoteTexts::premium},
};

// The page's labels keep their own spelling (Sr12urate, sr6earn), which
// differs from the window's fields in case only.
QString figureLabel(const QuotePage &page, std::string_view field)
{
    const QString name = QString::fromLatin1(field.data(), qsizetype(field.size()));
    for (const QuoteItem &item : page.items())
        if (item.name.compare(name, Qt::CaseInsensitive) == 0)
            return item.name;
    return name;
}

std::size_t figureIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kQuoteFigures.size(); ++i)
        if (kQuoteFigures[i].name == name)
            return i;
    throw std::out_of_range("No quote figure is called " + std::string(name));
}

} // namespace

void FillQuotePage(QuotePage &page, const QuoteTexts &texts)
{
    const Messages::QuotationCaptions &captions = Messages::CaptionsFor(texts.additionalPremium);
    page.setText(QStringLiteral("QRLabel44"), QString::fromLatin1(captions.title));
    page.setText(QStringLiteral("QRLabel8"), QString::fromLatin1(captions.unearned));
    page.setText(QStringLiteral("QRLabel20"), QString::fromLatin1(captions.premium));
    page.setText(QStringLiteral("QRLabel38"), QString::fromLatin1(captions.start));
    page.setText(QStringLiteral("QRLabel39"), QString::fromLatin1(captions.end));
    // The other unearned rows read their caption back from the first one.
    const QString unearned = page.text(QStringLiteral("QRLabel8"));
    for (const char *name : {"QRLabel15", "QRLabel19", "QRLabel28"})
        page.setText(QString::fromLatin1(name), unearned);

    // Short-rated figures are copied in both modes; in an additional-premium
    // quote the notices keep them off the page.
    page.setEnabled(QStringLiteral("QRNA1"), texts.additionalPremium);
    page.setEnabled(QStringLiteral("QRNA2"), texts.additionalPremium);

    for (const CompanyCopy &copy : kCompanyCopies)
        page.setText(QString::fromLatin1(copy.label), texts.company.*copy.source);
    for (const TextCopy &copy : kTextCopies)
        page.setText(QString::fromLatin1(copy.label), texts.*copy.source);
    for (std::size_t i = 0; i < kQuoteFigures.size(); ++i)
        page.setText(figureLabel(page, kQuoteFigures[i].name), texts.figures[i]);
}

QString &QuoteTexts::figure(std::string_view name)
{
    return figures[figureIndex(name)];
}

const QString &QuoteTexts::figure(std::string_view name) const
{
    return figures[figureIndex(name)];
}

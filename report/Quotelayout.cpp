// The quote page as designed: every label and shape of its two bands with
// its place, size, face and placeholder, as tables, and the constructor of
// QuotePage that builds the page from them.

#include "Uprpt.h"

#include <algorithm>
#include <utility>

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
    // The office rules the figures were worked by, between the 6-month block
    // (ending at 780) and the disclaimer; off and empty until a quote under
    // rules of the office's own turns it on.
    {86, "QRRules", L, 32, 788, 665, 17, "", Face::Plain, kCentre, Disabled},
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

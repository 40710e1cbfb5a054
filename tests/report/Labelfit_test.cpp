// One-line labels: text wider than its label is drawn smaller until it fits whole, and only below the floor
// size is it cut short with "…". Sizes worked by hand from Arial's advances (per 1000 em): digits and $ 556,
// comma and full stop 278, brackets and hyphen 333. A text of w em fits a label at s pt when
// w * s <= 0.75 * its width in units.

#include <gtest/gtest.h>

#include "Guiapp.h"
#include "Labelfit.h"
#include "Quote.h"
#include "Quotepaint.h"
#include "Uprpt.h"
#include "../support/Reporttest.h"
#include "../support/Testsupport.h"

using namespace quillon;

namespace {

const QChar kEllipsis(0x2026);

QuoteItem labelWith(const char *name, const QString &text)
{
    const QuotePage page;
    QuoteItem item = *page.item(QString::fromLatin1(name));
    item.text = text;
    return item;
}

struct FitCase
{
    const char *name;
    const char *label;
    QString text;
    qreal size; // expected point size; 0: smaller than the font's, not below the legible floor
    bool whole; // false: cut short with "…"
};

// 28.111 em: 0.75 * 305 / 28.111 = 8.14 pt.
const QString kHyphenatedNumber = QStringLiteral("POL-ABC-DEF-GHI-JKL-MNO-PQR-STU-VWX-YZA-BCD-EFG");
// A 667, B 667, C 722: 62.1 em, past the 38.1 em that 305 units hold at 6 pt.
const QString kOverlongNumber = QStringLiteral("ABC-").repeated(26);
const QString kWords =
    QStringLiteral("Alpha Bravo Charlie Delta Echo Foxtrot Golf Hotel India Juliett Kilo Lima Mike November Oscar");

const FitCase kFitCases[] = {
    {"short number keeps its size", "PolicyNum", "PN-4711", 10, true},
    {"hyphenated number shrinks whole, not broken at a hyphen", "PolicyNum", kHyphenatedNumber, 8, true},
    {"number too long at 6 pt is cut short", "PolicyNum", kOverlongNumber, 6, false},
    {"premium of twelve million", "PolicyPremium", "$12,345,678.90", 8.5, true},     // 6.950 em in 81 units: 8.74
    {"premium of 250 million", "PolicyPremium", "$250,000,000.00", 8, true},         // 7.506 em: 8.09
    {"premium of a trillion", "PolicyPremium", "$1,000,000,000,000.00", 5.75, true}, // 10.286 em: 5.91, whole
    {"bracketed premium of a trillion", "PolicyPremium", "($1,000,000,000,000.00)", 5.5, true}, // 10.952 em: 5.55
    {"bracketed trillion amount", "sr12unearn", "($1,000,000,000,000.00)", 6, true}, // bold, 89 units: 6.09
    {"seven-digit negative day count", "PolicyDays", "(2,921,573)", 9.5, true},       // 5.114 em in 65: 9.53
    {"day count of three digits", "PolicyDays", "108", 10, true},
    {"a figure too wide even at 5 pt is cut", "PolicyPremium", "$" + QString(23, u'9'), 5, false}, // 13.3 > 12.15 em
    {"widest date", "PolicyEnd", "12/31/9999", 10, true},                            // 5.004 em in 73 units
    // Arial 10 in 353 units: far too wide, but not at 6 pt. Times New Roman Bold 12 in 665 units holds some
    // 41 em, and 83 em at 6 pt: 120 characters, about 58 em, shrink; 40 x "Harbour " is far past.
    {"client wider than its field", "Client", kWords, 0, true},
    {"long company name shrinks", "CoName",
     QString("Harbour Office and Marine Underwriters of the Maine Seaboard").repeated(2), 0, true},
    {"overlong company name is cut", "CoName", QString("Harbour ").repeated(40).trimmed(), 6, false},
};

// The columns of a 96 dpi rendering of `item` alone that hold ink.
std::pair<int, int> inkColumns(const QuoteItem &item)
{
    QuotePage page;
    for (const QuoteItem &other : page.items())
        if (other.kind == QuoteItemKind::Label)
            page.setText(other.name, QString());
    page.setText(item.name, item.text);
    const QImage image = paintedPage(page);
    const QRect box = item.rect.translated(QuoteBandOrigin(item.band));
    int first = -1, last = -1;
    // Three units wider than the label each side: ink outside it shows, but not the neighbours' lines.
    for (int x = box.left() - 3; x <= box.right() + 3; ++x) {
        for (int y = box.top() + 1; y < box.bottom(); ++y) {
            if (qGray(image.pixel(x, y)) < 160) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

// Painted, the fitted text stays inside its label.
TEST(PrintedLabelLines, FitsOneLineLabelsBySizeAndCutsOnlyBelowTheFloor)
{
    for (const FitCase &c : kFitCases) {
        SCOPED_TRACE(c.name);
        const QuoteItem item = labelWith(c.label, c.text);
        const QRect box = item.rect.translated(QuoteBandOrigin(item.band));
        const auto [first, last] = inkColumns(item);
        ASSERT_GE(first, 0) << "something prints";
        EXPECT_GE(first, box.left());
        EXPECT_LE(last, box.right());
        const QStringList lines = PrintedLabelLines(item);
        ASSERT_EQ(lines.size(), 1);
        if (c.size > 0) {
            EXPECT_EQ(PrintedPointSize(item), c.size);
        } else {
            EXPECT_LT(PrintedPointSize(item), item.font.pointSizeF());
            EXPECT_GE(PrintedPointSize(item), kLegiblePointSize);
        }
        if (c.whole) {
            EXPECT_EQ(lines.front(), c.text);
            continue;
        }
        const QString &cut = lines.front();
        ASSERT_TRUE(cut.endsWith(kEllipsis)) << cut.toStdString();
        EXPECT_GE(cut.size(), 10) << "uses the width it has";
        EXPECT_TRUE(c.text.startsWith(cut.chopped(1))) << cut.toStdString();
    }
}

TEST(PrintedLabelLines, DesignTextsAndOrdinaryQuotesPrintAtTheirOwnSize)
{
    // A shrinking rule that misjudged a fitting text (trailing spaces, say, as in " Short Rated Premiums  ").
    for (const bool additional : {false, true}) {
        QuotePage page;
        QuoteTexts t = distinctTexts(additional);
        for (std::size_t i = 0; i < kQuoteFigures.size(); ++i) {
            const QuoteFigure &f = kQuoteFigures[i];
            t.figures[i] = !f.rate ? "$9,999.99" : f.proRated ? "0.999" : "0.99";
        }
        FillQuotePage(page, t);
        for (const QuoteItem &item : page.items()) {
            if (item.kind != QuoteItemKind::Label)
                continue;
            SCOPED_TRACE(item.name.toStdString());
            EXPECT_EQ(PrintedPointSize(item), item.font.pointSizeF());
            EXPECT_FALSE(PrintedLabelLines(item).join(u' ').contains(kEllipsis));
        }
    }
}

TEST(QuoteFieldPrintsWhole, AgreesWithWhatPrints)
{
    // 62 em overflow even the 353-unit fields (44.1 em at 6 pt); 28.1 em fit them at 9.25 pt.
    const std::tuple<const char *, QString, bool> cases[] = {
        {"PolicyNum", QString(), true}, {"PolicyNum", kHyphenatedNumber, true}, {"PolicyNum", kOverlongNumber, false},
        {"Client", kOverlongNumber, false}, {"PolicyType", kOverlongNumber, false},
        {"Client", kHyphenatedNumber, true}, {"NoSuchLabel", kOverlongNumber, true}};
    for (const auto &[label, text, whole] : cases) {
        SCOPED_TRACE(std::string(label) + " " + text.toStdString());
        EXPECT_EQ(QuoteFieldPrintsWhole(QString::fromLatin1(label), text), whole);
        if (const QuotePage page; page.item(QString::fromLatin1(label))) {
            EXPECT_EQ(PrintedLabelLines(labelWith(label, text)).join(QString()).endsWith(kEllipsis), !whole);
        }
    }
}

TEST(PrintedLabelLines, OnlyTheNoticesWrap)
{
    // Longer than any label's line (35.5 em at 10 pt): a notice (473 units) wraps it at full size.
    const QuotePage page;
    for (const QuoteItem &item : page.items()) {
        if (item.kind != QuoteItemKind::Label)
            continue;
        const bool notice = item.name == "QRNA1" || item.name == "QRNA2";
        EXPECT_EQ(PrintedLabelLines(labelWith(item.name.toLatin1().constData(), kWords)).size(), notice ? 2 : 1)
            << item.name.toStdString();
    }
    EXPECT_EQ(PrintedPointSize(labelWith("QRNA1", kWords)), 10);
}

} // namespace

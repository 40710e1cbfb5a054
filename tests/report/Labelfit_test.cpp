// One-line labels: text wider than its label is drawn smaller until it fits
// whole, and only below the floor size is it cut short with "…". Expected
// sizes are worked by hand from Arial's advance widths (per 1000 em): digits
// and $ 556, comma and full stop 278, brackets 333, hyphen 333; capitals as
// noted. A label's width in points is its width in units times 0.75, so a
// text of w em fits at s pt when w * s <= 0.75 * width.

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "Guiapp.h"
#include "Labelfit.h"
#include "Quote.h"
#include "Quotepaint.h"
#include "Uprpt.h"
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

// 47 characters, 28.111 em: 0.75 * 305 / 28.111 = 8.14 pt.
const QString kHyphenatedNumber = QStringLiteral("POL-ABC-DEF-GHI-JKL-MNO-PQR-STU-VWX-YZA-BCD-EFG");
// 26 x "ABC-" (A 667, B 667, C 722): 62.1 em, past the 38.1 em that 305
// units hold at 6 pt.
const QString kOverlongNumber = QStringLiteral("ABC-").repeated(26);

const FitCase kFitCases[] = {
    {"short number keeps its size", "PolicyNum", QStringLiteral("PN-4711"), 10, true},
    {"hyphenated number shrinks whole, not broken at a hyphen", "PolicyNum", kHyphenatedNumber, 8, true},
    {"number too long at 6 pt is cut short", "PolicyNum", kOverlongNumber, 6, false},
    // 6.950 em in 81 units: 8.74 pt.
    {"premium of twelve million", "PolicyPremium", QStringLiteral("$12,345,678.90"), 8.5, true},
    // 7.506 em: 8.09 pt.
    {"premium of 250 million", "PolicyPremium", QStringLiteral("$250,000,000.00"), 8, true},
    // 10.286 em: 5.91 pt, below the legible floor but whole.
    {"premium of a trillion", "PolicyPremium", QStringLiteral("$1,000,000,000,000.00"), 5.75, true},
    // 10.952 em: 5.55 pt.
    {"bracketed premium of a trillion", "PolicyPremium", QStringLiteral("($1,000,000,000,000.00)"), 5.5, true},
    // Bold digits are as wide: 10.952 em in 89 units, 6.09 pt.
    {"bracketed trillion amount", "sr12unearn", QStringLiteral("($1,000,000,000,000.00)"), 6, true},
    // 5.114 em in 65 units: 9.53 pt.
    {"seven-digit negative day count", "PolicyDays", QStringLiteral("(2,921,573)"), 9.5, true},
    {"day count of three digits", "PolicyDays", QStringLiteral("108"), 10, true},
    // 13.344 em past the 12.15 em that 81 units hold at 5 pt.
    {"a figure too wide even at 5 pt is cut visibly", "PolicyPremium", QStringLiteral("$") + QString(23, u'9'), 5,
     false},
    // 10 characters, 5.004 em, in 73 units: whole at 10 pt.
    {"widest date", "PolicyEnd", QStringLiteral("12/31/9999"), 10, true},
    // Times New Roman Bold 12 in 665 units holds some 41 em, and 83 em at
    // 6 pt: 120 characters, about 58 em, shrink; 40 x "Harbour " is far past.
    // Some 90 characters of Arial 10: far wider than 353 units, but not at 6 pt.
    {"client wider than its field", "Client",
     QStringLiteral("Alpha Bravo Charlie Delta Echo Foxtrot Golf Hotel India Juliett Kilo Lima Mike November Oscar"), 0,
     true},
    {"long company name shrinks", "CoName",
     QStringLiteral("Harbour Office and Marine Underwriters of the Maine Seaboard").repeated(2), 0, true},
    {"overlong company name is cut", "CoName", QStringLiteral("Harbour ").repeated(40).trimmed(), 6, false},
};

TEST(PrintedLabelLines, FitsOneLineLabelsBySizeAndCutsOnlyBelowTheFloor)
{
    for (const FitCase &c : kFitCases) {
        SCOPED_TRACE(c.name);
        const QuoteItem item = labelWith(c.label, c.text);
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
    // A shrinking rule that misjudged a fitting text (trailing spaces, say,
    // as in " Short Rated Premiums  ") would show here.
    for (const bool additional : {false, true}) {
        QuotePage page;
        QuoteTexts t;
        t.additionalPremium = additional;
        t.company = {"Harbour Office", "1 Quay Street", "Floor 2", "Portland", "ME", "04101",
                     "(207) 555-0100", "(207) 555-0199", "ON", "Portland,ME  04101"};
        t.policyNumber = "PN-4711";
        t.client = "Jane Public";
        t.policyType = "Home owners";
        t.premium = "$1,234.56";
        t.start = "1/15/2026";
        t.end = "5/3/2026";
        t.days = "108";
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
    struct Case
    {
        const char *name;
        const char *label;
        QString text;
        bool whole;
    };
    const Case cases[] = {
        {"empty", "PolicyNum", QString(), true},
        {"hyphenated number that shrinks", "PolicyNum", kHyphenatedNumber, true},
        {"overlong number", "PolicyNum", kOverlongNumber, false},
        // The same 62 em in a 353-unit field holding 44.1 em at 6 pt.
        {"overlong client", "Client", kOverlongNumber, false},
        {"overlong policy type", "PolicyType", kOverlongNumber, false},
        // 28.1 em in 353 units: whole at 9.25 pt.
        {"client that shrinks", "Client", kHyphenatedNumber, true},
        {"unknown label", "NoSuchLabel", kOverlongNumber, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QuoteFieldPrintsWhole(QString::fromLatin1(c.label), c.text), c.whole);
        if (const QuotePage page; page.item(QString::fromLatin1(c.label))) {
            const QStringList lines = PrintedLabelLines(labelWith(c.label, c.text));
            EXPECT_EQ(lines.join(QString()).endsWith(kEllipsis), !c.whole);
        }
    }
}

TEST(PrintedLabelLines, OnlyTheNoticesWrap)
{
    // A text longer than any label's line (35.5 em at 10 pt): a notice
    // (473 units) wraps it at full size, every other label keeps one line.
    const QString words = QStringLiteral("Alpha Bravo Charlie Delta Echo Foxtrot Golf Hotel India Juliett Kilo Lima "
                                         "Mike November Oscar");
    const QuotePage page;
    for (const QuoteItem &item : page.items()) {
        if (item.kind != QuoteItemKind::Label)
            continue;
        const QuoteItem filled = labelWith(item.name.toLatin1().constData(), words);
        const bool notice = item.name == "QRNA1" || item.name == "QRNA2";
        EXPECT_EQ(PrintedLabelLines(filled).size(), notice ? 2 : 1) << item.name.toStdString();
    }
    EXPECT_EQ(PrintedPointSize(labelWith("QRNA1", words)), 10);
}

// The columns of a 96 dpi rendering of `item` alone that hold ink.
std::pair<int, int> inkColumns(const QuoteItem &item)
{
    QuotePage page;
    for (const QuoteItem &other : page.items()) {
        if (other.kind == QuoteItemKind::Label)
            page.setText(other.name, QString());
    }
    page.setText(item.name, item.text);
    QImage image(kPageWidth, kPageHeight, QImage::Format_RGB32);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        PaintQuotePage(painter, page);
    }
    const QRect box = item.rect.translated(QuoteBandOrigin(item.band));
    int first = -1, last = -1;
    // A band three units wider than the label each side: ink outside the
    // label shows, but not the neighbours' lines.
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

TEST(PaintQuotePage, FittedTextStaysInsideItsLabel)
{
    for (const FitCase &c : kFitCases) {
        SCOPED_TRACE(c.name);
        const QuoteItem item = labelWith(c.label, c.text);
        const QRect box = item.rect.translated(QuoteBandOrigin(item.band));
        const auto [first, last] = inkColumns(item);
        ASSERT_GE(first, 0) << "something prints";
        EXPECT_GE(first, box.left());
        EXPECT_LE(last, box.right());
    }
}

} // namespace

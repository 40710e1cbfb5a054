// The quote page: its items against the layout tables, the assembly of one
// quote, the wrapping rule, and what actually reaches a PDF.

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <numeric>

#include "Guiapp.h"
#include "Labelfit.h"
#include "Pagerecord.h"
#include "Quotefile.h"
#include "Quotepaint.h"
#include "Rules.h"
#include "Shortdate.h"
#include "Uprpt.h"
#include "../support/Testsupport.h"

using namespace quillon;

namespace {

QString describeFont(const QFont &font)
{
    QString text = font.family() + u' ' + QString::number(font.pointSizeF());
    if (font.bold())
        text += QStringLiteral(" bold");
    if (font.italic())
        text += QStringLiteral(" italic");
    if (font.underline())
        text += QStringLiteral(" underlined");
    return text;
}

// Flags: T transparent, F filled, 2 pen width 2, D disabled, S sizes to text.
struct ItemCase
{
    int order;
    const char *name;
    QuoteItemKind kind;
    int left, top, width, height;
    const char *font;
    Qt::Alignment alignment;
    const char *flags;
};

constexpr auto L = QuoteItemKind::Label;
constexpr auto R = QuoteItemKind::Rectangle;
constexpr auto H = QuoteItemKind::HorizontalLine;
constexpr Qt::Alignment kL = Qt::AlignLeft, kC = Qt::AlignHCenter, kR = Qt::AlignRight;

// Copied from the layout tables (band QRBand1), result rows apart.
const ItemCase kHeaderItems[] = {
    {2, "QRShape2", R, 16, 8, 681, 113, "", kL, "2"},
    {3, "CoName", L, 24, 16, 665, 20, "Times New Roman 12 bold underlined", kC, ""},
    {4, "CoAdd1", L, 24, 48, 665, 17, "Arial 10", kC, ""},
    {5, "CoAdd2", L, 24, 64, 665, 17, "Arial 10", kC, ""},
    {6, "CoCity", L, 24, 80, 665, 17, "Arial 10", kC, ""},
    {7, "QRLabel1", L, 120, 96, 50, 17, "Arial 10", kL, "S"},
    {8, "CoPhone", L, 176, 96, 177, 17, "Arial 10", kL, ""},
    {10, "QRLabel2", L, 408, 96, 31, 17, "Arial 10", kL, "S"},
    {9, "CoFax", L, 440, 96, 177, 17, "Arial 10", kL, ""},
    {20, "QRLabel11", L, 16, 144, 105, 17, "Arial 10 bold", kL, ""},
    {11, "PolicyNum", L, 128, 144, 305, 17, "Arial 10 underlined", kL, "T"},
    {21, "QRLabel20", L, 456, 144, 153, 17, "Arial 10 bold", kR, ""},
    {22, "PolicyPremium", L, 616, 144, 81, 17, "Arial 10 underlined", kR, ""},
    {12, "QRLabel10", L, 16, 168, 105, 17, "Arial 10 bold", kL, ""},
    {13, "Client", L, 128, 168, 353, 17, "Arial 10 underlined", kL, "T"},
    {23, "QRShape3", R, 488, 168, 209, 57, "", kL, ""},
    {24, "QRLabel44", L, 496, 176, 193, 25, "Arial 14 bold", kC, "T"},
    {14, "QRLabel12", L, 16, 192, 105, 17, "Arial 10 bold", kL, ""},
    {15, "PolicyType", L, 128, 192, 353, 17, "Arial 10 underlined", kL, "T"},
    {25, "QRLabel45", L, 496, 200, 193, 23, "Arial 14 bold", kC, "T"},
    {16, "QRLabel38", L, 16, 232, 169, 17, "Arial 10 bold", kR, ""},
    {17, "PolicyStart", L, 192, 232, 73, 17, "Arial 10 underlined", kR, "T"},
    {18, "QRLabel39", L, 272, 232, 153, 17, "Arial 10 bold", kR, ""},
    {19, "PolicyEnd", L, 432, 232, 73, 17, "Arial 10 underlined", kR, "T"},
    {26, "QRLabel37", L, 528, 232, 96, 17, "Arial 10 bold", kL, "S"},
    {27, "PolicyDays", L, 632, 232, 65, 17, "Arial 10 underlined", kL, "T"},
    {28, "QRShape1", R, 16, 257, 681, 32, "", kL, "F"},
    {29, "QRLabel3", L, 24, 264, 665, 19, "Arial 12 bold italic", kC, "T"},
    {30, "QRShape5", R, 16, 288, 681, 225, "", kL, ""},
    {81, "QRShape10", R, 16, 288, 185, 30, "", kL, "F"},
    {82, "QRLabel4", L, 24, 296, 169, 17, "Arial 10 bold", kL, ""},
    {80, "QRNA1", L, 200, 325, 473, 65, "Arial 10", kC, "D"},
    {83, "QRShape11", H, 16, 405, 681, 1, "", kL, ""},
    {84, "QRShape12", R, 16, 405, 177, 30, "", kL, "F"},
    {85, "QRLabel5", L, 24, 412, 145, 17, "Arial 10 bold", kL, ""},
    {51, "QRShape8", R, 16, 545, 681, 32, "", kL, "F"},
    {52, "QRLabel47", L, 24, 552, 665, 19, "Arial 12 bold italic", kC, "T"},
    {1, "QRShape6", R, 16, 576, 681, 204, "", kL, "F"},
    {74, "QRShape4", R, 16, 576, 177, 30, "", kL, "F"},
    {75, "QRLabel18", L, 24, 581, 161, 17, "Arial 10 bold", kL, ""},
    {79, "QRNA2", L, 200, 605, 473, 65, "Arial 10", kC, "D"},
    {76, "QRShape7", H, 16, 677, 681, 1, "", kL, ""},
    {77, "QRShape9", R, 16, 677, 177, 30, "", kL, "F"},
    {78, "QRLabel24", L, 24, 685, 161, 17, "Arial 10 bold", kL, ""},
    {53, "QRLabel46", L, 32, 816, 665, 17, "Arial 10 bold italic", kC, ""},
    {86, "QRRules", L, 32, 788, 665, 17, "Arial 10", kC, "D"},
};

const ItemCase kFooterItems[] = {
    {1, "QRLabel40", L, 24, 33, 673, 15, "Arial 8", kC, ""},
    {2, "QRLabel42", L, 24, 51, 673, 15, "Arial 8", kC, ""},
    {3, "QRLabel43", L, 24, 67, 673, 15, "Arial 8", kC, ""},
};

void expectItem(const QuotePage &page, const ItemCase &c, QuoteBand band)
{
    SCOPED_TRACE(c.name);
    const QuoteItem *item = page.item(QString::fromLatin1(c.name));
    ASSERT_NE(item, nullptr);
    const std::string flags = c.flags;
    EXPECT_EQ(item->band, band);
    EXPECT_EQ(item->kind, c.kind);
    EXPECT_EQ(item->order, c.order);
    EXPECT_EQ(item->rect, QRect(c.left, c.top, c.width, c.height));
    if (c.kind == L) {
        EXPECT_EQ(describeFont(item->font), QString::fromLatin1(c.font));
        EXPECT_EQ(item->alignment, c.alignment);
        EXPECT_EQ(item->transparent, flags.find('T') != std::string::npos);
        EXPECT_EQ(item->sizesToText, flags.find('S') != std::string::npos);
    } else {
        EXPECT_EQ(item->filled, flags.find('F') != std::string::npos);
        EXPECT_EQ(item->penWidth, flags.find('2') != std::string::npos ? 2 : 1);
    }
    EXPECT_EQ(item->enabled, flags.find('D') == std::string::npos);
}

// The result rows table: caption at 200, "Rate" at 320, rate at 392,
// "Amount" at 512, amount at 584.
struct ResultRowCase
{
    int top;
    int captionWidth;
    const char *caption; // design text
    struct
    {
        int order;
        const char *name;
    } cells[5];
};

const ResultRowCase kResultRows[] = {
    {328, 57, "Refund", {{31, "QRLabel8"}, {32, "QRLabel6"}, {33, "Sr12urate"}, {34, "QRLabel7"}, {35, "sr12unearn"}}},
    {368, 57, "Used", {{36, "QRLabel9"}, {37, "QRLabel30"}, {38, "sr12erate"}, {39, "QRLabel21"}, {40, "sr12earn"}}},
    {440, 57, "QRLabel15", {{41, "QRLabel15"}, {42, "QRLabel13"}, {43, "pr12urate"}, {44, "QRLabel14"}, {45, "pr12unearn"}}},
    {480, 57, "Used", {{46, "QRLabel16"}, {47, "QRLabel32"}, {48, "pr12erate"}, {49, "QRLabel31"}, {50, "pr12earn"}}},
    {608, 73, "QRLabel19", {{54, "QRLabel19"}, {55, "QRLabel22"}, {56, "sr6urate"}, {57, "QRLabel23"}, {58, "sr6unearn"}}},
    {648, 73, "Used", {{63, "QRLabel26"}, {62, "QRLabel33"}, {61, "sr6erate"}, {60, "QRLabel34"}, {59, "sr6earn"}}},
    {720, 73, "QRLabel28", {{64, "QRLabel28"}, {65, "QRLabel25"}, {66, "pr6urate"}, {67, "QRLabel27"}, {68, "pr6unearn"}}},
    {752, 73, "Used", {{73, "QRLabel29"}, {72, "QRLabel35"}, {71, "pr6erate"}, {70, "QRLabel36"}, {69, "pr6earn"}}},
};

// Short-rated rows: the ones the notices cover.
const char *const kShortRatedRowItems[] = {
    "QRLabel8",  "QRLabel6",  "Sr12urate", "QRLabel7",  "sr12unearn", "QRLabel9",  "QRLabel30",
    "sr12erate", "QRLabel21", "sr12earn",  "QRLabel19", "QRLabel22",  "sr6urate",  "QRLabel23",
    "sr6unearn", "QRLabel26", "QRLabel33", "sr6erate",  "QRLabel34",  "sr6earn",
};

QStringList printedNames(const QuotePage &page, QuoteBand band)
{
    QStringList names;
    for (const QuoteItem *item : PrintedQuoteItems(page, band))
        names << item->name;
    return names;
}

QuoteTexts distinctTexts(bool additionalPremium)
{
    QuoteTexts t;
    t.additionalPremium = additionalPremium;
    t.company = {"Harbour Office", "1 Quay Street", "Floor 2", "Portland", "ME", "04101",
                 "(207) 555-0100", "(207) 555-0199", "ON", "Portland,ME  04101"};
    t.policyNumber = "PN-4711";
    t.client = "Client Text";
    t.policyType = "Type Text";
    t.premium = "$1,234.56";
    t.start = "1/15/2026";
    t.end = "5/3/2026";
    t.days = "108";
    // Every figure different, and the short-rated ones recognisable by 9s.
    t.figure("PR12Earn") = "$101.01";
    t.figure("PR12Unearn") = "$102.02";
    t.figure("PR12ERate") = "0.103";
    t.figure("PR12URate") = "0.104";
    t.figure("PR6Earn") = "$105.05";
    t.figure("PR6Unearn") = "$106.06";
    t.figure("PR6ERate") = "0.107";
    t.figure("PR6URate") = "0.108";
    t.figure("SR12Earn") = "$991.01";
    t.figure("SR12Unearn") = "$992.02";
    t.figure("SR12ERate") = "0.93";
    t.figure("SR12URate") = "0.94";
    t.figure("SR6earn") = "$995.05";
    t.figure("SR6Unearn") = "$996.06";
    t.figure("SR6ERate") = "0.97";
    t.figure("SR6URate") = "0.98";
    return t;
}

const char *const kShortRatedTexts[] = {"$991.01", "$992.02", "0.93", "0.94", "$995.05", "$996.06", "0.97", "0.98"};
const char *const kProRatedTexts[] = {"$101.01", "$102.02", "0.103", "0.104", "$105.05", "$106.06", "0.107", "0.108"};

QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

struct WordBox
{
    double left = -1, top = -1, right = -1; // PDF points
};

// Where the first word of a PDF's text equal to `word` lies.
WordBox findWord(const QString &path, const QString &word)
{
    const QString html = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    const QRegularExpression re(QStringLiteral("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\"[^>]*>") +
                                QRegularExpression::escape(word) + QStringLiteral("</word>"));
    const QRegularExpressionMatch match = re.match(html);
    if (!match.hasMatch())
        return {};
    return {match.captured(1).toDouble(), match.captured(2).toDouble(), match.captured(3).toDouble()};
}

// 1/96 inch to PDF points.
double points(int units)
{
    return units * 72.0 / 96.0;
}

QImage renderPage(const QuotePage &page)
{
    QImage image(kPageWidth, kPageHeight, QImage::Format_RGB32);
    image.setDotsPerMeterX(3780); // 96 dpi
    image.setDotsPerMeterY(3780);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintQuotePage(painter, page);
    return image;
}

bool inkIn(const QImage &image, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 160)
                return true;
        }
    }
    return false;
}

} // namespace

TEST(QuotePage, ItemsSitWhereTheLayoutTablesPutThem)
{
    const QuotePage page;
    for (const ItemCase &c : kHeaderItems)
        expectItem(page, c, QuoteBand::Header);
    for (const ItemCase &c : kFooterItems)
        expectItem(page, c, QuoteBand::Footer);
}

TEST(QuotePage, ResultRowsFollowTheRowTable)
{
    const QuotePage page;
    struct Column
    {
        int left;
        int width;
        const char *font;
        Qt::Alignment alignment;
    };
    for (const ResultRowCase &row : kResultRows) {
        const Column columns[5] = {{200, row.captionWidth, "Arial 10", kL},
                                   {320, 49, "Arial 10", kL},
                                   {392, 73, "Arial 10 bold underlined", kR},
                                   {512, 65, "Arial 10", kL},
                                   {584, 89, "Arial 10 bold underlined", kR}};
        for (int c = 0; c < 5; ++c) {
            SCOPED_TRACE(row.cells[c].name);
            const QuoteItem *item = page.item(QString::fromLatin1(row.cells[c].name));
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->order, row.cells[c].order);
            EXPECT_EQ(item->rect, QRect(columns[c].left, row.top, columns[c].width, 17));
            EXPECT_EQ(describeFont(item->font), QString::fromLatin1(columns[c].font));
            EXPECT_EQ(item->alignment, columns[c].alignment);
            EXPECT_FALSE(item->transparent);
        }
        EXPECT_EQ(page.text(QString::fromLatin1(row.cells[0].name)), QString::fromLatin1(row.caption));
        EXPECT_EQ(page.text(QString::fromLatin1(row.cells[1].name)), QStringLiteral("Rate"));
        EXPECT_EQ(page.text(QString::fromLatin1(row.cells[3].name)), QStringLiteral("Amount"));
    }
}

TEST(QuotePage, EachBandDrawsEveryNumberOnceInOrder)
{
    const QuotePage page;
    std::map<QuoteBand, std::vector<int>> orders;
    for (const QuoteItem &item : page.items())
        orders[item.band].push_back(item.order);
    // 1..86 in the header band, 1..3 in the footer band, in drawing order.
    std::vector<int> header(86), footer(3);
    std::iota(header.begin(), header.end(), 1);
    std::iota(footer.begin(), footer.end(), 1);
    EXPECT_EQ(orders[QuoteBand::Header], header);
    EXPECT_EQ(orders[QuoteBand::Footer], footer);
}

TEST(QuotePage, StartsWithPlaceholdersAndBothNoticesOff)
{
    const QuotePage page;
    const std::pair<const char *, const char *> cases[] = {
        {"CoName", "CoName"},         {"sr6earn", "sr6earn"},
        {"PolicyStart", "12/12/2000"}, {"PolicyEnd", "12/12/2000"},
        {"QRLabel44", "REFUND"},      {"QRLabel20", "Premium"},
        {"QRLabel38", "Policy Start Date:"}, {"QRLabel39", "Policy End Date:"},
        {"QRLabel42", "Free software released under the MIT License - Copyright (c) 2026 The Quillon developers"},
        {"QRLabel43", "Quillon " QUILLON_VERSION " - licence and manual: " QUILLON_DOCDIR},
    };
    for (const auto &[name, text] : cases)
        EXPECT_EQ(page.text(QString::fromLatin1(name)), QString::fromLatin1(text)) << name;
    EXPECT_FALSE(page.item("QRNA1")->enabled);
    EXPECT_FALSE(page.item("QRNA2")->enabled);
}

TEST(FillQuotePage, SetsTheCaptionsOfEachQuotationType)
{
    struct Case
    {
        const char *label;
        const char *refund;
        const char *additional;
    };
    const Case cases[] = {
        {"QRLabel44", "REFUND", "Additional Premium"},
        {"QRLabel8", "Refund", "Amt Due"},
        {"QRLabel15", "Refund", "Amt Due"},
        {"QRLabel19", "Refund", "Amt Due"},
        {"QRLabel28", "Refund", "Amt Due"},
        {"QRLabel20", "Total Premium", "Add. Annual Premium"},
        {"QRLabel38", "Policy Effective date", "Policy Effective date"},
        {"QRLabel39", "Cancellation Date", "Change Effective Date"},
        {"QRLabel9", "Used", "Used"},
        {"QRLabel29", "Used", "Used"},
    };
    // Filled twice, the other mode first, so a caption left over from the
    // earlier quote is caught.
    for (const bool additional : {false, true}) {
        QuotePage page;
        FillQuotePage(page, distinctTexts(!additional));
        FillQuotePage(page, distinctTexts(additional));
        for (const Case &c : cases) {
            SCOPED_TRACE(c.label);
            EXPECT_EQ(page.text(QString::fromLatin1(c.label)),
                      QString::fromLatin1(additional ? c.additional : c.refund));
        }
        EXPECT_EQ(page.item("QRNA1")->enabled, additional);
        EXPECT_EQ(page.item("QRNA2")->enabled, additional);
    }
}

TEST(FillQuotePage, CopiesEveryTextUnchangedIntoItsLabel)
{
    // From the copy table: report label and the text it receives.
    const std::pair<const char *, const char *> cases[] = {
        {"CoName", "Harbour Office"}, {"CoAdd1", "1 Quay Street"},   {"CoAdd2", "Floor 2"},
        {"CoCity", "Portland,ME  04101"}, {"CoPhone", "(207) 555-0100"}, {"CoFax", "(207) 555-0199"},
        {"PolicyNum", "PN-4711"},    {"Client", "Client Text"},     {"PolicyType", "Type Text"},
        {"PolicyDays", "108"},       {"PolicyStart", "1/15/2026"},  {"PolicyEnd", "5/3/2026"},
        {"Sr12urate", "0.94"},       {"sr12erate", "0.93"},         {"sr12unearn", "$992.02"},
        {"sr12earn", "$991.01"},     {"sr6urate", "0.98"},          {"sr6erate", "0.97"},
        {"sr6unearn", "$996.06"},    {"sr6earn", "$995.05"},        {"pr12urate", "0.104"},
        {"pr12erate", "0.103"},      {"pr12unearn", "$102.02"},     {"pr12earn", "$101.01"},
        {"pr6urate", "0.108"},       {"pr6erate", "0.107"},         {"pr6unearn", "$106.06"},
        {"pr6earn", "$105.05"},      {"PolicyPremium", "$1,234.56"},
    };
    for (const bool additional : {false, true}) {
        QuotePage page;
        FillQuotePage(page, distinctTexts(additional));
        for (const auto &[label, text] : cases)
            EXPECT_EQ(page.text(QString::fromLatin1(label)), QString::fromLatin1(text)) << label;
    }
}

TEST(FillQuotePage, LeavesNoPlaceholderOnThePage)
{
    QuotePage page;
    FillQuotePage(page, distinctTexts(false));
    for (const QuoteItem &item : page.items()) {
        if (item.kind == QuoteItemKind::Label) {
            EXPECT_NE(item.text, item.name);
            EXPECT_NE(item.text, QStringLiteral("12/12/2000")) << item.name.toStdString();
        }
    }
}

TEST(PrintedQuoteItems, NoticesHideTheShortRatedRowsOnlyForAdditionalPremiums)
{
    for (const bool additional : {false, true}) {
        SCOPED_TRACE(additional ? "additional premium" : "refund");
        QuotePage page;
        FillQuotePage(page, distinctTexts(additional));
        const QStringList printed = printedNames(page, QuoteBand::Header);
        for (const char *name : kShortRatedRowItems)
            EXPECT_EQ(printed.contains(QString::fromLatin1(name)), !additional) << name;
        EXPECT_EQ(printed.contains("QRNA1"), additional);
        EXPECT_EQ(printed.contains("QRNA2"), additional);
        // The pro-rated rows and the sub-block captions beside the notices stay.
        for (const char *name : {"QRLabel4", "QRLabel18", "QRLabel15", "pr12unearn", "QRLabel29", "pr6earn"})
            EXPECT_TRUE(printed.contains(QString::fromLatin1(name))) << name;
        // 85 header items, less one notice or twenty covered cells per block pair.
        EXPECT_EQ(printed.size(), additional ? 85 - 20 : 85 - 2);
    }
}

TEST(PrintedLabelLines, KeepOnlyTheLinesThatFitTheHeight)
{
    QuotePage page;
    struct Case
    {
        const char *name;
        const char *label;
        QString text;
        QStringList lines;
    };
    const Case cases[] = {
        {"short client fits", "Client", "Jane Public", {"Jane Public"}},
        {"a number wider than the field is not broken at its hyphens", "PolicyNum",
         "POL-ABC-DEF-GHI-JKL-MNO-PQR-STU-VWX-YZA-BCD-EFG", {"POL-ABC-DEF-GHI-JKL-MNO-PQR-STU-VWX-YZA-BCD-EFG"}},
        // 65 units hold four lines of Arial 10 (line height about 14.9).
        {"notice holds four lines", "QRNA1",
         "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen sixteen "
         "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen sixteen "
         "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen sixteen "
         "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen sixteen "
         "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen sixteen",
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        page.setText(QString::fromLatin1(c.label), c.text);
        const QStringList lines = PrintedLabelLines(*page.item(QString::fromLatin1(c.label)));
        if (c.lines.isEmpty())
            EXPECT_EQ(lines.size(), 4);
        else
            EXPECT_EQ(lines, c.lines);
    }
}

TEST(PrintedLabelLines, ClientWiderThanItsFieldPrintsWholeOnOneLineSmaller)
{
    QuotePage page;
    // Some 90 characters of Arial 10: far wider than 353 units, but not at 6 pt.
    const QString client =
        "Alpha Bravo Charlie Delta Echo Foxtrot Golf Hotel India Juliett Kilo Lima Mike November Oscar";
    page.setText("Client", client);
    EXPECT_EQ(PrintedLabelLines(*page.item("Client")), QStringList{client}) << "no words lost";
    EXPECT_LT(PrintedPointSize(*page.item("Client")), 10);
}

TEST(PrintedLabelLines, LabelsSizedToTheirTextPrintOnOneLine)
{
    const QuotePage page;
    for (const char *name : {"QRLabel1", "QRLabel2", "QRLabel37"}) {
        const QStringList lines = PrintedLabelLines(*page.item(QString::fromLatin1(name)));
        ASSERT_EQ(lines.size(), 1) << name;
        EXPECT_EQ(lines.front(), page.text(QString::fromLatin1(name)).trimmed()) << name;
    }
}

TEST(PaintQuotePage, OverlongTextsLeaveNoInkOutsideTheirFields)
{
    QuotePage page;
    FillQuotePage(page, distinctTexts(false));
    page.setText("PolicyType", "");
    page.setText("Client", "Alpha Bravo Charlie Delta Echo Foxtrot Golf Hotel India Juliett Kilo Lima Mike");
    page.setText("PolicyNum", QString(80, u'W'));
    const QImage image = renderPage(page);
    const QPoint band = QuoteBandOrigin(QuoteBand::Header);
    // Nothing of the client reaches the empty policy-type field below it.
    EXPECT_TRUE(inkIn(image, QRect(band + QPoint(128, 168), QSize(353, 17))));
    EXPECT_FALSE(inkIn(image, QRect(band + QPoint(128, 192), QSize(353, 17))));
    // The policy number, cut short, stops at its right edge (433), short of
    // the premium caption.
    EXPECT_TRUE(inkIn(image, QRect(band + QPoint(420, 144), QSize(13, 17))));
    EXPECT_FALSE(inkIn(image, QRect(band + QPoint(434, 144), QSize(20, 17))));
}

TEST(PaintQuotePage, FooterPrintsAtTheBottomOfThePage)
{
    QuotePage page;
    FillQuotePage(page, distinctTexts(false));
    const QImage image = renderPage(page);
    // The footer band starts 48 + 88 units above the paper's bottom edge
    // (920): its first label at 920 + 33, its last ending at 920 + 67 + 15.
    EXPECT_EQ(QuoteBandOrigin(QuoteBand::Footer), QPoint(48, 920));
    EXPECT_TRUE(inkIn(image, QRect(72, 953, 673, 15)));
    EXPECT_TRUE(inkIn(image, QRect(72, 987, 673, 15)));
    // Nothing between the disclaimer's bottom (48 + 833) and the footer's first line.
    EXPECT_FALSE(inkIn(image, QRect(0, 882, kPageWidth, 952 - 882)));
    EXPECT_FALSE(inkIn(image, QRect(0, 1003, kPageWidth, kPageHeight - 1003)));
}

TEST(WriteQuotePdf, AdditionalPremiumPdfHidesTheShortRatedFigures)
{
    QTemporaryDir dir;
    for (const bool additional : {false, true}) {
        SCOPED_TRACE(additional ? "additional premium" : "refund");
        QuotePage page;
        FillQuotePage(page, distinctTexts(additional));
        const QString path = dir.filePath(additional ? "addl.pdf" : "refund.pdf");
        ASSERT_TRUE(WriteQuotePdf(path, page));
        const QString text = pdfText(path);
        for (const char *figure : kShortRatedTexts)
            EXPECT_EQ(text.contains(QString::fromLatin1(figure)), !additional) << figure;
        for (const char *figure : kProRatedTexts)
            EXPECT_TRUE(text.contains(QString::fromLatin1(figure))) << figure;
        EXPECT_EQ(text.count("This Section not applicable for Additional Premiums"), additional ? 2 : 0);
        EXPECT_TRUE(text.contains(additional ? "Amt Due" : "Refund"));
    }
}

TEST(WriteQuotePdf, PutsTextWhereTheLayoutSaysOnALetterPage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("quote.pdf");
    QuotePage page;
    FillQuotePage(page, distinctTexts(false));
    ASSERT_TRUE(WriteQuotePdf(path, page));
    EXPECT_TRUE(runTool("pdfinfo", {path}).contains(QRegularExpression("Page size:\\s+612 x 792 pts")));
    struct Case
    {
        const char *word;
        int left;     // page units: the margin plus the label's left; -1 for centred
        int top;      // page units
        double width; // points: the font's advance widths (per 1000 em) times its size
    };
    const Case cases[] = {
        // Arial Bold 10: P 667, o 611, l 278, i 278, c 556, y 556
        {"Policy", 48 + 16, 48 + 144, 29.46},
        // Arial 10: P 667, N 722, - 333, 4 556, 7 556, 1 556, 1 556
        {"PN-4711", 48 + 128, 48 + 144, 39.46},
        // Arial Bold 14: R 722, E 667, F 611, U 722, N 722, D 722
        {"REFUND", -1, 48 + 176, 58.32},
        // Times New Roman Bold 12: H 778, a 500, r 444, b 556, o 500, u 556, r 444
        {"Harbour", -1, 48 + 16, 45.34},
        // Arial 8: Q 778, u 556, i 222, l 222, l 222, o 556, n 556
        {"Quillon", -1, 920 + 33, 24.90},
        {"licence", -1, 920 + 67, -1},
        {"ACTUAL", -1, 48 + 816, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.word);
        const WordBox box = findWord(path, QString::fromLatin1(c.word));
        EXPECT_NEAR(box.top, points(c.top), 0.5);
        if (c.left >= 0) {
            EXPECT_NEAR(box.left, points(c.left), 0.5);
        }
        if (c.width > 0) {
            EXPECT_NEAR(box.right - box.left, c.width, 0.2);
        }
    }
}

TEST(PaintQuotePage, SetsUpAPagedDeviceAsLetterWithoutMargins)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("device.pdf");
    {
        QPdfWriter writer(path);
        writer.setResolution(600);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        QuotePage page;
        page.setText("CoName", "Marker");
        PaintQuotePage(writer, page);
    }
    EXPECT_TRUE(runTool("pdfinfo", {path}).contains(QRegularExpression("Page size:\\s+612 x 792 pts")));
    EXPECT_NEAR(findWord(path, "Marker").top, points(48 + 16), 0.5);
}

TEST(WriteQuotePdf, FailsOnAnUnwritablePath)
{
    QTemporaryDir dir;
    const QuotePage page;
    EXPECT_FALSE(WriteQuotePdf(dir.filePath("missing/quote.pdf"), page));
    EXPECT_FALSE(QFile::exists(dir.filePath("missing/quote.pdf")));
    EXPECT_FALSE(WriteQuotePdf(dir.path(), page)) << "a directory";
}

// The page record a saved quote carries. Each row makes one change in the
// record of a saved file (the first `from` after its start becomes `to`;
// `cut` cuts the file that far into the record) and gives the reason the
// file is refused, or, read, the label whose text is then `to`.
struct RecordCase
{
    const char *name;
    QByteArray from, to;
    const char *refused = nullptr; // nullptr: read
    const char *label = nullptr;   // read: the label `to` is the text of
    qsizetype cut = -1;
};

const char kDamaged[] = "Its page record is damaged";
const RecordCase kRecordCases[] = {
    {"as saved, every label's text and state", "", ""},
    {"a text of 4096 bytes, the most", "+Client=Client Text", "+Client=" + QByteArray(4096, 'x'), nullptr, "Client"},
    {"a text of 4097 bytes", "+Client=Client Text", "+Client=" + QByteArray(4097, 'x'), kDamaged},
    {"over 64 KiB", "+Client=Client Text", "+Client=" + QByteArray(70000, 'x'), kDamaged},
    {"cut short with the file", "", "", kDamaged, nullptr, 200},
    {"cut short before its end line", "end\n", "", kDamaged},
    {"a line after its end line", "end\n", "end\n+CoName=x\n", kDamaged},
    {"a later version", "record 1\n", "record 3\n", "It was saved by a later version of Quillon, whose page record this one cannot read"},
    {"version 2 without its rules line", "record 1\n", "record 2\n", kDamaged},
    {"version 2 with its rules line", "record 1\n", "record 2\n-QRRules=\n"},
    {"version 1 with the rules line of version 2", "end\n", "-QRRules=\nend\n", kDamaged},
    {"a version that is no number", "record 1\n", "record 1a\n", kDamaged},
    {"a label line without =", "+Client=", "+Client ", kDamaged},
    {"a label line without + or -", "+Client=", "*Client=", kDamaged},
    {"a label named twice", "+CoAdd1=", "+CoName=x\n+CoAdd1=", kDamaged},
    {"a label missing", "+CoAdd2=Floor 2\n", "", kDamaged},
    {"a name no label has", "+Client=", "+QRShape2=", kDamaged},
    {"an escape other than \\\\, \\n and \\r", "Harbour", "Harb\\tour", kDamaged},
    {"a bare carriage return", "Harbour", "Harb\rour", kDamaged},
    {"a cut UTF-8 sequence", "Harbour", "Harb\xC3(our", kDamaged},
    {"an overlong UTF-8 slash", "Harbour", "Harb\xC0\xAFour", kDamaged},
    {"a surrogate in UTF-8", "Harbour", "Harb\xED\xA0\x80our", kDamaged},
};

TEST(QuotePageRecord, ReadsBackEveryLabelAndRefusesADamagedRecord)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("quote.pdf");
    QuotePage saved;
    FillQuotePage(saved, distinctTexts(true));
    // What only escaping carries, and a label switched off that prints as designed.
    saved.setText("CoName", QString::fromUtf8("Harbour = Office \\ Zürich\n\xE6\x9D\xB1\xE4\xBA\xAC\r"));
    saved.setText("CoAdd2", "Floor 2");
    saved.setText("PolicyType", "");
    saved.setEnabled("CoFax", false);
    ASSERT_TRUE(WriteQuotePdf(path, saved));
    QFile file(path);
    const QByteArray pdf = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const qsizetype start = pdf.indexOf("Quillon quote page record 1\n");
    ASSERT_GT(start, 0);

    // A valid PDF that lists the record as its attached file.
    EXPECT_TRUE(runTool("qpdf", {"--check", path}).contains("No syntax or stream encoding errors found"));
    EXPECT_TRUE(runTool("qpdf", {"--show-attachment=" + QString::fromLatin1(kPageRecordName), path})
                    .startsWith("Quillon quote page record 1\n"));

    for (const RecordCase &c : kRecordCases) {
        SCOPED_TRACE(c.name);
        QByteArray changed = c.cut >= 0 ? pdf.left(start + c.cut) : pdf;
        const qsizetype at = changed.indexOf(c.from, start);
        ASSERT_GE(at, start);
        changed.replace(at, c.from.size(), c.to);
        const PageRecordRead read = ReadQuotePageRecord(changed);
        EXPECT_TRUE(read.found);
        EXPECT_EQ(read.error, c.refused ? QString::fromUtf8(c.refused) : QString());
        QuotePage expected = c.refused ? QuotePage() : saved;
        if (c.label)
            expected.setText(c.label, QString::fromLatin1(c.to.mid(c.to.indexOf('=') + 1)));
        for (const QuoteItem &item : expected.items()) {
            EXPECT_EQ(read.page.item(item.name)->text, item.text) << item.name.toStdString();
            EXPECT_EQ(read.page.item(item.name)->enabled, item.enabled) << item.name.toStdString();
        }
        if (!c.refused) {
            EXPECT_EQ(renderPage(read.page), renderPage(expected)) << "drawn as at the save";
        }
    }
    // Under office rules the page gains its rules line and its record is of
    // version 2; the next quote under the built-in rules prints as ever.
    QuoteTexts ruled = distinctTexts(false);
    ruled.rules = "Office rules: short rate 90% of pro rata.";
    QuotePage page;
    FillQuotePage(page, ruled);
    ASSERT_TRUE(WriteQuotePdf(path, page));
    QFile ruledFile(path);
    const QByteArray ruledPdf = ruledFile.open(QIODevice::ReadOnly) ? ruledFile.readAll() : QByteArray();
    EXPECT_TRUE(ruledPdf.contains("Quillon quote page record 2\n"));
    const PageRecordRead read = ReadQuotePageRecord(ruledPdf);
    EXPECT_EQ(read.error, QString());
    EXPECT_TRUE(read.page.item("QRRules")->enabled);
    EXPECT_EQ(renderPage(read.page), renderPage(page));
    QuotePage plain;
    FillQuotePage(plain, distinctTexts(false));
    EXPECT_NE(renderPage(page), renderPage(plain));
    FillQuotePage(page, distinctTexts(false));
    EXPECT_FALSE(page.item("QRRules")->enabled);
    EXPECT_EQ(renderPage(page), renderPage(plain));

    // Without its first line the file holds no record, and goes to the helper.
    EXPECT_FALSE(ReadQuotePageRecord(QByteArray(pdf).replace("page record 1", "page recorb 1")).found);
    saved.setText("Client", QString(4097, u'x'));
    EXPECT_FALSE(QuotePageRecord(saved)) << "a page the record cannot hold is saved without one";
}

// The rules line, from rules worked by hand: a 12-month table file gives
// the 6-month column no short rate, and the line says why.
TEST(QuoteRulesText, NamesEachRuleAndWhyAShortRateIsEmpty)
{
    QTemporaryDir dir;
    const QString table = dir.filePath("carrier.csv");
    QFile file(table);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("term_months,12\ndays,earned_percent\n0-365,50\n");
    file.close();
    const LocaleSettings c;
    LocaleSettings comma;
    comma.decimalSeparator = ",";
    comma.thousandSeparator = ".";
    const int jan1 = DayNumber(std::chrono::year(2024) / 1 / 1);
    struct Case
    {
        const char *name;
        QString shortRate;
        const char *minimum, *fees;
        bool expires; // on 1/1/2025, 366 days on
        const LocaleSettings *locale;
        QString text;
    };
    const Case cases[] = {
        {"the built-in rules: no line", "", "", "", false, &c, ""},
        {"a share", "90%", "", "", false, &c, "Office rules: short rate 90% of pro rata."},
        {"a share and an amount in a comma locale", "87.5%", "1234.5", "", false, &comma,
         "Office rules: short rate 87,5% of pro rata, minimum earned premium $1.234,50."},
        {"a percentage, fees and an expiration", "", "25%", "25", true, &c,
         "Office rules: minimum earned premium 25% of the premium, fully earned fees $25.00, a term of 366 days to "
         "the expiration date."},
        {"a 12-month table file", table, "", "", false, &c,
         "Office rules: short rate by the 12-month table carrier.csv. No short rate: the table " + table
             + " is not for a 6-month term."},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        RuleSet rules;
        rules.shortRate = *ParseShortRateRule(k.shortRate.toStdString(), c).value;
        rules.minimumEarned = *ParseMinimumEarned(k.minimum, c).value;
        rules.fees = *ParseFees(k.fees, c).value;
        if (k.expires)
            rules.expirationDay = jan1 + 366;
        const RuledQuote worked = CalculateRuledQuote(1000.0L, jan1, jan1 + 100, rules);
        EXPECT_EQ(QuoteRulesText(rules, worked.outcome, *k.locale), k.text);
    }
}

// The quote page: its items against the layout tables, the assembly of one
// quote, the wrapping rule, and what actually reaches a PDF.

#include <QFile>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

#include "Guiapp.h"
#include "Labelfit.h"
#include "Pagerecord.h"
#include "Quote.h"
#include "Quotefile.h"
#include "Rules.h"
#include "Shortdate.h"
#include "../support/Locales.h"
#include "../support/Reporttest.h"
#include "../support/Testsupport.h"

using namespace quillon;

namespace {

// The result rows, each read left to right: caption, "Rate", rate, "Amount", amount.
const char *const kResultRows[][5] = {
    {"QRLabel8", "QRLabel6", "Sr12urate", "QRLabel7", "sr12unearn"},
    {"QRLabel9", "QRLabel30", "sr12erate", "QRLabel21", "sr12earn"},
    {"QRLabel15", "QRLabel13", "pr12urate", "QRLabel14", "pr12unearn"},
    {"QRLabel16", "QRLabel32", "pr12erate", "QRLabel31", "pr12earn"},
    {"QRLabel19", "QRLabel22", "sr6urate", "QRLabel23", "sr6unearn"},
    {"QRLabel26", "QRLabel33", "sr6erate", "QRLabel34", "sr6earn"},
    {"QRLabel28", "QRLabel25", "pr6urate", "QRLabel27", "pr6unearn"},
    {"QRLabel29", "QRLabel35", "pr6erate", "QRLabel36", "pr6earn"},
};

// The box of the first word of a PDF's text equal to `word`.
QRectF findWord(const QString &path, const QString &word)
{
    for (const PdfWord &found : pdfWords(path))
        if (found.text == word)
            return found.box;
    return {};
}

bool inkIn(const QImage &image, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 160)
                return true;
    return false;
}

} // namespace

// Every item prints inside the margins, no label over another (either type, rules line on), no filled box
// over a label on it, and each figure on the line of its caption, after it.
TEST(QuotePage, ItemsPrintInsideThePageWithoutCoveringEachOther)
{
    const QRect printable(kMargin, kMargin, kPageWidth - 2 * kMargin, kPageHeight - 2 * kMargin);
    for (const bool additional : {false, true}) {
        SCOPED_TRACE(additional ? "additional premium" : "refund");
        QuotePage page;
        QuoteTexts texts = distinctTexts(additional);
        texts.rules = "Office rules: short rate 90% of pro rata.";
        FillQuotePage(page, texts);
        for (const QuoteBand band : {QuoteBand::Header, QuoteBand::Footer}) {
            const std::vector<const QuoteItem *> printed = PrintedQuoteItems(page, band);
            std::set<int> orders;
            for (const QuoteItem *item : printed) {
                SCOPED_TRACE(item->name.toStdString());
                EXPECT_TRUE(printable.contains(item->rect.translated(QuoteBandOrigin(band))));
                EXPECT_TRUE(orders.insert(item->order).second) << "one drawing order";
                if (item->kind != QuoteItemKind::Label)
                    continue;
                // Boxes 17 units high stand 16 apart: a shared edge is no overlap.
                const QRect inner = item->rect.adjusted(0, 0, -1, -1);
                for (const QuoteItem *other : printed) {
                    if (other != item && other->kind == QuoteItemKind::Label) {
                        EXPECT_FALSE(other->rect.adjusted(0, 0, -1, -1).intersects(inner)) << other->name.toStdString();
                    }
                }
            }
        }
    }
    const QuotePage page;
    for (const QuoteItem &label : page.items()) {
        for (const QuoteItem &box : page.items()) {
            if (label.kind == QuoteItemKind::Label && box.filled && box.band == label.band
                && box.rect.intersects(label.rect)) {
                EXPECT_GT(label.order, box.order) << label.name.toStdString() << " under " << box.name.toStdString();
            }
        }
    }
    for (const auto &row : kResultRows) {
        SCOPED_TRACE(row[0]);
        for (int c = 1; c < 5; ++c) {
            const QRect left = page.item(row[c - 1])->rect, right = page.item(row[c])->rect;
            EXPECT_EQ(right.top(), left.top());
            EXPECT_GT(right.left(), left.right());
        }
        EXPECT_EQ(page.text(row[1]), QStringLiteral("Rate"));
        EXPECT_EQ(page.text(row[3]), QStringLiteral("Amount"));
    }
}

// A fresh page shows placeholders, both notices off.
TEST(FillQuotePage, ReplacesThePlaceholdersSetsTheCaptionsOfEachQuotationTypeAndCopiesEveryText)
{
    const QuotePage fresh;
    const std::pair<const char *, const char *> placeholders[] = {
        {"CoName", "CoName"}, {"sr6earn", "sr6earn"}, {"PolicyStart", "12/12/2000"}, {"PolicyEnd", "12/12/2000"},
        {"QRLabel44", "REFUND"}, {"QRLabel20", "Premium"}, {"QRLabel38", "Policy Start Date:"},
        {"QRLabel39", "Policy End Date:"},
        {"QRLabel42", "Free software released under the MIT License - Copyright (c) 2026 The Quillon developers"},
        {"QRLabel43", "Quillon " QUILLON_VERSION " - licence and manual: " QUILLON_DOCDIR},
    };
    for (const auto &[name, text] : placeholders)
        EXPECT_EQ(fresh.text(QString::fromLatin1(name)), QString::fromLatin1(text)) << name;
    EXPECT_FALSE(fresh.item("QRNA1")->enabled);
    EXPECT_FALSE(fresh.item("QRNA2")->enabled);
    // Label, its caption for a refund, for an additional premium.
    const char *const cases[][3] = {
        {"QRLabel44", "REFUND", "Additional Premium"}, {"QRLabel8", "Refund", "Amt Due"}, {"QRLabel9", "Used", "Used"},
        {"QRLabel15", "Refund", "Amt Due"}, {"QRLabel19", "Refund", "Amt Due"}, {"QRLabel28", "Refund", "Amt Due"},
        {"QRLabel20", "Total Premium", "Add. Annual Premium"}, {"QRLabel29", "Used", "Used"},
        {"QRLabel38", "Policy Effective date", "Policy Effective date"},
        {"QRLabel39", "Cancellation Date", "Change Effective Date"}};
    // From the copy table: report label and the text it receives.
    const std::pair<const char *, const char *> copies[] = {
        {"CoName", "Harbour Office"}, {"CoAdd1", "1 Quay Street"}, {"CoAdd2", "Floor 2"}, {"PolicyNum", "PN-4711"},
        {"CoCity", "Portland,ME  04101"}, {"CoPhone", "(207) 555-0100"}, {"CoFax", "(207) 555-0199"},
        {"Client", "Client Text"}, {"PolicyType", "Type Text"}, {"PolicyDays", "108"}, {"PolicyStart", "1/15/2026"},
        {"PolicyEnd", "5/3/2026"}, {"PolicyPremium", "$1,234.56"}, {"Sr12urate", "0.94"}, {"sr12erate", "0.93"},
        {"sr12unearn", "$992.02"}, {"sr12earn", "$991.01"}, {"sr6urate", "0.98"}, {"sr6erate", "0.97"},
        {"sr6unearn", "$996.06"}, {"sr6earn", "$995.05"}, {"pr12urate", "0.104"}, {"pr12erate", "0.103"},
        {"pr12unearn", "$102.02"}, {"pr12earn", "$101.01"}, {"pr6urate", "0.108"}, {"pr6erate", "0.107"},
        {"pr6unearn", "$106.06"}, {"pr6earn", "$105.05"}};
    // Filled twice, the other type first, so a caption left over from the earlier quote is caught.
    for (const bool additional : {false, true}) {
        QuotePage page;
        FillQuotePage(page, distinctTexts(!additional));
        FillQuotePage(page, distinctTexts(additional));
        for (const auto &c : cases)
            EXPECT_EQ(page.text(QString::fromLatin1(c[0])), QString::fromLatin1(c[additional ? 2 : 1])) << c[0];
        EXPECT_EQ(page.item("QRNA1")->enabled, additional);
        EXPECT_EQ(page.item("QRNA2")->enabled, additional);
        for (const auto &[label, text] : copies)
            EXPECT_EQ(page.text(QString::fromLatin1(label)), QString::fromLatin1(text)) << label;
        for (const QuoteItem &item : page.items()) {
            EXPECT_NE(item.text, item.name) << "a placeholder left";
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
        QStringList printed;
        for (const QuoteItem *item : PrintedQuoteItems(page, QuoteBand::Header))
            printed << item->name;
        // The short-rated rows go; the pro-rated rows and the sub-block captions beside the notices stay.
        for (const auto &row : kResultRows) {
            const bool shortRated = QString::fromLatin1(row[2]).startsWith(u's', Qt::CaseInsensitive);
            for (const char *name : row)
                EXPECT_EQ(printed.contains(QString::fromLatin1(name)), !(additional && shortRated)) << name;
        }
        EXPECT_EQ(printed.contains("QRNA1"), additional);
        EXPECT_EQ(printed.contains("QRNA2"), additional);
        for (const char *name : {"QRLabel4", "QRLabel18"})
            EXPECT_TRUE(printed.contains(QString::fromLatin1(name))) << name;
        // 85 header items, less one notice or twenty covered cells per block pair.
        EXPECT_EQ(printed.size(), additional ? 85 - 20 : 85 - 2);
    }
}

TEST(PrintedLabelLines, KeepOnlyTheLinesThatFitTheHeight)
{
    QuotePage page;
    // A number wider than the field is not broken at its hyphens; 65 units hold four lines of Arial 10
    // (line height about 14.9). Labels sized to their text print it on one line.
    const QString notice =
        QString("one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen sixteen ")
            .repeated(5).trimmed();
    const std::tuple<const char *, QString, qsizetype> cases[] = {
        {"Client", "Jane Public", 1}, {"PolicyNum", "POL-ABC-DEF-GHI-JKL-MNO-PQR-STU-VWX-YZA-BCD-EFG", 1},
        {"QRNA1", notice, 4}, {"QRLabel1", page.text("QRLabel1"), 1}, {"QRLabel2", page.text("QRLabel2"), 1},
        {"QRLabel37", page.text("QRLabel37"), 1}};
    for (const auto &[label, text, count] : cases) {
        page.setText(QString::fromLatin1(label), text);
        const QStringList lines = PrintedLabelLines(*page.item(QString::fromLatin1(label)));
        ASSERT_EQ(lines.size(), count) << label;
        if (count == 1) {
            EXPECT_EQ(lines.front(), text.trimmed()) << label;
        }
    }
}

TEST(PaintQuotePage, OverlongTextsLeaveNoInkOutsideTheirFieldsAndTheFooterPrintsAtTheBottom)
{
    QuotePage page;
    FillQuotePage(page, distinctTexts(false));
    page.setText("PolicyType", "");
    page.setText("Client", "Alpha Bravo Charlie Delta Echo Foxtrot Golf Hotel India Juliett Kilo Lima Mike");
    page.setText("PolicyNum", QString(80, u'W'));
    const QImage image = paintedPage(page);
    const QPoint band = QuoteBandOrigin(QuoteBand::Header);
    // Nothing of the client reaches the empty policy-type field below it.
    EXPECT_TRUE(inkIn(image, QRect(band + QPoint(128, 168), QSize(353, 17))));
    EXPECT_FALSE(inkIn(image, QRect(band + QPoint(128, 192), QSize(353, 17))));
    // The policy number, cut short, stops at its right edge (433), short of the premium caption.
    EXPECT_TRUE(inkIn(image, QRect(band + QPoint(420, 144), QSize(13, 17))));
    EXPECT_FALSE(inkIn(image, QRect(band + QPoint(434, 144), QSize(20, 17))));
    // The footer band starts 48 + 88 units above the paper's bottom edge (920): its first label at
    // 920 + 33, its last ending at 920 + 67 + 15.
    EXPECT_EQ(QuoteBandOrigin(QuoteBand::Footer), QPoint(48, 920));
    EXPECT_TRUE(inkIn(image, QRect(72, 953, 673, 15)));
    EXPECT_TRUE(inkIn(image, QRect(72, 987, 673, 15)));
    // Nothing between the disclaimer's bottom (48 + 833) and the footer's first line.
    EXPECT_FALSE(inkIn(image, QRect(0, 882, kPageWidth, 952 - 882)));
    EXPECT_FALSE(inkIn(image, QRect(0, 1003, kPageWidth, kPageHeight - 1003)));
}

// The refund's words where the layout says on a Letter page; an additional premium's without the
// short-rated figures.
TEST(WriteQuotePdf, PutsTextWhereTheLayoutSaysAndHidesTheShortRatedFiguresOfAnAdditionalPremium)
{
    // Each word at the top of its label, and at its left where the label is aligned left; its width in
    // points is the font's advance widths (per 1000 em) times its size.
    const std::tuple<const char *, const char *, double> cases[] = {
        {"Policy", "QRLabel11", 29.46},  // Arial Bold 10: P 667, o 611, l 278, i 278, c 556, y 556
        {"PN-4711", "PolicyNum", 39.46}, // Arial 10: P 667, N 722, - 333, 4 556, 7 556, 1 556, 1 556
        {"REFUND", "QRLabel44", 58.32},  // Arial Bold 14: R 722, E 667, F 611, U 722, N 722, D 722
        {"Harbour", "CoName", 45.34},    // Times New Roman Bold 12: H 778, a 500, r 444, b 556, o 500, u 556, r 444
        {"Quillon", "QRLabel40", 24.90}, // Arial 8: Q 778, u 556, i 222, l 222, l 222, o 556, n 556
        {"licence", "QRLabel43", -1},    {"ACTUAL", "QRLabel46", -1},
    };
    QTemporaryDir dir;
    for (const bool additional : {true, false}) {
        SCOPED_TRACE(additional ? "additional premium" : "refund");
        QuotePage page;
        const QuoteTexts texts = distinctTexts(additional);
        FillQuotePage(page, texts);
        const QString path = dir.filePath(additional ? "addl.pdf" : "refund.pdf");
        ASSERT_TRUE(WriteQuotePdf(path, page));
        const QString text = pdfText(path);
        for (std::size_t i = 0; i < kQuoteFigures.size(); ++i)
            EXPECT_EQ(text.contains(texts.figures[i]), !additional || kQuoteFigures[i].proRated) << i;
        EXPECT_EQ(text.count("This Section not applicable for Additional Premiums"), additional ? 2 : 0);
        EXPECT_TRUE(text.contains(additional ? "Amt Due" : "Refund"));
        if (additional)
            continue;
        EXPECT_TRUE(toolOutput("pdfinfo", {path}).contains(QRegularExpression("Page size:\\s+612 x 792 pts")));
        for (const auto &[word, label, width] : cases) {
            SCOPED_TRACE(word);
            const QRectF box = findWord(path, QString::fromLatin1(word)), expected = pointsBox(page, label);
            EXPECT_NEAR(box.top(), expected.top(), 0.5);
            if (page.item(label)->alignment == Qt::AlignLeft) {
                EXPECT_NEAR(box.left(), expected.left(), 0.5);
            }
            if (width > 0) {
                EXPECT_NEAR(box.width(), width, 0.2);
            }
        }
    }
}

// A paged device is set up as Letter without margins; a path where nothing can be written fails.
TEST(PaintQuotePage, SetsUpAPagedDeviceAsLetterWithoutMarginsAndFailsOnAnUnwritablePath)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("device.pdf");
    QuotePage page;
    page.setText("CoName", "Marker");
    {
        QPdfWriter writer(path);
        writer.setResolution(600);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
        PaintQuotePage(writer, page);
    }
    EXPECT_TRUE(toolOutput("pdfinfo", {path}).contains(QRegularExpression("Page size:\\s+612 x 792 pts")));
    EXPECT_NEAR(findWord(path, "Marker").top(), (48 + 16) * 0.75, 0.5);
    EXPECT_FALSE(WriteQuotePdf(dir.filePath("missing/quote.pdf"), page));
    EXPECT_FALSE(QFile::exists(dir.filePath("missing/quote.pdf")));
    EXPECT_FALSE(WriteQuotePdf(dir.path(), page)) << "a directory";
}

// The page record a saved quote carries. Each row changes the first `from` in a saved record to `to` (`cut`: cuts
// the file that far into it) and gives the reason the file is refused, or, read, the label whose text is `to`.
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
    {"a later version", "record 1\n", "record 3\n",
     "It was saved by a later version of Quillon, whose page record this one cannot read"},
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
    saved.setText("PolicyType", "");
    saved.setEnabled("CoFax", false);
    ASSERT_TRUE(WriteQuotePdf(path, saved));
    const QByteArray pdf = readFile(path);
    const qsizetype start = pdf.indexOf("Quillon quote page record 1\n");
    ASSERT_GT(start, 0);

    // A valid PDF that lists the record as its attached file.
    EXPECT_TRUE(toolOutput("qpdf", {"--check", path}).contains("No syntax or stream encoding errors found"));
    EXPECT_TRUE(toolOutput("qpdf", {"--show-attachment=" + QString::fromLatin1(kPageRecordName), path})
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
            EXPECT_EQ(paintedPage(read.page), paintedPage(expected)) << "drawn as at the save";
        }
    }
    // Office rules add the rules line and make the record version 2; the next quote without them prints as ever.
    QuoteTexts ruled = distinctTexts(false);
    ruled.rules = "Office rules: short rate 90% of pro rata.";
    QuotePage page, plain;
    FillQuotePage(page, ruled);
    FillQuotePage(plain, distinctTexts(false));
    ASSERT_TRUE(WriteQuotePdf(path, page));
    const QByteArray ruledPdf = readFile(path);
    EXPECT_TRUE(ruledPdf.contains("Quillon quote page record 2\n"));
    const PageRecordRead read = ReadQuotePageRecord(ruledPdf);
    EXPECT_EQ(read.error, QString());
    EXPECT_TRUE(read.page.item("QRRules")->enabled);
    EXPECT_EQ(paintedPage(read.page), paintedPage(page));
    EXPECT_NE(paintedPage(page), paintedPage(plain));
    FillQuotePage(page, distinctTexts(false));
    EXPECT_FALSE(page.item("QRRules")->enabled);
    EXPECT_EQ(paintedPage(page), paintedPage(plain));

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
    ASSERT_TRUE(writeFile(table, "term_months,12\ndays,earned_percent\n0-365,50\n"));
    const LocaleSettings c, comma = commaDecimalLocale();
    const int jan1 = DayNumber(std::chrono::year(2024) / 1 / 1);
    struct Case
    {
        const char *name;
        QString shortRate;
        const char *minimum, *fees;
        bool expires; // on 1/1/2025, 366 days on
        const LocaleSettings *locale;
        QString text;
    } const cases[] = {
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

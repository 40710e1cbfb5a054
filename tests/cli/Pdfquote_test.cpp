// The texts quillon-quote --pdf puts on the quote page: the main window's for the same input; and the PDF
// it writes, where every figure lies whole inside its box, a batch's pages drawn as its single page.

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

#include "../report/Guiapp.h"
#include "Pdfbatch.h"
#include "Pdfquote.h"
#include "Quotefile.h"
#include "Shortdate.h"
#include "../support/Reporttest.h"
#include "../support/Testsupport.h"

using namespace quillon;

namespace {

const LocaleSettings kC;
const int kToday = DayNumber(std::chrono::year{2026} / 12 / 7);

QuoteRecord compute(const char *premium, const char *start, const char *end, QuotationType type = QuotationType::Refund)
{
    return MakeQuote({premium, start, end, type}, kC, kToday);
}

const CompanyDetails kCompany{"Harbour Office", {}, {}, {}, {}, {}, {}, {}, {}, "Portland,ME  04101"};

// The words drawn in a label's row that reach into its box: a figure that
// overflowed its box still reaches into it, so it is found and caught.
std::vector<PdfWord> wordsIn(const std::vector<PdfWord> &words, const QRectF &box)
{
    std::vector<PdfWord> found;
    for (const PdfWord &w : words) {
        const qreal middle = w.box.center().y();
        if (middle > box.top() && middle < box.bottom() && w.box.right() > box.left() && w.box.left() < box.right())
            found.push_back(w);
    }
    return found;
}

testing::AssertionResult inside(const QRectF &word, const QRectF &box)
{
    // pdftotext measures a word by its glyphs' advances: a word that fits lies inside to within the rounding.
    constexpr double kSlack = 0.1;
    if (word.left() >= box.left() - kSlack && word.right() <= box.right() + kSlack &&
        word.top() >= box.top() - kSlack && word.bottom() <= box.bottom() + kSlack)
        return testing::AssertionSuccess();
    const auto show = [](const QRectF &r) {
        return QString("[%1..%2 x %3..%4]").arg(r.left()).arg(r.right()).arg(r.top()).arg(r.bottom()).toStdString();
    };
    return testing::AssertionFailure() << show(word) << " outside " << show(box);
}

const char *const kFigureLabels[] = {"PolicyPremium", "PolicyDays", "PolicyStart", "PolicyEnd", "Sr12urate",
    "sr12erate", "sr12unearn", "sr12earn", "sr6urate", "sr6erate", "sr6unearn", "sr6earn", "pr12urate", "pr12erate",
    "pr12unearn", "pr12earn", "pr6urate", "pr6erate", "pr6unearn", "pr6earn"};

// The page quillon-quote --pdf writes for these inputs, with its words.
struct WrittenQuote { QuotePage page; std::vector<PdfWord> words; };

WrittenQuote writeQuote(const QTemporaryDir &dir, const char *premium, const char *start, const char *end,
                        const PolicyEntry &policy = {})
{
    WrittenQuote quote;
    const QuoteRecord outcome = compute(premium, start, end);
    EXPECT_TRUE(outcome.ok()) << outcome.error;
    FillQuotePage(quote.page, QuoteTextsFor(outcome, policy, kCompany));
    const QString path = dir.filePath(QStringLiteral("quote.pdf"));
    EXPECT_TRUE(WriteQuotePdf(path, quote.page));
    quote.words = pdfWords(path);
    return quote;
}

} // namespace

TEST(QuoteTextsFor, CarriesTheWindowTextsOfAHundredDayQuote)
{
    // 100 days; the figures are those of the hand-checked tests/cli/data/mixed.expected.csv.
    const QuoteRecord outcome = compute("1000.00", "1/1/26", "4/11");
    ASSERT_TRUE(outcome.ok());
    const QuoteTexts t = QuoteTextsFor(outcome, {}, kCompany);
    EXPECT_FALSE(t.additionalPremium);
    EXPECT_EQ(t.premium, "$1,000.00");
    EXPECT_EQ(t.start, "1/1/2026") << "the date field's text once left, not what was typed";
    EXPECT_EQ(t.end, "4/11/2026");
    EXPECT_EQ(t.days, "100");
    const std::pair<const char *, const char *> figures[] = {
        {"PR12Earn", "$274.00"}, {"PR12Unearn", "$726.00"}, {"PR12ERate", "0.274"}, {"PR12URate", "0.726"},
        {"PR6Earn", "$546.00"},  {"PR6Unearn", "$454.00"},  {"PR6ERate", "0.546"},  {"PR6URate", "0.454"},
        {"SR12Earn", "$380.00"}, {"SR12Unearn", "$620.00"}, {"SR12ERate", "0.38"},  {"SR12URate", "0.62"},
        {"SR6earn", "$640.00"},  {"SR6Unearn", "$360.00"},  {"SR6ERate", "0.64"},   {"SR6URate", "0.36"},
    };
    for (const auto &[name, text] : figures)
        EXPECT_EQ(t.figure(name), text) << name;
    EXPECT_EQ(t.company.Co, "Harbour Office");
    EXPECT_EQ(t.company.CityLine, "Portland,ME  04101");
}

TEST(QuoteTextsFor, NegativeDayCountLeavesFreshZerosInTheProRatedFields)
{
    const QuoteRecord outcome = compute("(250)", "1/2/2026", "1/1/2026", QuotationType::AdditionalPremium);
    ASSERT_TRUE(outcome.ok());
    const QuoteTexts t = QuoteTextsFor(outcome, {}, kCompany);
    EXPECT_TRUE(t.additionalPremium);
    EXPECT_EQ(t.premium, "($250.00)");
    EXPECT_EQ(t.days, "(1)");
    for (const char *amount : {"PR12Earn", "PR12Unearn", "PR6Earn", "PR6Unearn"})
        EXPECT_EQ(t.figure(amount), "$0.00");
    for (const char *rate : {"PR12ERate", "PR12URate", "PR6ERate", "PR6URate"})
        EXPECT_EQ(t.figure(rate), "0.000");
    EXPECT_EQ(t.figure("SR12Unearn"), "($250.00)") << "short-rated figures are still computed";
    EXPECT_EQ(t.figure("SR6URate"), "1.00");
}

TEST(QuoteTextsFor, KeepsThePolicyNumberInCapitalsAndTheRestAsTyped)
{
    // Letters raised, digits and punctuation kept; accented letters raised too; all empty.
    const std::pair<PolicyEntry, const char *> cases[] = {{{"ab-12c/x", "jane public", "Home owners"}, "AB-12C/X"},
                                                          {{"\xc3\xa9t\xc3\xa9-1", "", ""}, "\xc3\x89T\xc3\x89-1"},
                                                          {{"", "", ""}, ""}};
    const QuoteRecord outcome = compute("100", "1/1/2026", "1/2/2026");
    for (const auto &[policy, number] : cases) {
        const QuoteTexts t = QuoteTextsFor(outcome, policy, kCompany);
        EXPECT_EQ(t.policyNumber, QString::fromUtf8(number));
        EXPECT_EQ(t.client, QString::fromStdString(policy.client));
        EXPECT_EQ(t.policyType, QString::fromStdString(policy.type));
    }
}

TEST(QuotePdf, EveryFigureLiesWholeInsideItsBox)
{
    // Premiums as typed, up to a trillion either way; 108 days, and the
    // seven-digit day counts of the widest dates, forwards and backwards.
    const char *const premiums[] = {"0.01",          "999.99",           "12345678.90",    "250000000", "1000000000",
                                    "999999999999.99", "1000000000000", "(999999999999.99)", "(1000000000000)"};
    const std::pair<const char *, const char *> spans[] = {
        {"1/15/2026", "5/3/2026"}, {"1/1/2001", "12/31/9999"}, {"12/31/9999", "1/1/2001"}};
    QTemporaryDir dir;
    for (const char *premium : premiums) {
        for (const auto &[start, end] : spans) {
            SCOPED_TRACE(std::string(premium) + " from " + start + " to " + end);
            const WrittenQuote quote = writeQuote(dir, premium, start, end);
            ASSERT_FALSE(quote.words.empty());
            for (const char *label : kFigureLabels) {
                SCOPED_TRACE(label);
                const QRectF box = pointsBox(quote.page, label);
                const std::vector<PdfWord> found = wordsIn(quote.words, box);
                ASSERT_EQ(found.size(), 1u) << "one word, the whole figure";
                EXPECT_EQ(found.front().text, quote.page.text(label)) << "the text layer carries the figure whole";
                EXPECT_TRUE(inside(found.front().box, box));
            }
        }
    }
}

TEST(QuotePdf, APremiumDrawnSmallerKeepsTheBaselineOfItsCaption)
{
    QTemporaryDir dir;
    const WrittenQuote quote = writeQuote(dir, "12345678.90", "1/15/2026", "5/3/2026");
    const std::vector<PdfWord> found = wordsIn(quote.words, pointsBox(quote.page, "PolicyPremium"));
    ASSERT_EQ(found.size(), 1u);
    // Liberation Sans (Arial's metrics) puts the baseline 0.905 / 1.117 of
    // a word's box down, whatever its size.
    const std::vector<PdfWord> caption = wordsIn(quote.words, pointsBox(quote.page, "QRLabel20"));
    ASSERT_FALSE(caption.empty());
    const auto baseline = [](const QRectF &r) { return r.top() + r.height() * 0.905 / 1.117; };
    EXPECT_LT(found.front().box.height(), caption.front().box.height()) << "drawn smaller";
    EXPECT_NEAR(baseline(found.front().box), baseline(caption.front().box), 0.15);
}

TEST(QuotePdf, LongPolicyNumbersPrintWholeOrVisiblyCut)
{
    // 28.1 em: wider than 305 units at 10 pt, whole at 8 pt; 62 em: past the 38 em the box holds at 6 pt, cut.
    const std::pair<std::string, bool> cases[] = {{"pol-abc-def-ghi-jkl-mno-pqr-stu-vwx-yza-bcd-efg", true},
                                                  {QString("abc-").repeated(26).toStdString(), false}};
    QTemporaryDir dir;
    for (const auto &[typed, whole] : cases) {
        SCOPED_TRACE(typed);
        const WrittenQuote quote = writeQuote(dir, "100", "1/1/2026", "2/1/2026", {typed, "", ""});
        const QString number = QString::fromStdString(typed).toUpper();
        const QRectF box = pointsBox(quote.page, "PolicyNum");
        const std::vector<PdfWord> found = wordsIn(quote.words, box);
        ASSERT_EQ(found.size(), 1u) << "one line, not broken at a hyphen";
        EXPECT_TRUE(inside(found.front().box, box));
        if (whole) {
            EXPECT_EQ(found.front().text, number);
            continue;
        }
        const QString &cut = found.front().text;
        ASSERT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
        EXPECT_TRUE(number.startsWith(cut.chopped(1))) << cut.toStdString();
        EXPECT_GT(cut.size(), 30) << "the box is used to its width";
    }
}

// A batch's page is the saved quote's, pixel for pixel: another page size or
// margin would move its drawing. The second, laid out as the first.
TEST(QuotePdf, ABatchPageIsDrawnAsTheSavedQuote)
{
    QTemporaryDir dir;
    const QString single = dir.filePath("single.pdf"), batch = dir.filePath("batch.pdf"), rows = dir.filePath("r.csv");
    QuotePage page;
    FillQuotePage(page, QuoteTextsFor(compute("1000", "1/1/2026", "4/11/2026"), {"ab-1", "Client", ""}, kCompany));
    ASSERT_TRUE(WriteQuotePdf(single, page));
    ASSERT_TRUE(writeFile(rows, "premium,start,end,policy_number,client\n"
                                "500,1/1/2026,4/11/2026,,\n"
                                "1000,1/1/2026,4/11/2026,ab-1,Client\n"));
    std::FILE *in = std::fopen(QFile::encodeName(rows).constData(), "rb");
    ASSERT_NE(in, nullptr);
    std::string error;
    EXPECT_EQ(RunBatchPdf(in, QFile::encodeName(batch).toStdString(), {}, kC, kToday, kCompany, false, error), 0)
        << error;
    std::fclose(in);
    const QImage expected = rasterised(single, 150);
    ASSERT_FALSE(expected.isNull());
    EXPECT_TRUE(rasterised(batch, 150, 2) == expected);
}

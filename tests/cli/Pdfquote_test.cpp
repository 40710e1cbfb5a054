// The texts quillon-quote --pdf puts on the quote page: those the main window
// would show for the same input; and the PDF it writes, where every figure
// must lie whole inside its box, a batch's pages drawn as its single page.

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

#include "../report/Guiapp.h"
#include "Pdfbatch.h"
#include "Pdfquote.h"
#include "Quotefile.h"
#include "Shortdate.h"
#include "../support/Testsupport.h"

using namespace quillon;

namespace {

const LocaleSettings kC;
const int kToday = DayNumber(std::chrono::year{2026} / 12 / 7);

QuoteRecord compute(const char *premium, const char *start, const char *end,
                    QuotationType type = QuotationType::Refund)
{
    return MakeQuote({premium, start, end, type}, kC, kToday);
}

CompanyDetails company()
{
    CompanyDetails c;
    c.Co = "Harbour Office";
    c.CityLine = "Portland,ME  04101";
    return c;
}

} // namespace

TEST(QuoteTextsFor, CarriesTheWindowTextsOfAHundredDayQuote)
{
    // 1,000.00 from 1/1/2026 to 4/11/2026: 100 days; the figures are those of
    // the hand-checked batch file (tests/cli/data/mixed.expected.csv).
    const QuoteRecord outcome = compute("1000.00", "1/1/26", "4/11");
    ASSERT_TRUE(outcome.ok());
    const QuoteTexts t = QuoteTextsFor(outcome, {}, company());
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
    for (std::size_t i = 0; i < std::size(figures); ++i)
        EXPECT_EQ(t.figure(figures[i].first), figures[i].second) << figures[i].first;
    EXPECT_EQ(t.company.Co, "Harbour Office");
    EXPECT_EQ(t.company.CityLine, "Portland,ME  04101");
}

TEST(QuoteTextsFor, NegativeDayCountLeavesFreshZerosInTheProRatedFields)
{
    // (250) from 1/2/2026 back to 1/1/2026: one day negative.
    const QuoteRecord outcome = compute("(250)", "1/2/2026", "1/1/2026", QuotationType::AdditionalPremium);
    ASSERT_TRUE(outcome.ok());
    const QuoteTexts t = QuoteTextsFor(outcome, {}, company());
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
    struct Case
    {
        const char *name;
        PolicyEntry policy;
        const char *number, *client, *type;
    };
    const Case cases[] = {
        {"letters raised, digits and punctuation kept", {"ab-12c/x", "jane public", "Home owners"},
         "AB-12C/X", "jane public", "Home owners"},
        {"accented letters raised too", {"\xc3\xa9t\xc3\xa9-1", "", ""}, "\xc3\x89T\xc3\x89-1", "", ""},
        {"all empty", {"", "", ""}, "", "", ""},
    };
    const QuoteRecord outcome = compute("100", "1/1/2026", "1/2/2026");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QuoteTexts t = QuoteTextsFor(outcome, c.policy, company());
        EXPECT_EQ(t.policyNumber, QString::fromUtf8(c.number));
        EXPECT_EQ(t.client, QString::fromUtf8(c.client));
        EXPECT_EQ(t.policyType, QString::fromUtf8(c.type));
    }
}

namespace {

// A label's box on the page, in PDF points.
QRectF boxOf(const QuotePage &page, const char *label)
{
    const QuoteItem *item = page.item(QString::fromLatin1(label));
    const QRectF units(item->rect.translated(QuoteBandOrigin(item->band)));
    return QRectF(units.topLeft() * 0.75, units.size() * 0.75);
}

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

// pdftotext measures a word by its glyphs' advances, so a word that fits
// lies inside to within the rounding of positions in the PDF.
constexpr double kSlack = 0.1;

bool inside(const QRectF &word, const QRectF &box)
{
    return word.left() >= box.left() - kSlack && word.right() <= box.right() + kSlack &&
           word.top() >= box.top() - kSlack && word.bottom() <= box.bottom() + kSlack;
}

std::string describe(const QRectF &r)
{
    return QStringLiteral("[%1..%2 x %3..%4]")
        .arg(r.left())
        .arg(r.right())
        .arg(r.top())
        .arg(r.bottom())
        .toStdString();
}

const char *const kFigureLabels[] = {
    "PolicyPremium", "PolicyDays", "PolicyStart", "PolicyEnd",
    "Sr12urate", "sr12erate", "sr12unearn", "sr12earn", "sr6urate", "sr6erate", "sr6unearn", "sr6earn",
    "pr12urate", "pr12erate", "pr12unearn", "pr12earn", "pr6urate", "pr6erate", "pr6unearn", "pr6earn",
};

// The page quillon-quote --pdf writes for these inputs, with its words.
struct WrittenQuote
{
    QuotePage page;
    std::vector<PdfWord> words;
};

WrittenQuote writeQuote(const QTemporaryDir &dir, const char *premium, const char *start, const char *end,
                        const PolicyEntry &policy = {})
{
    WrittenQuote quote;
    const QuoteRecord outcome = compute(premium, start, end);
    EXPECT_TRUE(outcome.ok()) << outcome.error;
    FillQuotePage(quote.page, QuoteTextsFor(outcome, policy, company()));
    const QString path = dir.filePath(QStringLiteral("quote.pdf"));
    EXPECT_TRUE(WriteQuotePdf(path, quote.page));
    quote.words = pdfWords(path);
    return quote;
}

} // namespace

TEST(QuotePdf, EveryFigureLiesWholeInsideItsBox)
{
    // Premiums as typed, up to a trillion either way; 108 days, and the
    // seven-digit day counts of the widest dates, forwards and backwards.
    const char *const premiums[] = {
        "0.01",          "999.99",          "12345678.90",       "250000000",       "1000000000",
        "999999999999.99", "1000000000000", "(999999999999.99)", "(1000000000000)",
    };
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
                const QString text = quote.page.text(QString::fromLatin1(label));
                const QRectF box = boxOf(quote.page, label);
                const std::vector<PdfWord> found = wordsIn(quote.words, box);
                ASSERT_EQ(found.size(), 1u) << "one word, the whole figure";
                EXPECT_EQ(found.front().text, text) << "the text layer carries the figure whole";
                EXPECT_TRUE(inside(found.front().box, box))
                    << describe(found.front().box) << " outside " << describe(box);
            }
        }
    }
}

TEST(QuotePdf, APremiumDrawnSmallerKeepsTheBaselineOfItsCaption)
{
    QTemporaryDir dir;
    const WrittenQuote quote = writeQuote(dir, "12345678.90", "1/15/2026", "5/3/2026");
    const std::vector<PdfWord> found = wordsIn(quote.words, boxOf(quote.page, "PolicyPremium"));
    ASSERT_EQ(found.size(), 1u);
    // Liberation Sans (Arial's metrics) puts the baseline 0.905 / 1.117 of
    // a word's box down, whatever its size.
    const std::vector<PdfWord> caption = wordsIn(quote.words, boxOf(quote.page, "QRLabel20"));
    ASSERT_FALSE(caption.empty());
    const auto baseline = [](const QRectF &r) { return r.top() + r.height() * 0.905 / 1.117; };
    EXPECT_LT(found.front().box.height(), caption.front().box.height()) << "drawn smaller";
    EXPECT_NEAR(baseline(found.front().box), baseline(caption.front().box), 0.15);
}

TEST(QuotePdf, LongPolicyNumbersPrintWholeOrVisiblyCut)
{
    struct Case
    {
        const char *name;
        const char *typed;
        bool whole;
    };
    const Case cases[] = {
        // 28.1 em: wider than 305 units at 10 pt, whole at 8 pt.
        {"hyphenated number shrinks and stays whole", "pol-abc-def-ghi-jkl-mno-pqr-stu-vwx-yza-bcd-efg", true},
        // 26 groups of ABC-: 62 em, past the 38 em the box holds at 6 pt.
        {"overlong number ends in an ellipsis",
         "abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-abc-",
         false},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const WrittenQuote quote = writeQuote(dir, "100", "1/1/2026", "2/1/2026", {c.typed, "", ""});
        const QString number = QString::fromLatin1(c.typed).toUpper();
        const QRectF box = boxOf(quote.page, "PolicyNum");
        const std::vector<PdfWord> found = wordsIn(quote.words, box);
        ASSERT_EQ(found.size(), 1u) << "one line, not broken at a hyphen";
        EXPECT_TRUE(inside(found.front().box, box)) << describe(found.front().box) << " outside " << describe(box);
        if (c.whole) {
            EXPECT_EQ(found.front().text, number);
            continue;
        }
        const QString &cut = found.front().text;
        ASSERT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
        EXPECT_TRUE(number.startsWith(cut.chopped(1))) << cut.toStdString();
        EXPECT_GT(cut.size(), 30) << "the box is used to its width";
    }
}

namespace {

// One page of a PDF as poppler draws it at 150 dpi, written beside it.
QImage rendered(const QString &pdf, const QString &page)
{
    QProcess process;
    process.start(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-png"), QStringLiteral("-f"), page,
                   QStringLiteral("-l"), page, QStringLiteral("-singlefile"), pdf, pdf});
    process.waitForFinished(30000);
    return QImage(pdf + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

} // namespace

// A batch's page is the saved quote's page, pixel for pixel: another page
// size or margin in either would move its drawing. The batch's second page,
// so that a page asked for after the first is laid out as the first.
TEST(QuotePdf, ABatchPageIsDrawnAsTheSavedQuote)
{
    QTemporaryDir dir;
    const QString single = dir.filePath("single.pdf"), batch = dir.filePath("batch.pdf"), rows = dir.filePath("r.csv");
    QuotePage page;
    FillQuotePage(page, QuoteTextsFor(compute("1000", "1/1/2026", "4/11/2026"), {"ab-1", "Client", ""}, company()));
    ASSERT_TRUE(WriteQuotePdf(single, page));
    ASSERT_TRUE(writeFile(rows, "premium,start,end,policy_number,client\n"
                                "500,1/1/2026,4/11/2026,,\n"
                                "1000,1/1/2026,4/11/2026,ab-1,Client\n"));
    std::FILE *in = std::fopen(QFile::encodeName(rows).constData(), "rb");
    ASSERT_NE(in, nullptr);
    std::string error;
    EXPECT_EQ(RunBatchPdf(in, QFile::encodeName(batch).toStdString(), {}, kC, kToday, company(), false, error), 0)
        << error;
    std::fclose(in);
    const QImage expected = rendered(single, "1"), drawn = rendered(batch, "2");
    ASSERT_FALSE(expected.isNull());
    ASSERT_EQ(drawn.size(), expected.size());
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            differing += drawn.pixel(x, y) != expected.pixel(x, y);
    EXPECT_EQ(differing, 0);
}

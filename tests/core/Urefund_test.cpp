#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "Dispfmt.h"
#include "Localeset.h"
#include "Quote.h"
#include "Shortdate.h"
#include "Urefund.h"

using namespace quillon;

namespace {

using namespace std::chrono;

// Any inception day will do; one away from day 0 catches a calculation that reads only the cancellation day.
constexpr int kInception = 36526; // 1/1/2000

RefundQuote quoteForDays(long double premium, int days)
{
    return CalculateRefundQuote(premium, kInception, kInception + days);
}

enum class Method { ShortRated, ProRated };

const MethodFigures &figuresOf(const RefundQuote &quote, PolicyTerm term, Method method)
{
    const TermResult &result = term == PolicyTerm::ptTwelveMonth ? quote.Term12 : quote.Term6;
    return method == Method::ShortRated ? result.ShortRated : result.ProRated;
}

void expectFigures(const MethodFigures &actual, long double earned, long double unearned,
                   long double earnedRate, long double unearnedRate)
{
    EXPECT_EQ(actual.Earned, earned);
    EXPECT_EQ(actual.Unearned, unearned);
    EXPECT_EQ(actual.EarnedRate, earnedRate);
    EXPECT_EQ(actual.UnearnedRate, unearnedRate);
}

// Every expected figure below was worked by hand in exact rational arithmetic, rounding each step to the 64-bit
// significand, and is written out in full so that the literal is the exact extended value. Short-rate factors
// enter as their single-precision values (0.38f is 0.37999999523162841796875).
struct WorkedCase
{
    const char *name;
    long double premium;
    int days;
    PolicyTerm term;
    Method method;
    long double earned, unearned, earnedRate, unearnedRate;
    const char *shown = nullptr; // amounts and rates as the window shows them, where given
};

constexpr PolicyTerm k12 = PolicyTerm::ptTwelveMonth;
constexpr PolicyTerm k6 = PolicyTerm::ptSixMonth;
constexpr Method kSR = Method::ShortRated;
constexpr Method kPR = Method::ProRated;
constexpr DayRange kIn = DayRange::drInRange, kOver = DayRange::drOverYear, kBack = DayRange::drNegative;

const WorkedCase kWorkedCases[] = {
    {"12-month short-rated 100 days keeps the float factor's error", 1000.0L, 100, k12, kSR,
     379.99999523162841796875L, 620.00000476837158203125L, 0.37999999523162841796875L, 0.62000000476837158203125L,
     "$380.00 $620.00 0.38 0.62"},
    {"6-month short-rated 100 days", 1000.0L, 100, k6, kSR, 639.99998569488525390625L, 360.00001430511474609375L,
     0.63999998569488525390625L, 0.36000001430511474609375L, "$640.00 $360.00 0.64 0.36"},
    // Permille 274: 274 x 0.001 x 1000 lands one ulp under 274, while the rate keeps the unrounded 100/365.
    {"12-month pro-rated 100 days earns the rounded permille", 1000.0L, 100, k12, kPR,
     273.9999999999999999722444243843710864894092082977294921875L, 726.0L,
     0.27397260273972602739466115917554844827463966794312000274658203125L,
     0.7260273972602739726324438951365891625755466520786285400390625L, "$274.00 $726.00 0.274 0.726"},
    {"6-month pro-rated 100 days", 1000.0L, 100, k6, kPR, 546.0L, 454.0L,
     0.5464480874316939890849610661494040186880738474428653717041015625L,
     0.4535519125683060109150389338505959813119261525571346282958984375L, "$546.00 $454.00 0.546 0.454"},
    {"12-month short-rated 1 day", 1000.0L, 1, k12, kSR, 50.0000007450580596923828125L, 949.9999992549419403076171875L,
     0.0500000007450580596923828125L, 0.9499999992549419403076171875L, "$50.00 $950.00 0.05 0.95"},
    {"6-month short-rated 1 day", 1000.0L, 1, k6, kSR, 59.9999986588954925537109375L, 940.0000013411045074462890625L,
     0.0599999986588954925537109375L, 0.9400000013411045074462890625L},
    {"12-month pro-rated 1 day rounds 2.74 permille to 3", 1000.0L, 1, k12, kPR,
     2.99999999999999999978315956550289911319850943982601165771484375L, 997.0L,
     0.002739726027397260273972022580173113492918446354451589286327362060546875L,
     0.997260273972602739704640395501655802945606410503387451171875L, "$3.00 $997.00 0.003 0.997"},
    {"6-month pro-rated 1 day rounds 5.46 permille to 5", 1000.0L, 1, k6, kPR, 5.0L, 995.0L,
     0.00546448087431693989062938209520792209872297462425194680690765380859375L,
     0.994535519125683060114029299114690729766152799129486083984375L, "$5.00 $995.00 0.005 0.995"},
    {"6-month pro-rated 182 days rounds 994.54 permille up", 1000.0L, 182, k6, kPR,
     994.999999999999999944488848768742172978818416595458984375L,
     5.000000000000000055511151231257827021181583404541015625L,
     0.994535519125683060114029299114690729766152799129486083984375L,
     0.005464480874316939885970700885309270233847200870513916015625L, "$995.00 $5.00 0.995 0.005"},
    {"6-month short-rated 182 days uses the last row", 1000.0L, 182, k6, kSR, 1000.0L, 0.0L, 1.0L, 0.0L},
    {"6-month pro-rated 183 days reaches a rate of exactly 1", 1000.0L, 183, k6, kPR,
     999.999999999999999944488848768742172978818416595458984375L,
     0.000000000000000055511151231257827021181583404541015625L, 1.0L, 0.0L},
    {"6-month short-rated 183 days", 1000.0L, 183, k6, kSR, 1000.0L, 0.0L, 1.0L, 0.0L},
    {"6-month pro-rated 184 days is fully earned", 1000.0L, 184, k6, kPR, 1000.0L, 0.0L, 1.0L, 0.0L},
    {"6-month short-rated 184 days is fully earned", 1000.0L, 184, k6, kSR, 1000.0L, 0.0L, 1.0L, 0.0L},
    {"12-month short-rated 184 days still uses the table", 1000.0L, 184, k12, kSR,
     610.00001430511474609375L, 389.99998569488525390625L, 0.61000001430511474609375L, 0.38999998569488525390625L},
    {"12-month pro-rated 184 days", 1000.0L, 184, k12, kPR,
     503.9999999999999999722444243843710864894092082977294921875L,
     496.0000000000000000277555756156289135105907917022705078125L,
     0.5041095890410958903888292981232410738812177442014217376708984375L,
     0.4958904109589041096111707018767589261187822557985782623291015625L},
    {"12-month pro-rated 365 days reaches a rate of exactly 1", 1000.0L, 365, k12, kPR,
     999.999999999999999944488848768742172978818416595458984375L,
     0.000000000000000055511151231257827021181583404541015625L, 1.0L, 0.0L, "$1,000.00 $0.00 1.000 0.000"},
    {"12-month short-rated 365 days", 1000.0L, 365, k12, kSR, 1000.0L, 0.0L, 1.0L, 0.0L},
    {"negative premium flips the short-rated amounts only", -1000.0L, 100, k12, kSR,
     -379.99999523162841796875L, -620.00000476837158203125L, 0.37999999523162841796875L, 0.62000000476837158203125L,
     "($380.00) ($620.00) 0.38 0.62"},
    {"negative premium flips the pro-rated amounts only", -1000.0L, 100, k12, kPR,
     -273.9999999999999999722444243843710864894092082977294921875L, -726.0L,
     0.27397260273972602739466115917554844827463966794312000274658203125L,
     0.7260273972602739726324438951365891625755466520786285400390625L},
    {"zero premium gives zero amounts and the usual rates", 0.0L, 100, k6, kSR,
     0.0L, 0.0L, 0.63999998569488525390625L, 0.36000001430511474609375L},
    // 1e30L is 1000000000000000000024696061952 exactly.
    {"very large premium short-rated", 1e30L, 100, k12, kSR,
     379999995231628417972106690560.0L, 620000004768371582052589371392.0L,
     0.37999999523162841796875L, 0.62000000476837158203125L},
    {"very large premium pro-rated", 1e30L, 100, k12, kPR,
     273999999999999999998657822720.0L, 726000000000000000026038239232.0L,
     0.27397260273972602739466115917554844827463966794312000274658203125L,
     0.7260273972602739726324438951365891625755466520786285400390625L},
};

TEST(CalculateRefundQuote, MatchesHandWorkedFigures)
{
    for (const WorkedCase &c : kWorkedCases) {
        SCOPED_TRACE(c.name);
        const RefundQuote quote = quoteForDays(c.premium, c.days);
        EXPECT_EQ(quote.Days, c.days);
        const MethodFigures &figures = figuresOf(quote, c.term, c.method);
        expectFigures(figures, c.earned, c.unearned, c.earnedRate, c.unearnedRate);
        if (!c.shown)
            continue;
        // Stored unrounded, the figures must still show the round values a clerk expects.
        const std::string_view rate = c.method == kSR ? kShortRateFormat : kProRataFormat;
        const auto show = [](long double figure, std::string_view format) { return FormatText(figure, format, {}); };
        EXPECT_EQ(show(figures.Earned, kAmountFormat) + " " + show(figures.Unearned, kAmountFormat) + " "
                      + show(figures.EarnedRate, rate) + " " + show(figures.UnearnedRate, rate),
                  c.shown);
    }
}

// The range and the pro-rated flags decide what the window shows, so they get their own table. The 6-month
// limit of 183 days must not leak into Range.
struct RangeCase { const char *name; int inception, cancellation, days; DayRange range; bool proRatedSet; };

const RangeCase kRangeCases[] = {
    {"same day", 36526, 36526, 0, kIn, true}, {"one day", 36526, 36527, 1, kIn, true},
    {"184 days is past the 6-month term but in range", 36526, 36710, 184, kIn, true},
    {"365 days is the last in range", 36526, 36891, 365, kIn, true},
    {"366 days is over a year", 36526, 36892, 366, kOver, true},
    {"cancelled the day before inception", 36527, 36526, -1, kBack, false},
    {"a year backwards", 36892, 36526, -366, kBack, false},
    {"whole calendar range forwards", kFirstDayNumber, kLastDayNumber, 3652058, kOver, true},
    {"whole calendar range backwards", kLastDayNumber, kFirstDayNumber, -3652058, kBack, false},
    {"days either side of day 0", -10, 10, 20, kIn, true},
    // Leap days count like any other day: a calendar year holding 29 February is over the limit.
    {"year ending on 1/1/2000 has no leap day", 36161, 36526, 365, kIn, true},
    {"year 2000 holds 29 February", 36526, 36892, 366, kOver, true},
    {"1900 was not a leap year", 61, 426, 365, kIn, true},
    {"year across 29 February 2024", DayNumber(year{2023} / 3 / 1), DayNumber(year{2024} / 3 / 1), 366, kOver, true},
    {"leap day to the next 28 February", 45351, DayNumber(year{2025} / 2 / 28), 365, kIn, true},
};

TEST(CalculateRefundQuote, ClassifiesTheDayCount)
{
    for (const RangeCase &c : kRangeCases) {
        SCOPED_TRACE(c.name);
        const RefundQuote quote = CalculateRefundQuote(1000.0L, c.inception, c.cancellation);
        EXPECT_EQ(quote.Days, c.days);
        EXPECT_EQ(quote.Range, c.range);
        EXPECT_EQ(quote.Term12.ProRatedSet, c.proRatedSet);
        EXPECT_EQ(quote.Term6.ProRatedSet, c.proRatedSet);
    }
}

// Figures that need no rate: a policy cancelled on its first day earns nothing, one over a year old earns
// everything, whatever the premium, and a negative count earns nothing short-rated (pro rata is not worked).
TEST(CalculateRefundQuote, GivesWholeFiguresOutsideTheTerms)
{
    const struct { std::vector<int> days; bool earned; std::vector<Method> methods; } cases[] = {
        {{0}, false, {kSR, kPR}}, {{366, 367, 1000, kLastDayNumber - kFirstDayNumber}, true, {kSR, kPR}},
        {{-1, -100, -366}, false, {kSR}},
    };
    for (const auto &c : cases)
        for (const int days : c.days)
            for (const long double premium : {1000.0L, -250.5L, 1e30L, 1234.56L}) {
                SCOPED_TRACE("days " + std::to_string(days) + ", premium " + std::to_string(double(premium)));
                const RefundQuote quote = quoteForDays(premium, days);
                for (const PolicyTerm term : {k12, k6})
                    for (const Method method : c.methods)
                        expectFigures(figuresOf(quote, term, method), c.earned ? premium : 0.0L,
                                      c.earned ? 0.0L : premium, c.earned ? 1.0L : 0.0L, c.earned ? 0.0L : 1.0L);
            }
}

TEST(CalculateRefundQuote, VeryLargePremiumStaysFinite)
{
    for (const int days : {0, 1, 100, 183, 365, 366, -1}) {
        const RefundQuote quote = quoteForDays(1e4000L, days);
        for (const TermResult *term : {&quote.Term12, &quote.Term6})
            for (const MethodFigures *f : {&term->ShortRated, &term->ProRated})
                for (const long double figure : {f->Earned, f->Unearned, f->EarnedRate, f->UnearnedRate}) {
                    EXPECT_TRUE(std::isfinite(figure) || (f == &term->ProRated && !term->ProRatedSet))
                        << figure << " at " << days << " days";
                }
    }
}

// Each of the sixteen combinations of term, method, side and kind names a figure of its own that is it.
TEST(QuoteFigureOf, FindsEachCombinationsOwnFigure)
{
    std::set<std::string_view> found;
    for (const int months : {12, 6})
        for (const bool proRated : {true, false})
            for (const bool unearned : {true, false})
                for (const bool rate : {true, false}) {
                    const QuoteFigure &f = QuoteFigureOf(months, proRated, unearned, rate);
                    EXPECT_EQ(std::tuple(f.months, f.proRated, f.unearned, f.rate), std::tuple(months, proRated, unearned, rate));
                    found.insert(f.name);
                }
    EXPECT_EQ(found.size(), kQuoteFigures.size());
}

// A figure copied out of the list is not in it: its format is found by its own text (and a rate's copy given
// the amount format takes that one).
TEST(FigureFormat, FollowsTheFigureInTheListAndOutOfIt)
{
    for (const QuoteFigure &figure : kQuoteFigures) {
        SCOPED_TRACE(std::string(figure.name));
        QuoteFigure copy = figure;
        EXPECT_EQ(FigureFormat(figure).text(), figure.format);
        EXPECT_EQ(FigureFormat(copy).text(), figure.format);
        copy.format = kAmountFormat;
        EXPECT_EQ(FigureFormat(copy).text(), kAmountFormat);
    }
}

} // namespace

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>

#include "Messages.h"
#include "Quote.h"
#include "Ratetable.h"
#include "Rules.h"
#include "Shortdate.h"

using namespace quillon;
using namespace std::chrono;

namespace {

int day(year_month_day date) { return DayNumber(date); }

RuleSet rulesOf(const char *shortRate, const char *minimum, const char *fees, std::optional<int> expires)
{
    const LocaleSettings c;
    RuleSet rules;
    rules.shortRate = *ParseShortRateRule(shortRate, c).value;
    rules.minimumEarned = *ParseMinimumEarned(minimum, c).value;
    rules.fees = *ParseFees(fees, c).value;
    rules.expirationDay = expires;
    return rules;
}

const int kJan1 = day(2026y / 1 / 1);

// Worked by hand from the arithmetic the README states, from `start` to `days` later. `shown` is the seven figures
// PR12Earn to SR6earn as in the test below, "_" for one left empty (not worked); a refused quote shows none. The
// 12-month column is the policy's own term under an expiration date.
struct WorkedCase
{
    const char *name, *premium;
    int days;
    const char *shortRate, *minimum, *fees;
    std::optional<int> expires;
    const char *shown, *error = "";
    int start = kJan1;
};

const char kFeesOver[] = "The fully earned fees are more than the premium. Please check the fees";

const WorkedCase kWorked[] = {
    {"90% of pro rata", "1000", 100, "90%", "", "", {}, "$274.00 $726.00 $346.60 $653.40 0.65 $546.00 $591.40"},
    {"100% of pro rata", "1000", 100, "100%", "", "", {}, "$274.00 $726.00 $274.00 $726.00 0.73 $546.00 $546.00"},
    {"0% of pro rata", "1000", 100, "0%", "", "", {}, "$274.00 $726.00 $1,000.00 $0.00 0.00 $546.00 $1,000.00"},
    {"share: a negative count earns nothing", "1000", -1, "90%", "", "", {}, "_ _ $0.00 $1,000.00 1.00 _ $0.00"},
    {"fees off, then earned", "1000", 100, "", "", "25", {}, "$292.15 $707.85 $395.50 $604.50 0.62 $557.35 $649.00"},
    {"fees = premium", "1000", 100, "", "", "1000", {}, "$1,000.00 $0.00 $1,000.00 $0.00 0.62 $1,000.00 $1,000.00"},
    {"fees over the premium refused", "100", 100, "", "", "100.01", {}, "", kFeesOver},
    {"any fee on a zero premium refused", "0", 100, "", "", "1", {}, "", kFeesOver},
    // 0.15f is a hair above 0.15, so the 6-month short rate is not raised.
    {"minimum 150 raises", "1000", 10, "", "150", "", {}, "$150.00 $850.00 $150.00 $850.00 0.90 $150.00 $150.00"},
    {"minimum 25%", "1000", 10, "", "25%", "", {}, "$250.00 $750.00 $250.00 $750.00 0.90 $250.00 $250.00"},
    {"minimum 10%, larger stay", "1000", 10, "", "10%", "", {}, "$100.00 $900.00 $100.00 $900.00 0.90 $100.00 $150.00"},
    {"minimum above the premium", "100", 10, "", "150", "", {}, "$100.00 $0.00 $100.00 $0.00 0.90 $100.00 $100.00"},
    {"no minimum on a negative premium", "-1000", 100, "", "150", "", {},
     "($274.00) ($726.00) ($380.00) ($620.00) 0.62 ($546.00) ($640.00)"},
    {"all three rules", "1000", 10, "90%", "200", "50", {}, "$200.00 $800.00 $200.00 $800.00 0.88 $200.00 $200.00"},
    // 2024 is a leap year: 366 days, still 12 months, so the 12-month table.
    {"term across 29 February: 183 of 366 days", "1000", 183, "", "", "", day(2025y / 1 / 1),
     "$500.00 $500.00 $610.00 $390.00 0.39 _ _", "", day(2024y / 1 / 1)},
    {"the last day of a 366-day term", "1000", 366, "", "", "", day(2025y / 1 / 1),
     "$1,000.00 $0.00 $1,000.00 $0.00 0.00 _ _", "", day(2024y / 1 / 1)},
    {"228 days, no table: short rate empty", "1000", 100, "", "", "", kJan1 + 228, "$439.00 $561.00 _ _ _ _ _"},
    {"228 days, 90% of pro rata", "1000", 100, "90%", "", "", kJan1 + 228, "$439.00 $561.00 $495.10 $504.90 0.51 _ _"},
    {"cancelled after expiry", "1000", 200, "", "", "", kJan1 + 181, "$1,000.00 $0.00 $1,000.00 $0.00 0.00 _ _"},
    {"expiration on the inception day refused", "1000", 10, "", "", "", kJan1, "",
     "The expiration date must be after the policy effective date"},
};

TEST(CalculateRuledQuote, GivesTheHandWorkedFigures)
{
    const LocaleSettings c;
    for (const WorkedCase &w : kWorked) {
        SCOPED_TRACE(w.name);
        QuoteRecord record;
        FillQuoteRecord(*ParseAmount(w.premium, c), w.start, w.start + w.days,
                        rulesOf(w.shortRate, w.minimum, w.fees, w.expires), c, record);
        EXPECT_EQ(record.error, *w.error ? Messages::ErrorDisplayText(w.error) : "");
        std::string shown;
        for (const char *name : {"PR12Earn", "PR12Unearn", "SR12Earn", "SR12Unearn", "SR12URate", "PR6Earn", "SR6earn"})
            for (const QuoteFigure &figure : kQuoteFigures)
                if (record.ok() && figure.name == name) {
                    const std::string text(ShownFigureText(record, figure));
                    shown += (shown.empty() ? "" : " ") + (text.empty() ? "_" : text);
                }
        EXPECT_EQ(shown, w.shown);
    }
}

TEST(CalculateRuledQuote, SaysWhatTheRulesDid)
{
    const RuledQuote raised = CalculateRuledQuote(1000.0L, kJan1, kJan1 + 10, rulesOf("", "150", "", {}));
    EXPECT_TRUE(raised.outcome.terms[0].minimumRaisedProRated && raised.outcome.terms[0].minimumRaisedShortRated);
    EXPECT_FALSE(raised.outcome.terms[1].minimumRaisedShortRated); // 0.15f x 1000 is above 150
    const RuledQuote odd = CalculateRuledQuote(1000.0L, kJan1, kJan1 + 10, rulesOf("", "", "", kJan1 + 228));
    EXPECT_EQ(odd.outcome.terms[0].shortRateEmpty, Messages::Rules::NoTableForDays(228));
    EXPECT_FALSE(odd.outcome.terms[1].worked);
    const RuledQuote late = CalculateRuledQuote(1000.0L, kJan1, kJan1 + 200, rulesOf("", "", "", kJan1 + 181));
    EXPECT_EQ(late.outcome.rangeMessage, Messages::Rules::kAfterExpiration);
}

TEST(WholeMonthsBetween, CountsCalendarMonthsWithTheLastDayForAMissingOne)
{
    struct Case { const char *name; int from, to, months; };
    const Case cases[] = {
        {"a year", kJan1, day(2027y / 1 / 1), 12},
        {"29 February to 28 February", day(2024y / 2 / 29), day(2025y / 2 / 28), 12},
        {"29 February to 1 March is not", day(2024y / 2 / 29), day(2025y / 3 / 1), 0},
        {"31 January to 29 February", day(2024y / 1 / 31), day(2024y / 2 / 29), 1},
        {"six months from 1 July", day(2025y / 7 / 1), day(2026y / 1 / 1), 6},
        {"a day short", kJan1, day(2026y / 6 / 30), 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(WholeMonthsBetween(c.from, c.to), c.months) << c.name;
}

// The built-in rules through the general path (a minimum of 0 raises nothing) against the plain calculation, bit
// for bit, over many quotes.
TEST(CalculateRuledQuote, AgreesWithThePlainCalculationUnderTheBuiltInRules)
{
    const RuleSet generalPath = rulesOf("", "0", "", {});
    const RuleSet plain;
    const auto same = [](const MethodFigures &a, const MethodFigures &b) {
        const long double x[] = {a.Earned, a.Unearned, a.EarnedRate, a.UnearnedRate};
        const long double y[] = {b.Earned, b.Unearned, b.EarnedRate, b.UnearnedRate};
        for (int i = 0; i < 4; ++i)
            if (!(x[i] == y[i] && std::signbit(x[i]) == std::signbit(y[i])))
                return false;
        return true;
    };
    for (const long double premium : {0.0L, 1000.0L, 1234.56L, -987.65L, 0.01L, 1e15L, 333.33L})
        for (int days = -3; days <= 400; ++days) {
            const RefundQuote today = CalculateRefundQuote(premium, 45000, 45000 + days);
            for (const RuleSet *rules : {&plain, &generalPath}) {
                const RuledQuote ruled = CalculateRuledQuote(premium, 45000, 45000 + days, *rules);
                ASSERT_EQ(ruled.error, "");
                ASSERT_EQ(ruled.quote.Range, today.Range);
                for (const auto term : {&RefundQuote::Term12, &RefundQuote::Term6}) {
                    const TermResult &a = ruled.quote.*term, &b = today.*term;
                    ASSERT_TRUE(same(a.ShortRated, b.ShortRated) && a.ProRatedSet == b.ProRatedSet
                                && (!b.ProRatedSet || same(a.ProRated, b.ProRated)))
                        << double(premium) << " " << days;
                }
            }
        }
}

TEST(ShortRateTable, ShippedFilesAreTheBuiltInTables)
{
    for (const int months : {12, 6}) {
        const TableRead read =
            LoadShortRateTable(std::string(QUILLON_TABLES_DIR "/short-rate-") + std::to_string(months) + ".csv");
        ASSERT_TRUE(read.table) << read.error;
        const auto builtIn = ShortRateTable(months == 12 ? PolicyTerm::ptTwelveMonth : PolicyTerm::ptSixMonth);
        ASSERT_EQ(read.table->rows.size(), builtIn.size());
        for (std::size_t i = 0; i < builtIn.size(); ++i)
            EXPECT_TRUE(read.table->rows[i].LastDay == builtIn[i].LastDay
                        && read.table->rows[i].Factor == builtIn[i].Factor) << i;
    }
}

// Each refused whole, with its first faulty line and the reason.
TEST(ParseShortRateTable, RefusesMalformedTablesWithLineAndReason)
{
    const std::string head = "# a carrier's table\nterm_months,1\ndays,earned_percent\n";
    struct Case { const char *name; std::string text; const char *error; };
    const Case cases[] = {
        {"no term line", "days,earned_percent\n0,0\n", "t, line 1: the table must begin with term_months"},
        {"term of 0 months", "term_months,0\n", "t, line 1: the table must begin"},
        {"no header", "term_months,1\n0,0\n", "t, line 2: the line after term_months"},
        {"no rows", head, "t, line 3: the table has no rows"},
        {"not from day 0", head + "1,5\n", "t, line 4: the first row must begin at day 0"},
        {"a gap", head + "0,0\n1-4,5\n7-30,9\n", "t, line 6: days 5 to 6 are missing"},
        {"an overlap", head + "0,0\n1-4,5\n4-30,9\n", "t, line 6: day 4 is already in the row before"},
        {"falling", head + "0,0\n1-4,5\n5-30,4\n", "t, line 6: the earned percentage is below"},
        {"over 100", head + "0,0\n1-30,100.01\n", "t, line 5: '100.01' is not an earned percentage"},
        {"three decimals", head + "0,0\n1-30,5.125\n", "t, line 5: '5.125' is not an earned percentage"},
        {"a range backwards", head + "0,0\n4-1,5\n", "t, line 5: '4-1' is not a day count"},
        {"three fields", head + "0,0,0\n", "t, line 4: '0,0,0' is not a row of two fields"},
        {"an empty field between", head + "0,,0\n", "t, line 4: '0,,0' is not a row of two fields"},
        {"short of its term", head + "0,0\n1-29,50\n", "t, line 5: the rows end at day 29, short of the 30 days"},
    };
    for (const Case &c : cases) {
        const TableRead read = ParseShortRateTable(c.text, "t");
        EXPECT_FALSE(read.table) << c.name;
        EXPECT_EQ(read.error.rfind(c.error, 0), 0u) << c.name << ": " << read.error;
    }
    const TableRead good = ParseShortRateTable("\xEF\xBB\xBF" + head + " 0 , 0 \r\n1-30, 12.5\r\n", "t");
    ASSERT_TRUE(good.table) << good.error;
    EXPECT_EQ(good.table->factor(30), 0.125f);
}

TEST(ParseRules, ReadsTheTextsTheyWriteAndRefusesOthers)
{
    const LocaleSettings c;
    struct Case { const char *name, *shortRate, *minimum, *fees, *error; };
    const Case cases[] = {
        {"defaults", "", "", "", nullptr}, {"shares and amounts", "87.5%", "$1,150.50", "25", nullptr},
        {"a share over 100%", "110%", "", "", "'110%' is not a short-rate rule"},
        {"a share without its %", "90", "", "", "'90' is not a short-rate rule"},
        {"a missing table file", "no-such-table.csv", "", "",
         "no-such-table.csv: the file cannot be read: No such file or directory"},
        {"a minimum over 100%", "", "101%", "", "'101%' is not a minimum earned premium"},
        {"a negative minimum", "", "-5", "", "'-5' is not a minimum earned premium"},
        {"negative fees", "", "", "-1", "'-1' is not an amount of fees"},
        {"fees in words", "", "", "ten", "'ten' is not an amount of fees"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        const auto s = ParseShortRateRule(k.shortRate, c);
        const auto m = ParseMinimumEarned(k.minimum, c);
        const auto f = ParseFees(k.fees, c);
        const std::string error = s.error + m.error + f.error;
        if (k.error) {
            EXPECT_EQ(error.rfind(k.error, 0), 0u) << error;
            continue;
        }
        ASSERT_EQ(error, "");
        const RuleSet rules{*s.value, *m.value, *f.value, {}};
        const RuleTexts texts = TextsOf(rules);
        const RuleSet again = rulesOf(texts.shortRate.c_str(), texts.minimumEarned.c_str(), texts.fees.c_str(), {});
        const RuleTexts back = TextsOf(again);
        EXPECT_EQ(back.shortRate + back.minimumEarned + back.fees, texts.shortRate + texts.minimumEarned + texts.fees);
    }
    EXPECT_EQ(TextsOf(rulesOf("87.5%", "$1,150.50", "25", {})).minimumEarned, "1150.50");
}

} // namespace

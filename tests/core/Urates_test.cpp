#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <span>
#include <string>

#include "Urates.h"

using namespace quillon;

namespace {

constexpr PolicyTerm k12 = PolicyTerm::ptTwelveMonth, k6 = PolicyTerm::ptSixMonth;

struct Term { const char *name; PolicyTerm term; int fullFrom; }; // fullFrom: the first day earning the whole premium

const Term kTerms[] = {{"12-month", k12, 361}, {"6-month", k6, 181}};

// What a clerk reads off a rate card: no row missing or doubled, each day count in one row, each factor a
// two-decimal figure one hundredth above the row before, and the whole premium earned from near the term on (the
// 6-month table runs on to 365 in one wide row).
TEST(ShortRateTable, RowsCoverEveryDayOnceAndRiseByAHundredthToTheWholePremium)
{
    for (const Term &t : kTerms) {
        SCOPED_TRACE(t.name);
        const std::span<const ShortRateRow> rows = ShortRateTable(t.term);
        ASSERT_GT(rows.size(), 2u);
        EXPECT_EQ(rows.front().FirstDay, 0);
        EXPECT_EQ(rows.front().LastDay, 0);
        EXPECT_EQ(rows.front().Factor, 0.0f);
        EXPECT_EQ(rows.back().FirstDay, t.fullFrom);
        EXPECT_EQ(rows.back().LastDay, 365);
        EXPECT_EQ(rows.back().Factor, 1.0f);
        for (std::size_t i = 1; i < rows.size(); ++i) {
            SCOPED_TRACE("row " + std::to_string(i));
            EXPECT_LE(rows[i].FirstDay, rows[i].LastDay);
            EXPECT_EQ(rows[i].FirstDay, rows[i - 1].LastDay + 1);
            // Exact on purpose: the float nearest the two-decimal figure, not one built by adding 0.01 repeatedly.
            const int hundredths = int(std::lround(rows[i].Factor * 100.0f));
            EXPECT_EQ(rows[i].Factor, static_cast<float>(hundredths) / 100.0f);
            if (i > 1) {
                EXPECT_EQ(hundredths, std::lround(rows[i - 1].Factor * 100.0f) + 1);
            }
        }
    }
}

struct FactorCase { const char *name; PolicyTerm term; int days; float factor; };

const FactorCase kFactorCases[] = {
    {"12-month 0 days earns nothing", k12, 0, 0.0f}, {"12-month 1 day", k12, 1, 0.05f},
    {"12-month 2 days", k12, 2, 0.06f}, {"12-month 3 days opens a two-day row", k12, 3, 0.07f},
    {"12-month 4 days closes it", k12, 4, 0.07f}, {"12-month 22 days", k12, 22, 0.16f},
    {"12-month 23 days starts a three-day row", k12, 23, 0.17f}, {"12-month 25 days still in it", k12, 25, 0.17f},
    {"12-month 26 days", k12, 26, 0.18f}, {"12-month 100 days (the README's fees example)", k12, 100, 0.38f},
    {"12-month 183 days", k12, 183, 0.61f}, {"12-month 360 days", k12, 360, 0.99f},
    {"12-month 361 days", k12, 361, 1.00f}, {"12-month 365 days", k12, 365, 1.00f},
    {"6-month 0 days earns nothing", k6, 0, 0.0f}, {"6-month 1 day", k6, 1, 0.06f},
    {"6-month 12 days, last single day", k6, 12, 0.17f}, {"6-month 13 days", k6, 13, 0.18f},
    {"6-month 21 days alone", k6, 21, 0.22f}, {"6-month 22 days", k6, 22, 0.23f}, {"6-month 100 days", k6, 100, 0.64f},
    {"6-month 178 days", k6, 178, 0.99f}, {"6-month 180 days", k6, 180, 0.99f}, {"6-month 181 days", k6, 181, 1.00f},
    {"6-month 183 days", k6, 183, 1.00f}, {"6-month 365 days, end of the wide row", k6, 365, 1.00f},
    {"12-month one day negative", k12, -1, 0.0f}, {"6-month one day negative", k6, -1, 0.0f},
    {"12-month a year negative", k12, -365, 0.0f}, {"12-month most negative int", k12, INT_MIN, 0.0f},
    {"12-month 366 days is past the table", k12, 366, 0.0f}, {"6-month 366 days is past the table", k6, 366, 0.0f},
    {"12-month largest int", k12, INT_MAX, 0.0f}, {"6-month largest int", k6, INT_MAX, 0.0f},
};

TEST(ShortRateFactor, GivesThePrintedFactors)
{
    for (const FactorCase &c : kFactorCases)
        EXPECT_EQ(ShortRateFactor(c.term, c.days), c.factor) << c.name;
}

// Every day count the table holds: a refund never grows as the policy stays longer in force, the whole premium is
// earned only at the term, and each day earns the factor of the row that holds it.
TEST(ShortRateFactor, RisesWithTheDaysAndReachesTheWholePremiumAtTheTerm)
{
    for (const Term &t : kTerms) {
        SCOPED_TRACE(t.name);
        for (int days = 1; days <= 365; ++days) {
            SCOPED_TRACE("days " + std::to_string(days));
            const float factor = ShortRateFactor(t.term, days);
            EXPECT_GE(factor, ShortRateFactor(t.term, days - 1));
            EXPECT_GT(factor, 0.0f);
            EXPECT_EQ(factor == 1.0f, days >= t.fullFrom);
            for (const ShortRateRow &row : ShortRateTable(t.term))
                EXPECT_TRUE(days < row.FirstDay || row.LastDay < days || factor == row.Factor)
                    << factor << ", not the factor of the row that holds the day, " << row.Factor;
        }
    }
}

} // namespace

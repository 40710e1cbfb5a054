#include <gtest/gtest.h>

#include <climits>
#include <span>
#include <string>
#include <vector>

#include "Urates.h"

using namespace quillon;

namespace {

// The last day of each row, read off the printed rate cards column by column.
// The first days and the factors follow from the invariants checked below
// (contiguous rows, factors rising by 0.01 from the second row), so these
// lists together with those checks pin down every row.
const std::vector<int> kPrintedLastDays12 = {
    0, 1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 25, 29, 32, 36, 40, 43, 47, 51, 54, 58, 62, 65,
    69, 73, 76, 80, 83, 87, 91, 94, 98, 102, 105, 109, 113, 116, 120, 124, 127, 131, 135, 138,
    142, 146, 149, 153, 156,
    160, 164, 167, 171, 175, 178, 182, 187, 191, 196, 200, 205, 209, 214, 218, 223, 228, 232,
    237, 241, 246, 250, 255, 260, 264,
    269, 273, 278, 282, 287, 291, 296, 301, 305, 310, 314, 319, 323, 328, 332, 337, 342, 346,
    351, 355, 360, 365,
};
const std::vector<int> kPrintedLastDays6 = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 21, 23, 25, 27, 29, 31, 32,
    34, 36, 38, 40, 41, 43, 45, 47, 49, 51, 52, 54, 56, 58, 60, 62, 63, 65, 67, 69, 71, 73, 74, 76,
    78, 80, 82, 83, 85, 87, 89, 91, 93, 95, 98, 100, 102, 104, 107, 109, 111, 114, 116, 118, 120,
    123, 125, 127,
    130, 132, 134, 136, 139, 141, 143, 145, 148, 150, 152, 155, 157, 159, 161, 164, 166, 168,
    171, 173, 175, 177, 180, 365,
};

struct PrintedTable
{
    const char *name;
    PolicyTerm term;
    const std::vector<int> *lastDays;
    int firstFactorHundredths; // the factor of the row after day 0, in hundredths
};

const PrintedTable kPrintedTables[] = {
    {"12-month", PolicyTerm::ptTwelveMonth, &kPrintedLastDays12, 5},
    {"6-month", PolicyTerm::ptSixMonth, &kPrintedLastDays6, 6},
};

// The float nearest to hundredths/100. Both operands are exact floats and IEEE
// division rounds correctly, so this is the same value as the literal 0.NNf.
float twoDecimalFloat(int hundredths)
{
    return static_cast<float>(hundredths) / 100.0f;
}

// The printed factor for a day count, by scanning the printed boundaries.
float printedFactor(const PrintedTable &table, int days)
{
    const std::vector<int> &last = *table.lastDays;
    for (std::size_t row = 0; row < last.size(); ++row) {
        if (days <= last[row])
            return row == 0 ? 0.0f : twoDecimalFloat(table.firstFactorHundredths + int(row) - 1);
    }
    return 0.0f;
}

TEST(ShortRateTable, RowsMatchThePrintedTable)
{
    for (const PrintedTable &printed : kPrintedTables) {
        SCOPED_TRACE(printed.name);
        const std::span<const ShortRateRow> rows = ShortRateTable(printed.term);
        ASSERT_EQ(rows.size(), printed.lastDays->size());
        int expectedFirst = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE("row " + std::to_string(i));
            EXPECT_EQ(rows[i].FirstDay, expectedFirst);
            EXPECT_EQ(rows[i].LastDay, (*printed.lastDays)[i]);
            const float expectedFactor =
                i == 0 ? 0.0f : twoDecimalFloat(printed.firstFactorHundredths + int(i) - 1);
            // Exact comparison on purpose: a factor must be the float nearest its
            // two-decimal figure, not a value built by adding 0.01 repeatedly.
            EXPECT_EQ(rows[i].Factor, expectedFactor);
            expectedFirst = rows[i].LastDay + 1;
        }
    }
}

TEST(ShortRateTable, RowsAreContiguousAndCoverZeroTo365)
{
    for (const PrintedTable &printed : kPrintedTables) {
        SCOPED_TRACE(printed.name);
        const std::span<const ShortRateRow> rows = ShortRateTable(printed.term);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.front().FirstDay, 0);
        EXPECT_EQ(rows.front().LastDay, 0);
        EXPECT_EQ(rows.front().Factor, 0.0f);
        EXPECT_EQ(rows.back().LastDay, 365);
        EXPECT_EQ(rows.back().Factor, 1.0f);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE("row " + std::to_string(i));
            EXPECT_LE(rows[i].FirstDay, rows[i].LastDay);
            if (i > 0) {
                EXPECT_EQ(rows[i].FirstDay, rows[i - 1].LastDay + 1);
            }
        }
    }
}

TEST(ShortRateTable, RowCountsAndSixMonthLastRow)
{
    EXPECT_EQ(ShortRateTable12().size(), 97u);
    EXPECT_EQ(ShortRateTable6().size(), 96u);
    // The 6-month table runs on to 365 in one wide row although the
    // calculation only reaches it for 181 to 183 days.
    const ShortRateRow last6 = ShortRateTable6().back();
    EXPECT_EQ(last6.FirstDay, 181);
    EXPECT_EQ(last6.LastDay, 365);
    EXPECT_EQ(last6.Factor, 1.0f);
}

TEST(ShortRateTable, SelectsTheTableOfTheTerm)
{
    EXPECT_EQ(ShortRateTable(PolicyTerm::ptTwelveMonth).data(), ShortRateTable12().data());
    EXPECT_EQ(ShortRateTable(PolicyTerm::ptSixMonth).data(), ShortRateTable6().data());
}

struct FactorCase
{
    const char *name;
    PolicyTerm term;
    int days;
    float factor;
};

const FactorCase kFactorCases[] = {
    {"12-month 0 days earns nothing", PolicyTerm::ptTwelveMonth, 0, 0.0f},
    {"12-month 1 day", PolicyTerm::ptTwelveMonth, 1, 0.05f},
    {"12-month 2 days", PolicyTerm::ptTwelveMonth, 2, 0.06f},
    {"12-month 3 days opens a two-day row", PolicyTerm::ptTwelveMonth, 3, 0.07f},
    {"12-month 4 days closes it", PolicyTerm::ptTwelveMonth, 4, 0.07f},
    {"12-month 22 days", PolicyTerm::ptTwelveMonth, 22, 0.16f},
    {"12-month 23 days starts a three-day row", PolicyTerm::ptTwelveMonth, 23, 0.17f},
    {"12-month 25 days still in it", PolicyTerm::ptTwelveMonth, 25, 0.17f},
    {"12-month 26 days", PolicyTerm::ptTwelveMonth, 26, 0.18f},
    {"12-month 100 days", PolicyTerm::ptTwelveMonth, 100, 0.38f},
    {"12-month 183 days", PolicyTerm::ptTwelveMonth, 183, 0.61f},
    {"12-month 360 days", PolicyTerm::ptTwelveMonth, 360, 0.99f},
    {"12-month 361 days", PolicyTerm::ptTwelveMonth, 361, 1.00f},
    {"12-month 365 days", PolicyTerm::ptTwelveMonth, 365, 1.00f},
    {"6-month 0 days earns nothing", PolicyTerm::ptSixMonth, 0, 0.0f},
    {"6-month 1 day", PolicyTerm::ptSixMonth, 1, 0.06f},
    {"6-month 12 days, last single day", PolicyTerm::ptSixMonth, 12, 0.17f},
    {"6-month 13 days", PolicyTerm::ptSixMonth, 13, 0.18f},
    {"6-month 21 days alone", PolicyTerm::ptSixMonth, 21, 0.22f},
    {"6-month 22 days", PolicyTerm::ptSixMonth, 22, 0.23f},
    {"6-month 100 days", PolicyTerm::ptSixMonth, 100, 0.64f},
    {"6-month 178 days", PolicyTerm::ptSixMonth, 178, 0.99f},
    {"6-month 180 days", PolicyTerm::ptSixMonth, 180, 0.99f},
    {"6-month 181 days", PolicyTerm::ptSixMonth, 181, 1.00f},
    {"6-month 183 days", PolicyTerm::ptSixMonth, 183, 1.00f},
    {"6-month 365 days, end of the wide row", PolicyTerm::ptSixMonth, 365, 1.00f},
    {"12-month one day negative", PolicyTerm::ptTwelveMonth, -1, 0.0f},
    {"6-month one day negative", PolicyTerm::ptSixMonth, -1, 0.0f},
    {"12-month a year negative", PolicyTerm::ptTwelveMonth, -365, 0.0f},
    {"12-month most negative int", PolicyTerm::ptTwelveMonth, INT_MIN, 0.0f},
    {"12-month 366 days is past the table", PolicyTerm::ptTwelveMonth, 366, 0.0f},
    {"6-month 366 days is past the table", PolicyTerm::ptSixMonth, 366, 0.0f},
    {"12-month largest int", PolicyTerm::ptTwelveMonth, INT_MAX, 0.0f},
    {"6-month largest int", PolicyTerm::ptSixMonth, INT_MAX, 0.0f},
};

TEST(ShortRateFactor, GivesThePrintedFactors)
{
    for (const FactorCase &c : kFactorCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ShortRateFactor(c.term, c.days), c.factor);
    }
}

TEST(ShortRateFactor, AgreesWithThePrintedTableForEveryDay)
{
    for (const PrintedTable &printed : kPrintedTables) {
        SCOPED_TRACE(printed.name);
        for (int days = 0; days <= 365; ++days) {
            SCOPED_TRACE("days " + std::to_string(days));
            EXPECT_EQ(ShortRateFactor(printed.term, days), printedFactor(printed, days));
        }
    }
}

} // namespace

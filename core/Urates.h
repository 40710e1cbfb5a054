#pragma once

#include <span>

#include "Extended.h"

namespace quillon {

struct ShortRateTableFile;

// The two fixed short-rate tables: the share of the premium an insurer keeps
// when a policy is cancelled after a given number of days in force.

enum class PolicyTerm
{
    ptTwelveMonth, // 365-day term, 12-month table
    ptSixMonth,    // 183-day term, 6-month table
};

struct ShortRateRow
{
    int FirstDay; // inclusive
    int LastDay;  // inclusive
    float Factor; // nearest single-precision value to a two-decimal figure
};

// Rows in order; together they cover the day counts 0 to 365 without gaps or overlaps.
std::span<const ShortRateRow> ShortRateTable12();
std::span<const ShortRateRow> ShortRateTable6();

std::span<const ShortRateRow> ShortRateTable(PolicyTerm term);

// The same as table files (Ratetable.h), for the office rules.
const ShortRateTableFile &BuiltInShortRateTable(PolicyTerm term);

// The earned factor for a day count. Counts the table does not cover (below 0,
// above 365) give 0; the calculation never uses the table past a term's end.
float ShortRateFactor(PolicyTerm term, int days);

} // namespace quillon

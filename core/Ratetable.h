#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Urates.h"

namespace quillon {

// A short-rate table in the form a clerk or a carrier writes by hand, and the
// form the two built-in tables are shipped in (data/tables/short-rate-12.csv
// and short-rate-6.csv, compiled in from there):
//
//     # comment lines start with '#'; blank lines are skipped
//     term_months,12
//     days,earned_percent
//     0,0
//     1,5
//     3-4,7          (an inclusive range of days in force)
//     361-365,100
//
// term_months is the policy term the table is for, 1 to 60 whole months. The
// rows follow in order of days, from day 0 with no gap and no overlap, up to
// at least the term's nominal length (NominalTermDays: 365 for 12 months, 183
// for 6); each earned percentage is 0 to 100 with at most two decimals and
// never below the row before. Fields may have spaces around them, lines may
// end in CRLF, and the file may start with a UTF-8 byte-order mark.
//
// A table that breaks any of this is refused whole, with the first line at
// fault and why: a table is never half-used.

struct ShortRateTableFile
{
    std::string source; // the file's name as given, or "built-in"
    int months = 0;
    std::vector<ShortRateRow> rows;
    // One factor per day count, 0 to the last row's last day.
    std::vector<float> byDay;

    int lastDay() const { return byDay.empty() ? -1 : int(byDay.size()) - 1; }
    // The factor of a day count, or nothing beyond the rows.
    std::optional<float> factor(int days) const
    {
        if (days < 0 || days > lastDay())
            return std::nullopt;
        return byDay[std::size_t(days)];
    }
};

struct TableRead
{
    std::optional<ShortRateTableFile> table;
    // "<source>, line 7: days 5 to 6 are missing"; empty when the table was read.
    std::string error;
};

// The length a table of `months` must reach: 365 x months / 12, a half
// rounded up, so 12 months is 365 days and 6 months 183, as the two terms
// have always been counted.
int NominalTermDays(int months);

// A percentage of 0 to `maxHundredths` / 100 written with at most two
// decimals after a '.' or `decimal` ("87.5", "100"), in hundredths of a
// percent (8750, 10000); nothing for any other text. Whole hundredths keep
// every figure worked from it exact to the last bit a clerk can check.
std::optional<int> ParsePercentHundredths(std::string_view text, std::string_view decimal = ".",
                                          int maxHundredths = 10000);

// Reads a table from its text. `source` names it in messages.
TableRead ParseShortRateTable(std::string_view text, std::string_view source);

// Reads a table file named as typed (its bytes; UTF-8 on Windows). A missing,
// unreadable or oversized (over 1 MiB) file is refused as a malformed one is.
TableRead LoadShortRateTable(std::string_view name);

} // namespace quillon

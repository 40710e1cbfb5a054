#pragma once

#include "Extended.h"
#include "Urates.h"

namespace quillon {

// The refund arithmetic: from a premium and two day numbers, the days in force
// and the earned and unearned figures of a 12-month and a 6-month policy by
// the short-rate and the pro-rata method. Nothing here rounds: amounts and
// rates stay unrounded extended values until a display format shows them.

struct MethodFigures
{
    long double Earned = 0.0L;
    long double Unearned = 0.0L;     // always premium - Earned
    long double EarnedRate = 0.0L;   // a fraction of 1
    long double UnearnedRate = 0.0L; // always 1 - EarnedRate
};

struct TermResult
{
    MethodFigures ShortRated;
    MethodFigures ProRated;
    // False for a negative day count: the pro-rated figures were not computed,
    // and the window and the printed quote show zeros for them.
    bool ProRatedSet = false;
    // False only where an office rule leaves the short rate empty (a term no
    // table is for); CalculateRefundQuote always works it.
    bool ShortRatedSet = true;
};

enum class DayRange
{
    drInRange,  // 0 to 365 days
    drOverYear, // more than 365 days
    drNegative, // less than 0 days
};

struct RefundQuote
{
    int Days = 0;
    DayRange Range = DayRange::drInRange;
    TermResult Term12;
    TermResult Term6;
};

inline constexpr int kTermDays12 = 365;
inline constexpr int kTermDays6 = 183;

// How the pro-rata method turns a day count into the permille it earns:
// 1000 x days x (1/T) worked left to right in extended precision, then
// rounded to the nearest whole number, ties to even. Shown by the working of
// a quote; the calculation itself uses the same steps.
struct ProRataWorking
{
    long double Scaled = 0.0L;
    int Permille = 0;
};
ProRataWorking ProRataPermille(int dayCount, PolicyTerm term);
// The same over a term of any length in days, as an expiration date gives.
ProRataWorking ProRataPermille(int dayCount, int termDays);

// The steps of one term, for the office rules (Rules.h) to work any term by
// the same arithmetic: the whole premium earned; pro rata over `termDays`
// for a day count from 0 to termDays; and a short-rate factor applied.
MethodFigures FullyEarnedFigures(long double premium);
MethodFigures ProRatedFigures(long double premium, int dayCount, int termDays);
MethodFigures ShortRatedFigures(long double premium, float factor);

// Pure and total: any premium (zero and negative included) and any two day
// numbers give a result; an out-of-range day count is reported in Range.
RefundQuote CalculateRefundQuote(long double premium, int inceptionDay, int cancellationDay);

} // namespace quillon

#include "Urefund.h"

#include <cmath>

namespace quillon {

namespace {

// The divisors are applied as multiplications by the nearest extended values
// of their reciprocals, and 0.001 likewise; the compiler folds these in
// extended precision with correct rounding.
constexpr long double kReciprocal365 = 1.0L / 365.0L;
constexpr long double kReciprocal183 = 1.0L / 183.0L;
constexpr long double kThousandth = 0.001L;
constexpr long double kThousand = 1000.0L;

MethodFigures fullyEarned(long double premium)
{
    MethodFigures figures;
    figures.Earned = premium;
    figures.Unearned = premium - figures.Earned;
    figures.EarnedRate = 1.0L;
    figures.UnearnedRate = 0.0L;
    return figures;
}

ProRataWorking permilleOf(float days, long double reciprocal)
{
    // 1000 x days x (1/T), left to right, then rounded to nearest (ties to
    // even) into a 32-bit integer.
    ProRataWorking working;
    working.Scaled = kThousand * static_cast<long double>(days) * reciprocal;
    working.Permille = static_cast<int>(std::lrint(working.Scaled));
    return working;
}

// days is held in single precision as the calculation always has; every
// difference of two valid day numbers is far below 2^24, so it is exact.
MethodFigures proRated(long double premium, float days, long double reciprocal)
{
    MethodFigures figures;
    // The earned amount uses the rounded permille while the rate below keeps
    // full precision: that mismatch is how the figures have always been quoted.
    const int permille = permilleOf(days, reciprocal).Permille;
    figures.Earned = static_cast<long double>(permille) * kThousandth * premium;
    figures.Unearned = premium - figures.Earned;
    figures.EarnedRate = reciprocal * static_cast<long double>(days);
    figures.UnearnedRate = 1.0L - figures.EarnedRate;
    return figures;
}

// 1/T for the two standard terms as folded at compile time, and for any other
// term divided at run time, which rounds the same way (to nearest, 64 bits).
long double reciprocalOf(int termDays)
{
    if (termDays == kTermDays12)
        return kReciprocal365;
    if (termDays == kTermDays6)
        return kReciprocal183;
    return 1.0L / static_cast<long double>(termDays);
}

MethodFigures shortRated(long double premium, float factor)
{
    const auto widened = static_cast<long double>(factor); // exact widening, never re-rounded
    MethodFigures figures;
    figures.Earned = premium * widened;
    figures.Unearned = premium - figures.Earned;
    figures.EarnedRate = widened;
    figures.UnearnedRate = 1.0L - widened;
    return figures;
}

TermResult termResult(long double premium, int dayCount, PolicyTerm term)
{
    const bool twelve = term == PolicyTerm::ptTwelveMonth;
    const float termDays = twelve ? float(kTermDays12) : float(kTermDays6);
    const long double reciprocal = twelve ? kReciprocal365 : kReciprocal183;
    const auto days = static_cast<float>(dayCount);

    TermResult result;
    if (days > termDays) {
        result.ProRated = fullyEarned(premium);
        result.ProRatedSet = true;
        result.ShortRated = fullyEarned(premium);
        return result;
    }
    if (days >= 0.0f) {
        result.ProRated = proRated(premium, days, reciprocal);
        result.ProRatedSet = true;
    }
    result.ShortRated = shortRated(premium, ShortRateFactor(term, dayCount));
    return result;
}

} // namespace

ProRataWorking ProRataPermille(int dayCount, PolicyTerm term)
{
    return permilleOf(static_cast<float>(dayCount),
                      term == PolicyTerm::ptTwelveMonth ? kReciprocal365 : kReciprocal183);
}

ProRataWorking ProRataPermille(int dayCount, int termDays)
{
    return permilleOf(static_cast<float>(dayCount), reciprocalOf(termDays));
}

MethodFigures FullyEarnedFigures(long double premium)
{
    return fullyEarned(premium);
}

MethodFigures ProRatedFigures(long double premium, int dayCount, int termDays)
{
    return proRated(premium, static_cast<float>(dayCount), reciprocalOf(termDays));
}

MethodFigures ShortRatedFigures(long double premium, float factor)
{
    return shortRated(premium, factor);
}

RefundQuote CalculateRefundQuote(long double premium, int inceptionDay, int cancellationDay)
{
    RefundQuote quote;
    // Valid day numbers lie within about +-3 million, so the difference cannot overflow.
    quote.Days = cancellationDay - inceptionDay;
    const auto days = static_cast<float>(quote.Days);
    if (days > float(kTermDays12))
        quote.Range = DayRange::drOverYear;
    else if (days < 0.0f)
        quote.Range = DayRange::drNegative;
    else
        quote.Range = DayRange::drInRange;

    quote.Term12 = termResult(premium, quote.Days, PolicyTerm::ptTwelveMonth);
    quote.Term6 = termResult(premium, quote.Days, PolicyTerm::ptSixMonth);
    return quote;
}

} // namespace quillon

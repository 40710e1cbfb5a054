#include "Explain.h"

#include <cmath>
#include <cstdio>

#include "Dispfmt.h"
#include "Messages.h"
#include "Shortdate.h"
#include "Urates.h"

using namespace quillon;

namespace {

std::string number(long long value)
{
    return std::to_string(value);
}

// The digits a displayed figure stands for ("$1,234.50" -> "1234.5"), to
// tell whether the display rounded the value.
std::string shownDigits(const std::string &shown, const LocaleSettings &locale)
{
    const std::optional<long double> read = ParseText(shown, locale);
    return read ? ExactDecimal(*read) : std::string();
}

struct Writer
{
    const LocaleSettings &locale;
    std::string out;

    void line(const std::string &text) { out += "  " + text + "\n"; }
    void heading(const std::string &text) { out += "\n" + text + "\n"; }

    // "$274.00", or "$380.00 (379.99999523162841796875 before display)".
    std::string figure(long double value, const std::string &shown) const
    {
        const std::string exact = ExactDecimal(value);
        if (shownDigits(shown, locale) == exact)
            return shown;
        return shown + " (" + exact + " before display)";
    }
};

const ShortRateRow *bandOf(PolicyTerm term, int days)
{
    for (const ShortRateRow &row : ShortRateTable(term))
        if (days >= row.FirstDay && days <= row.LastDay)
            return &row;
    return nullptr;
}

// Two decimals, as the short-rate tables print their factors.
std::string factorText(float factor)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", double(factor));
    return buffer;
}

void explainTerm(Writer &w, const QuoteRecord &record, bool twelve)
{
    const QuotationType type = record.type;
    const Messages::QuotationCaptions &labels = Messages::CaptionsFor(type == QuotationType::AdditionalPremium);
    const RefundQuote &quote = record.quote;
    const TermResult &term = twelve ? quote.Term12 : quote.Term6;
    const int termDays = twelve ? kTermDays12 : kTermDays6;
    const PolicyTerm policyTerm = twelve ? PolicyTerm::ptTwelveMonth : PolicyTerm::ptSixMonth;
    const std::string &premium = record.premiumText;
    const MethodTexts &proRated = twelve ? record.PR12 : record.PR6;
    const MethodTexts &shortRated = twelve ? record.SR12 : record.SR6;
    const std::string unearned = labels.unearned;

    w.heading(std::string(twelve ? "12-month policy" : "6-month policy") + " (a term of " + number(termDays)
              + " days)");
    if (quote.Days > termDays) {
        w.line("Pro rata: " + number(quote.Days) + " days is more than the " + number(termDays)
               + "-day term, so the whole premium is earned: earned " + proRated.Earn + ", "
               + unearned + " " + proRated.Unearn + ", earned rate " + proRated.ERate + ", " + unearned
               + " rate " + proRated.URate + ".");
    } else if (!term.ProRatedSet) {
        w.line("Pro rata: a negative day count earns nothing by the day; the pro-rated figures are not worked.");
    } else {
        const ProRataWorking working = ProRataPermille(quote.Days, policyTerm);
        w.line("Pro rata: 1000 x " + number(quote.Days) + " / " + number(termDays) + " = "
               + ExactDecimal(working.Scaled) + " thousandths, rounded to the nearest whole number (a half "
               + "to the even one): " + number(working.Permille) + ".");
        w.line("Earned: " + number(working.Permille) + " / 1000 x " + premium + " = "
               + w.figure(term.ProRated.Earned, proRated.Earn) + "; " + unearned + ": the premium less that = "
               + w.figure(term.ProRated.Unearned, proRated.Unearn) + ".");
        w.line("Earned rate, from the days rather than the rounded thousandths: " + number(quote.Days) + " / "
               + number(termDays) + " = " + w.figure(term.ProRated.EarnedRate, proRated.ERate) + "; " + unearned
               + " rate: 1 less that = " + w.figure(term.ProRated.UnearnedRate, proRated.URate) + ".");
    }
    if (type == QuotationType::AdditionalPremium)
        return; // the short rate does not apply to an additional premium
    if (quote.Days > termDays) {
        w.line("Short rate: past the end of the term the whole premium is earned: earned " + shortRated.Earn
               + ", " + unearned + " " + shortRated.Unearn + ".");
        return;
    }
    const ShortRateRow *band = bandOf(policyTerm, quote.Days);
    const std::string factor = band ? factorText(band->Factor) : "0.00";
    if (band) {
        const std::string days = band->FirstDay == band->LastDay
            ? number(band->FirstDay) + " days"
            : number(band->FirstDay) + "-" + number(band->LastDay) + " days";
        w.line("Short rate: " + number(quote.Days) + " days falls in the band " + days + " of the "
               + (twelve ? "12" : "6") + "-month table, which earns " + factor + " of the premium.");
    } else {
        w.line("Short rate: a negative day count is in no band of the table and earns nothing (0.00).");
    }
    w.line("Earned: " + premium + " x " + factor + " = " + w.figure(term.ShortRated.Earned, shortRated.Earn) + "; "
           + unearned + ": the premium less that = " + w.figure(term.ShortRated.Unearned, shortRated.Unearn)
           + "; rates " + shortRated.ERate + " and " + shortRated.URate + ".");
}

} // namespace

std::string ExactDecimal(long double value)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
    // A 64-bit significand with an exponent down to -16445 never needs more
    // than that many decimals; the figures here need far fewer.
    char buffer[256];
    const int n = std::snprintf(buffer, sizeof buffer, "%.80Lf", value);
    std::string text(buffer, n > 0 && n < int(sizeof buffer) ? std::size_t(n) : 0);
    // The C library writes the radix of the process's locale.
    for (char &c : text)
        if (c == ',')
            c = '.';
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        if (!text.empty() && text.back() == '.')
            text.pop_back();
    }
    if (text == "-0")
        text = "0";
    return text;
}

std::string ExplainQuote(const QuoteRecord &outcome, const LocaleSettings &locale)
{
    const Messages::QuotationCaptions &labels =
        Messages::CaptionsFor(outcome.type == QuotationType::AdditionalPremium);
    Writer w{locale, {}};

    w.out += "How the figures were reached\n";
    w.heading("Days");
    w.line(std::string(labels.start) + " " + outcome.startText + " is day "
           + number(outcome.startDay) + ", and " + labels.end + " " + outcome.endText
           + " is day " + number(outcome.endDay) + " (days counted from 12/30/1899).");
    w.line("Days: " + number(outcome.endDay) + " - " + number(outcome.startDay) + " = "
           + number(outcome.quote.Days) + ", shown as " + outcome.days + ".");
    switch (outcome.quote.Range) {
    case DayRange::drInRange:
        w.line("Range: 0 to 365 days, no message.");
        break;
    case DayRange::drOverYear:
        w.line("Range: more than 365 days, so the message \"" + std::string(Messages::kOverYear) + "\".");
        break;
    case DayRange::drNegative:
        w.line("Range: fewer than 0 days, so the message \"" + std::string(Messages::kNegativeDays) + "\".");
        break;
    }
    explainTerm(w, outcome, true);
    explainTerm(w, outcome, false);
    w.heading("Display");
    w.line("Amounts show to the cent and rates to three places (pro rata) or two (short rate): a value is");
    w.line("first taken to 18 significant digits, then rounded half away from zero.");
    return w.out;
}

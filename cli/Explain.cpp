#include "Explain.h"

#include <cmath>
#include <cstdio>

#include "Dispfmt.h"
#include "Messages.h"
#include "Shortdate.h"
#include "Rules.h"
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

// "99-102 days", or "10 days" for a band of one day.
std::string bandText(const ShortRateRow &band)
{
    return band.FirstDay == band.LastDay ? number(band.FirstDay) + " days"
                                         : number(band.FirstDay) + "-" + number(band.LastDay) + " days";
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
        w.line("Short rate: " + number(quote.Days) + " days falls in the band " + bandText(*band) + " of the "
               + (twelve ? "12" : "6") + "-month table, which earns " + factor + " of the premium.");
    } else {
        w.line("Short rate: a negative day count is in no band of the table and earns nothing (0.00).");
    }
    w.line("Earned: " + premium + " x " + factor + " = " + w.figure(term.ShortRated.Earned, shortRated.Earn) + "; "
           + unearned + ": the premium less that = " + w.figure(term.ShortRated.Unearned, shortRated.Unearn)
           + "; rates " + shortRated.ERate + " and " + shortRated.URate + ".");
}

std::string amount(long double value, const LocaleSettings &locale)
{
    return FormatText(value, kAmountFormat, locale);
}

// ", below the minimum earned premium, so raised to it" where the minimum
// raised the figure.
std::string raised(bool wasRaised, const std::string &minimum)
{
    return wasRaised ? ", which is below the minimum earned premium " + minimum + ", so it is raised to it" : "";
}

// The band of a table that holds `days`, from the rule's table or the built-in one of the term.
const ShortRateRow *ruledBand(const RuleSet &rules, int months, int days)
{
    const ShortRateTableFile *table = nullptr;
    if (rules.shortRate.kind == ShortRateRule::Kind::Table)
        table = rules.shortRate.table.get();
    else if (months == 12 || months == 6)
        table = &BuiltInShortRateTable(months == 12 ? PolicyTerm::ptTwelveMonth : PolicyTerm::ptSixMonth);
    if (table)
        for (const ShortRateRow &row : table->rows)
            if (days >= row.FirstDay && days <= row.LastDay)
                return &row;
    return nullptr;
}

// One column under the office rules: the same steps as explainTerm, over
// the term the rules give, with the fees and the minimum where they apply.
void explainRuledTerm(Writer &w, const QuoteRecord &record, const RuleSet &rules, std::size_t column)
{
    const TermOutcome &told = record.rules.terms[column];
    if (!told.worked)
        return;
    const Messages::QuotationCaptions &labels =
        Messages::CaptionsFor(record.type == QuotationType::AdditionalPremium);
    const TermResult &term = column == 0 ? record.quote.Term12 : record.quote.Term6;
    const MethodTexts &proRated = column == 0 ? record.PR12 : record.PR6;
    const MethodTexts &shortRated = column == 0 ? record.SR12 : record.SR6;
    const std::string unearned = labels.unearned;
    const int days = record.quote.Days;
    const std::string termDays = number(told.termDays);
    if (told.actual)
        w.heading("The policy's own term, to the expiration date (" + termDays + " days, "
                  + (told.months ? number(told.months) + " whole months)" : "not a whole number of months)"));
    else
        w.heading(number(told.months) + "-month policy (a term of " + termDays + " days)");
    const std::string minimum = amount(record.rules.minimum, w.locale);
    std::string worked = record.premiumText;
    std::string plusFees;
    if (record.rules.fees != 0.0L) {
        worked = amount(record.premium - record.rules.fees, w.locale);
        plusFees = ", plus the fees " + amount(record.rules.fees, w.locale);
        w.line("Fees: " + amount(record.rules.fees, w.locale) + " are fully earned and never refunded: the methods "
               + "work on the premium less the fees, " + worked + ", and the fees are added to each earned amount.");
    }
    if (days > told.termDays) {
        w.line("Pro rata and short rate: " + number(days) + " days is more than the " + termDays
               + "-day term, so the whole premium is earned: earned " + proRated.Earn + ", " + unearned + " "
               + proRated.Unearn + ".");
        return;
    }
    if (!term.ProRatedSet) {
        w.line("Pro rata: a negative day count earns nothing by the day; the pro-rated figures are not worked.");
    } else {
        const ProRataWorking working = ProRataPermille(days, told.termDays);
        w.line("Pro rata: 1000 x " + number(days) + " / " + termDays + " = " + ExactDecimal(working.Scaled)
               + " thousandths, rounded to the nearest whole number (a half to the even one): "
               + number(working.Permille) + ".");
        w.line("Earned: " + number(working.Permille) + " / 1000 x " + worked + plusFees
               + raised(told.minimumRaisedProRated, minimum) + ": " + w.figure(term.ProRated.Earned, proRated.Earn)
               + "; " + unearned + ": the premium less that = " + w.figure(term.ProRated.Unearned, proRated.Unearn)
               + "; rates " + proRated.ERate + " and " + proRated.URate + ", from the days.");
    }
    if (record.type == QuotationType::AdditionalPremium)
        return;
    if (!told.shortRateEmpty.empty()) {
        w.line("Short rate: " + Messages::ErrorDisplayText(told.shortRateEmpty) + " Its figures are left empty.");
        return;
    }
    std::string how;
    if (rules.shortRate.kind == ShortRateRule::Kind::ShareOfProRata) {
        w.line("Short rate: " + told.shortRateRule + ": the " + unearned + " amount and rate pro rata gives on "
               + worked + " are taken at that share (a negative day count earns nothing).");
        how = worked + " less that";
    } else if (const ShortRateRow *band = days >= 0 ? ruledBand(rules, told.months, days) : nullptr) {
        w.line("Short rate: " + number(days) + " days falls in the band " + bandText(*band) + " of " + told.shortRateRule + ", which earns "
               + factorText(band->Factor) + " of the premium.");
        how = worked + " x " + factorText(band->Factor);
    } else {
        w.line(days < 0 ? "Short rate: a negative day count earns nothing (0.00)."
                        : "Short rate: on the term's last day the whole premium is earned (1.00).");
        how = worked + " x " + (days < 0 ? "0.00" : "1.00");
    }
    w.line("Earned: " + how + plusFees + raised(told.minimumRaisedShortRated, minimum) + ": "
           + w.figure(term.ShortRated.Earned, shortRated.Earn) + "; " + unearned + ": the premium less that = "
           + w.figure(term.ShortRated.Unearned, shortRated.Unearn) + "; rates " + shortRated.ERate + " and "
           + shortRated.URate + ".");
}

void explainRange(Writer &w, DayRange range)
{
    switch (range) {
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
}

// The rules that applied, before the working of each term.
void explainRules(Writer &w, const QuoteRecord &record, const RuleSet &rules)
{
    w.heading("Office rules (see \"Office rules\" in the README)");
    const RuleTexts texts = TextsOf(rules);
    if (rules.shortRate.kind != ShortRateRule::Kind::BuiltInTables)
        w.line("Short rate: " + std::string(rules.shortRate.kind == ShortRateRule::Kind::ShareOfProRata
                                                ? texts.shortRate + " of pro rata"
                                                : "the table " + Messages::PrintableText(texts.shortRate))
               + ".");
    if (record.rules.minimumApplies)
        w.line("Minimum earned premium: " + amount(record.rules.minimum, w.locale)
               + (rules.minimumEarned.kind == MinimumEarned::Kind::PercentOfPremium
                      ? " (" + texts.minimumEarned + " of the premium)"
                      : "")
               + ", at most the premium; each earned amount below it is raised to it.");
    else if (rules.minimumEarned.kind != MinimumEarned::Kind::None)
        w.line("Minimum earned premium: none, as only a positive premium has one.");
    if (rules.expirationDay)
        w.line("Expiration: " + DateFieldText(*rules.expirationDay, w.locale) + " is day "
               + number(*rules.expirationDay) + ": the term runs " + number(*rules.expirationDay) + " - "
               + number(record.startDay) + " = " + number(record.rules.terms[0].termDays) + " days.");
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

std::string ExplainQuote(const QuoteRecord &outcome, const LocaleSettings &locale, const RuleSet *rules)
{
    const bool ruled = rules && outcome.rules.applied;
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
    if (ruled) {
        const std::string_view message = outcome.rules.rangeMessage;
        w.line("Range: 0 to " + number(outcome.rules.terms[0].termDays) + " days"
               + (message.empty() ? std::string(", no message.") : ", so the message \"" + std::string(message) + "\"."));
        explainRules(w, outcome, *rules);
        explainRuledTerm(w, outcome, *rules, 0);
        explainRuledTerm(w, outcome, *rules, 1);
    } else {
        explainRange(w, outcome.quote.Range);
        explainTerm(w, outcome, true);
        explainTerm(w, outcome, false);
    }
    w.heading("Display");
    w.line("Amounts show to the cent and rates to three places (pro rata) or two (short rate): a value is");
    w.line("first taken to 18 significant digits, then rounded half away from zero.");
    return w.out;
}

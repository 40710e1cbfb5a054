#include "Rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Asciicase.h"
#include "Inifile.h"
#include "Messages.h"
#include "Readback.h"
#include "Shortdate.h"
#include "Urates.h"

namespace quillon {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// "90%" or "87.5%" read into hundredths of a percent; the '%' is required,
// so that a share is never taken for an amount or a file.
std::optional<int> percentText(std::string_view text, const LocaleSettings &locale)
{
    if (!text.ends_with('%'))
        return std::nullopt;
    return ParsePercentHundredths(trimmed(text.substr(0, text.size() - 1)), locale.decimalSeparator);
}

std::optional<long double> amountText(std::string_view text, const LocaleSettings &locale)
{
    const std::optional<long double> amount = ParseAmount(text, locale);
    if (!amount || !(*amount >= 0.0L))
        return std::nullopt;
    return amount;
}

std::string hundredthsText(int hundredths)
{
    std::string text = std::to_string(hundredths / 100);
    if (const int rest = hundredths % 100) {
        text += '.';
        text += char('0' + rest / 10);
        if (rest % 10)
            text += char('0' + rest % 10);
    }
    return text + "%";
}

// An amount as the settings file keeps it: '.' and no grouping, to the cent
// where it has no finer part, otherwise every digit it needs to read back.
std::string amountWritten(long double amount)
{
    char buffer[64];
    const bool cents = std::nearbyint(amount * 100.0L) == amount * 100.0L;
    std::snprintf(buffer, sizeof buffer, cents ? "%.2Lf" : "%.21Lg", amount);
    std::string text(buffer);
    std::replace(text.begin(), text.end(), ',', '.'); // the C library writes the process's radix
    return text;
}

// One column of the quote and the term it is worked over.
struct Column
{
    int termDays;
    int months;
    bool actual;
};

const ShortRateTableFile *tableFor(const ShortRateRule &rule, const Column &column, std::string &why)
{
    if (rule.kind == ShortRateRule::Kind::Table) {
        if (rule.table->months == column.months)
            return rule.table.get();
        why = column.months == 0 ? Messages::Rules::NoTableForDays(column.termDays)
                                  : Messages::Rules::NoTableForMonths(rule.table->source, column.months);
        return nullptr;
    }
    if (column.months == 12 || column.months == 6)
        return &BuiltInShortRateTable(column.months == 12 ? PolicyTerm::ptTwelveMonth : PolicyTerm::ptSixMonth);
    why = column.months == 0 ? Messages::Rules::NoTableForDays(column.termDays)
                              : Messages::Rules::NoTableForMonths("built-in", column.months);
    return nullptr;
}

std::string ruleName(const ShortRateRule &rule, const Column &column)
{
    switch (rule.kind) {
    case ShortRateRule::Kind::ShareOfProRata: return hundredthsText(rule.shareHundredths) + " of pro rata";
    case ShortRateRule::Kind::Table:
        return "the " + std::to_string(column.months) + "-month table " + Messages::PrintableText(rule.table->source);
    case ShortRateRule::Kind::BuiltInTables: break;
    }
    return "the built-in " + std::to_string(column.months) + "-month table";
}

// Short rate as a share of the pro-rata refund: unearned x p / 100.
MethodFigures shareOfProRata(long double premium, const MethodFigures &proRated, int hundredths)
{
    MethodFigures figures;
    figures.Unearned = proRated.Unearned * static_cast<long double>(hundredths) / 10000.0L;
    figures.Earned = premium - figures.Unearned;
    figures.UnearnedRate = proRated.UnearnedRate * static_cast<long double>(hundredths) / 10000.0L;
    figures.EarnedRate = 1.0L - figures.UnearnedRate;
    return figures;
}

void workShortRate(long double premium, int days, const Column &column, const ShortRateRule &rule,
                   TermResult &term, TermOutcome &outcome)
{
    if (rule.kind == ShortRateRule::Kind::ShareOfProRata) {
        outcome.shortRateRule = ruleName(rule, column);
        // A negative count earns nothing, as the tables have always said.
        term.ShortRated = term.ProRatedSet ? shareOfProRata(premium, term.ProRated, rule.shareHundredths)
                                           : ShortRatedFigures(premium, 0.0f);
        return;
    }
    const ShortRateTableFile *table = tableFor(rule, column, outcome.shortRateEmpty);
    std::optional<float> factor;
    if (table)
        factor = days < 0 ? 0.0f : table->factor(days);
    if (table && !factor && days == column.termDays)
        factor = 1.0f; // the term's last day, past the rows of its longest month: all earned
    if (table && !factor)
        outcome.shortRateEmpty = Messages::Rules::TableEndsEarly(table->source, table->lastDay(), column.termDays);
    if (!factor) {
        term.ShortRatedSet = false;
        term.ShortRated = MethodFigures{};
        return;
    }
    outcome.shortRateRule = ruleName(rule, column);
    term.ShortRated = ShortRatedFigures(premium, *factor);
}

void workColumn(long double premium, int days, const Column &column, const ShortRateRule &rule,
                TermResult &term, TermOutcome &outcome)
{
    outcome.termDays = column.termDays;
    outcome.months = column.months;
    outcome.actual = column.actual;
    term.ProRatedSet = days >= 0;
    if (days > column.termDays) {
        term.ProRated = FullyEarnedFigures(premium);
        term.ShortRated = FullyEarnedFigures(premium);
        outcome.shortRateRule = "past the end of the term";
        return;
    }
    if (term.ProRatedSet)
        term.ProRated = ProRatedFigures(premium, days, column.termDays);
    workShortRate(premium, days, column, rule, term, outcome);
}

void addFees(long double premium, long double fees, MethodFigures &figures)
{
    figures.Earned += fees;
    figures.Unearned = premium - figures.Earned;
}

bool raiseToMinimum(long double premium, long double minimum, MethodFigures &figures)
{
    if (!(figures.Earned < minimum))
        return false;
    figures.Earned = minimum;
    figures.Unearned = premium - minimum;
    return true;
}

DayRange rangeOf(int days, int lastDay)
{
    if (days > lastDay)
        return DayRange::drOverYear;
    return days < 0 ? DayRange::drNegative : DayRange::drInRange;
}

void applyAmountRules(long double premium, const RuleSet &rules, RuledQuote &out)
{
    RuleOutcome &outcome = out.outcome;
    TermResult *terms[2] = {&out.quote.Term12, &out.quote.Term6};
    const MinimumEarned &minimum = rules.minimumEarned;
    outcome.minimumApplies = minimum.kind != MinimumEarned::Kind::None && premium > 0.0L;
    if (outcome.minimumApplies) {
        const long double m = minimum.kind == MinimumEarned::Kind::Amount
            ? minimum.amount
            : premium * static_cast<long double>(minimum.percentHundredths) / 10000.0L;
        outcome.minimum = std::min(m, premium);
    }
    for (int i = 0; i < 2; ++i) {
        if (!outcome.terms[std::size_t(i)].worked)
            continue;
        TermResult &term = *terms[i];
        TermOutcome &told = outcome.terms[std::size_t(i)];
        if (rules.fees != 0.0L) {
            if (term.ProRatedSet)
                addFees(premium, rules.fees, term.ProRated);
            if (term.ShortRatedSet)
                addFees(premium, rules.fees, term.ShortRated);
        }
        if (!outcome.minimumApplies || out.quote.Days < 0)
            continue;
        told.minimumRaisedProRated = term.ProRatedSet && raiseToMinimum(premium, outcome.minimum, term.ProRated);
        told.minimumRaisedShortRated =
            term.ShortRatedSet && raiseToMinimum(premium, outcome.minimum, term.ShortRated);
    }
}

} // namespace

RuleSet RulesForAdditionalPremium(const RuleSet &rules)
{
    RuleSet only;
    only.expirationDay = rules.expirationDay;
    return only;
}

RuleRead<ShortRateRule> ParseShortRateRule(std::string_view text, const LocaleSettings &locale)
{
    const std::string_view rule = trimmed(text);
    if (rule.empty() || EqualAsciiNoCase(rule, "tables"))
        return {ShortRateRule{}, {}};
    if (const auto share = percentText(rule, locale))
        return {ShortRateRule{ShortRateRule::Kind::ShareOfProRata, *share, nullptr}, {}};
    // "90" or "110%" is a share mistyped, never a file's name.
    if (rule.ends_with('%') || ParsePercentHundredths(rule, locale.decimalSeparator, 1000000))
        return {std::nullopt, Messages::Rules::BadShortRate(text)};
    TableRead read = LoadShortRateTable(rule);
    if (!read.table)
        return {std::nullopt, std::move(read.error)};
    ShortRateRule table{ShortRateRule::Kind::Table, 10000, nullptr};
    table.table = std::make_shared<const ShortRateTableFile>(std::move(*read.table));
    return {std::move(table), {}};
}

RuleRead<MinimumEarned> ParseMinimumEarned(std::string_view text, const LocaleSettings &locale)
{
    const std::string_view rule = trimmed(text);
    if (rule.empty() || EqualAsciiNoCase(rule, "none"))
        return {MinimumEarned{}, {}};
    if (const auto percent = percentText(rule, locale))
        return {MinimumEarned{MinimumEarned::Kind::PercentOfPremium, 0.0L, *percent}, {}};
    if (const auto amount = rule.ends_with('%') ? std::nullopt : amountText(rule, locale))
        return {MinimumEarned{MinimumEarned::Kind::Amount, *amount, 0}, {}};
    return {std::nullopt, Messages::Rules::BadMinimumEarned(text)};
}

RuleRead<long double> ParseFees(std::string_view text, const LocaleSettings &locale)
{
    const std::string_view fees = trimmed(text);
    if (fees.empty())
        return {0.0L, {}};
    if (const auto amount = amountText(fees, locale))
        return {*amount, {}};
    return {std::nullopt, Messages::Rules::BadFees(text)};
}

RuleTexts TextsOf(const RuleSet &rules)
{
    RuleTexts texts;
    switch (rules.shortRate.kind) {
    case ShortRateRule::Kind::BuiltInTables: texts.shortRate = "tables"; break;
    case ShortRateRule::Kind::ShareOfProRata: texts.shortRate = hundredthsText(rules.shortRate.shareHundredths); break;
    case ShortRateRule::Kind::Table: texts.shortRate = rules.shortRate.table->source; break;
    }
    switch (rules.minimumEarned.kind) {
    case MinimumEarned::Kind::None: texts.minimumEarned = "none"; break;
    case MinimumEarned::Kind::Amount: texts.minimumEarned = amountWritten(rules.minimumEarned.amount); break;
    case MinimumEarned::Kind::PercentOfPremium:
        texts.minimumEarned = hundredthsText(rules.minimumEarned.percentHundredths);
        break;
    }
    texts.fees = amountWritten(rules.fees);
    return texts;
}

int WholeMonthsBetween(int inceptionDay, int expirationDay)
{
    const std::chrono::year_month_day start = DateOfDayNumber(inceptionDay);
    for (int count = 1;; ++count) {
        const std::chrono::year_month target =
            std::chrono::year_month(start.year(), start.month()) + std::chrono::months(count);
        if (int(target.year()) > 9999)
            return 0;
        const unsigned lastDay = unsigned(DaysInMonth(int(target.year()), int(unsigned(target.month()))));
        const int day = DayNumber(target / std::chrono::day(std::min(unsigned(start.day()), lastDay)));
        if (day >= expirationDay)
            return day == expirationDay ? count : 0;
    }
}

RuledQuote CalculateRuledQuote(long double premium, int inceptionDay, int cancellationDay, const RuleSet &rules)
{
    RuledQuote out;
    CalculateRuledQuote(premium, inceptionDay, cancellationDay, rules, out);
    return out;
}

void CalculateRuledQuote(long double premium, int inceptionDay, int cancellationDay, const RuleSet &rules,
                         RuledQuote &out)
{
    out.error.clear();
    out.outcome = RuleOutcome{};
    if (rules.isDefault()) {
        out.quote = CalculateRefundQuote(premium, inceptionDay, cancellationDay);
        out.outcome.terms = {TermOutcome{true, false, kTermDays12, 12, "the built-in 12-month table", {}, false, false},
                             TermOutcome{true, false, kTermDays6, 6, "the built-in 6-month table", {}, false, false}};
        out.outcome.rangeMessage = Messages::ForRange(out.quote.Range);
        return;
    }
    out.quote = RefundQuote{};
    if (rules.fees != 0.0L && !(rules.fees <= premium)) {
        out.error = Messages::Rules::kFeesOverPremium;
        return;
    }
    if (rules.expirationDay && *rules.expirationDay <= inceptionDay) {
        out.error = Messages::Rules::kExpirationNotAfter;
        return;
    }
    out.outcome.applied = true;
    out.outcome.fees = rules.fees;
    RefundQuote &quote = out.quote;
    quote.Days = cancellationDay - inceptionDay;
    // Fees are earned whatever happens: the methods work on what is left.
    const long double worked = rules.fees == 0.0L ? premium : premium - rules.fees;
    if (rules.expirationDay) {
        const int termDays = *rules.expirationDay - inceptionDay;
        const Column column{termDays, WholeMonthsBetween(inceptionDay, *rules.expirationDay), true};
        quote.Range = rangeOf(quote.Days, termDays);
        workColumn(worked, quote.Days, column, rules.shortRate, quote.Term12, out.outcome.terms[0]);
        out.outcome.terms[1].worked = false;
        quote.Term6.ProRatedSet = false;
        quote.Term6.ShortRatedSet = false;
    } else {
        quote.Range = rangeOf(quote.Days, kTermDays12);
        workColumn(worked, quote.Days, Column{kTermDays12, 12, false}, rules.shortRate, quote.Term12,
                   out.outcome.terms[0]);
        workColumn(worked, quote.Days, Column{kTermDays6, 6, false}, rules.shortRate, quote.Term6,
                   out.outcome.terms[1]);
    }
    applyAmountRules(premium, rules, out);
    out.outcome.rangeMessage = rules.expirationDay && quote.Range == DayRange::drOverYear
        ? Messages::Rules::kAfterExpiration
        : Messages::ForRange(quote.Range);
}

RuleRead<RuleSet> ReadRuleSettings(const IniFile &settings)
{
    const LocaleSettings plain; // the file keeps '.' and no grouping, whatever the locale
    RuleSet rules;
    auto shortRate = ParseShortRateRule(settings.ReadString(kRulesSection, "ShortRate", ""), plain);
    if (!shortRate.value)
        return {std::nullopt, std::move(shortRate.error)};
    auto minimum = ParseMinimumEarned(settings.ReadString(kRulesSection, "MinimumEarned", ""), plain);
    if (!minimum.value)
        return {std::nullopt, std::move(minimum.error)};
    rules.shortRate = std::move(*shortRate.value);
    rules.minimumEarned = *minimum.value;
    return {std::move(rules), {}};
}

void WriteRuleSettings(IniFile &settings, const RuleSet &rules)
{
    const bool stored = !settings.ReadString(kRulesSection, "ShortRate", "").empty()
        || !settings.ReadString(kRulesSection, "MinimumEarned", "").empty();
    const bool chosen = rules.shortRate.kind != ShortRateRule::Kind::BuiltInTables
        || rules.minimumEarned.kind != MinimumEarned::Kind::None;
    if (!stored && !chosen)
        return; // an office that never chose a rule keeps its file as it was
    const RuleTexts texts = TextsOf(rules);
    settings.WriteString(kRulesSection, "ShortRate", texts.shortRate);
    settings.WriteString(kRulesSection, "MinimumEarned", texts.minimumEarned);
}

} // namespace quillon

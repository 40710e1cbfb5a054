#include "Quoterules.h"

#include "Asciicase.h"
#include "Messages.h"
#include "Shortdate.h"

using namespace quillon;

namespace {

// A batch naming more table files than this is no office's: past it each
// name is read again rather than kept, so memory stays flat.
constexpr std::size_t kMostTables = 256;

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A short-rate text that names no file: read without the table cache.
bool namesNoFile(std::string_view text)
{
    const std::string_view rule = trimmed(text);
    return rule.empty() || rule.ends_with('%') || EqualAsciiNoCase(rule, "tables");
}

std::optional<int> readExpiration(std::string_view text, const ShortDateReader &dates, const LocaleSettings &locale,
                                  int today)
{
    std::string converted;
    return dates.read(TypedText(text, locale, converted), today);
}

std::string badExpiration(std::string_view text)
{
    return "'" + Messages::QuotedInput(text) + "' is not a valid expiration date";
}

// The rules set, by name and text, as both forms show them.
template <typename Put>
void eachRule(const RuleSet &rules, const LocaleSettings &locale, Put put)
{
    const RuleTexts texts = TextsOf(rules);
    if (rules.shortRate.kind != ShortRateRule::Kind::BuiltInTables)
        put("short_rate", texts.shortRate);
    if (rules.minimumEarned.kind != MinimumEarned::Kind::None)
        put("minimum_earned", texts.minimumEarned);
    if (rules.fees != 0.0L)
        put("fees", texts.fees);
    if (rules.expirationDay)
        put("expires", DateFieldText(*rules.expirationDay, locale));
}

// The earned figures the minimum raised, by their column names.
template <typename Put>
void eachRaised(const QuoteRecord &quote, Put put)
{
    for (std::size_t i = 0; i < 2; ++i) {
        const TermOutcome &term = quote.rules.terms[i];
        const int months = i == 0 ? 12 : 6;
        if (term.minimumRaisedProRated)
            put(QuoteFigureOf(months, true, false, false).name);
        if (term.minimumRaisedShortRated)
            put(QuoteFigureOf(months, false, false, false).name);
    }
}

} // namespace

std::optional<std::string> ReadRuleOptions(const RuleOptions &options, const LocaleSettings &locale, int today,
                                           RuleSet &rules)
{
    if (options.shortRate) {
        auto read = ParseShortRateRule(*options.shortRate, locale);
        if (!read.value)
            return "--short-rate: " + read.error;
        rules.shortRate = std::move(*read.value);
    }
    if (options.minimumEarned) {
        const auto read = ParseMinimumEarned(*options.minimumEarned, locale);
        if (!read.value)
            return "--minimum-earned: " + read.error;
        rules.minimumEarned = *read.value;
    }
    if (options.fees) {
        const auto read = ParseFees(*options.fees, locale);
        if (!read.value)
            return "--fees: " + read.error;
        rules.fees = *read.value;
    }
    if (options.expires && !trimmed(*options.expires).empty()) {
        rules.expirationDay = readExpiration(*options.expires, ShortDateReader(locale), locale, today);
        if (!rules.expirationDay)
            return "--expires: " + badExpiration(*options.expires);
    }
    return std::nullopt;
}

RowRules::RowRules(const RuleSet &run, const BatchColumns &columns, const QuoteReader &reader)
    : m_run(run), m_columns(columns), m_reader(reader)
{
    // The option's table serves a row that names the same file.
    if (run.shortRate.kind == ShortRateRule::Kind::Table)
        m_tables.emplace(run.shortRate.table->source, RuleRead<ShortRateRule>{run.shortRate, {}});
}

RuleRead<ShortRateRule> RowRules::shortRate(std::string_view text) const
{
    if (namesNoFile(text))
        return ParseShortRateRule(text, m_reader.locale);
    const std::string_view name = trimmed(text);
    {
        const std::lock_guard lock(m_mutex);
        if (const auto kept = m_tables.find(name); kept != m_tables.end())
            return kept->second;
    }
    // Read outside the lock: another worker may read the same file at the
    // same time, and both readings are the same.
    RuleRead<ShortRateRule> read = ParseShortRateRule(text, m_reader.locale);
    const std::lock_guard lock(m_mutex);
    if (m_tables.size() < kMostTables)
        m_tables.emplace(std::string(name), read);
    return read;
}

bool RowRules::read(const CsvFields &fields, const BatchRow &row, RuleSet &rules, std::string &error) const
{
    rules = m_run;
    const auto column = [&](std::size_t index) { return m_columns.text(fields, row, index); };
    const std::string_view shortRateText = column(m_columns.shortRate);
    const std::string_view minimumText = column(m_columns.minimumEarned);
    const std::string_view feesText = column(m_columns.fees);
    const std::string_view expiresText = column(m_columns.expires);
    if (row.type == QuotationType::AdditionalPremium && !(trimmed(shortRateText).empty()
                                                          && trimmed(minimumText).empty() && trimmed(feesText).empty())) {
        error = "short_rate, minimum_earned and fees apply to a refund, not to an additional premium.";
        return false;
    }
    if (!trimmed(shortRateText).empty()) {
        auto read = shortRate(shortRateText);
        if (!read.value) {
            error = Messages::ErrorDisplayText(read.error);
            return false;
        }
        rules.shortRate = std::move(*read.value);
    }
    // Typed in the locale's character set, as the row's premium may be.
    std::string converted;
    if (!trimmed(minimumText).empty()) {
        const auto read = ParseMinimumEarned(TypedText(minimumText, m_reader.locale, converted), m_reader.locale);
        if (!read.value) {
            error = Messages::ErrorDisplayText(read.error);
            return false;
        }
        rules.minimumEarned = *read.value;
    }
    if (!trimmed(feesText).empty()) {
        const auto read = ParseFees(TypedText(feesText, m_reader.locale, converted), m_reader.locale);
        if (!read.value) {
            error = Messages::ErrorDisplayText(read.error);
            return false;
        }
        rules.fees = *read.value;
    }
    if (!trimmed(expiresText).empty()) {
        rules.expirationDay = readExpiration(expiresText, m_reader.dates, m_reader.locale, m_reader.today);
        if (!rules.expirationDay) {
            error = Messages::ErrorDisplayText(badExpiration(expiresText));
            return false;
        }
    }
    // The run's cancellation rules pass over a row of additional premium.
    if (row.type == QuotationType::AdditionalPremium)
        rules = RulesForAdditionalPremium(rules);
    return true;
}

std::string RulesText(const RuleSet &rules, const QuoteRecord &quote, const LocaleSettings &locale)
{
    std::string text;
    if (!quote.ok())
        return text;
    eachRule(rules, locale, [&](std::string_view name, const std::string &value) {
        if (!text.empty())
            text += ';';
        text.append(name).append("=").append(value);
    });
    bool first = true;
    eachRaised(quote, [&](std::string_view name) {
        text += first ? (text.empty() ? "minimum_raised=" : ";minimum_raised=") : " ";
        text += name;
        first = false;
    });
    return text;
}

nlohmann::ordered_json RulesObject(const RuleSet &rules, const QuoteRecord &quote, const LocaleSettings &locale)
{
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    if (!quote.ok())
        return object;
    eachRule(rules, locale, [&](std::string_view name, const std::string &value) { object[std::string(name)] = value; });
    eachRaised(quote, [&](std::string_view name) { object["minimum_raised"].push_back(name); });
    std::string empty;
    for (const TermOutcome &term : quote.rules.terms)
        if (term.worked && !term.shortRateEmpty.empty())
            empty += (empty.empty() ? "" : " ") + Messages::ErrorDisplayText(term.shortRateEmpty);
    if (!empty.empty())
        object["short_rate_empty"] = empty;
    return object;
}

std::string_view QuoteRangeMessage(const QuoteRecord &quote)
{
    return quote.rules.applied ? quote.rules.rangeMessage : Messages::ForRange(quote.quote.Range);
}

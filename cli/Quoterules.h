#pragma once

#include <array>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "Batchread.h"
#include "Quote.h"
#include "Rules.h"

// The office rules (core/Rules.h) as quillon-quote takes them: once a run
// from its options, and row by row from the optional columns of the same
// names, a column's text, where it has one, taking the option's place.

// The options' texts as typed; none given leaves every output as it was.
struct RuleOptions
{
    std::optional<std::string> shortRate, minimumEarned, fees, expires;

    bool any() const { return shortRate || minimumEarned || fees || expires; }
    // Whether a rule of a cancellation (all but the term) is given.
    bool cancellationRule() const { return shortRate || minimumEarned || fees; }
};

// Reads the options into `rules`: a table file is read here, once a run.
// The message refusing the first bad one, or nothing.
std::optional<std::string> ReadRuleOptions(const RuleOptions &options, const quillon::LocaleSettings &locale,
                                           int today, quillon::RuleSet &rules);

// The rules of each row of a batch: the run's, with the row's own columns
// over them. Shared by the workers; a table file a column names is read once
// and kept by its name.
class RowRules
{
public:
    RowRules(const quillon::RuleSet &run, const BatchColumns &columns, const quillon::QuoteReader &reader);

    // The rules of `row` into `rules` (RulesForAdditionalPremium for an
    // additional premium); false with the row's message, which refuses the
    // first bad column, in `error`.
    bool read(const CsvFields &fields, const BatchRow &row, quillon::RuleSet &rules, std::string &error) const;

private:
    quillon::RuleRead<quillon::ShortRateRule> shortRate(std::string_view text) const;

    const quillon::RuleSet &m_run;
    const BatchColumns &m_columns;
    const quillon::QuoteReader &m_reader;
    mutable std::mutex m_mutex;
    mutable std::map<std::string, quillon::RuleRead<quillon::ShortRateRule>, std::less<>> m_tables;
};

// What applied to a quote, in one line for the CSV's rules column and the
// single quote's table: the rules set, by their column names and in the
// texts they are read back from, then the earned figures the minimum
// raised: "short_rate=90%;fees=25.00;minimum_raised=PR12Earn SR12Earn".
// Empty under the built-in rules and for a quote that was not made.
std::string RulesText(const quillon::RuleSet &rules, const quillon::QuoteRecord &quote,
                      const quillon::LocaleSettings &locale);
// The same as a JSON object, with why a short rate was left empty.
nlohmann::ordered_json RulesObject(const quillon::RuleSet &rules, const quillon::QuoteRecord &quote,
                                   const quillon::LocaleSettings &locale);

// The message a quote's range gives: past an expiration date the rules' own.
std::string_view QuoteRangeMessage(const quillon::QuoteRecord &quote);

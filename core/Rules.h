#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Localeset.h"
#include "Ratetable.h"
#include "Urefund.h"

namespace quillon {

class IniFile;

// The rules an office quotes a cancellation by, beyond the two built-in
// short-rate tables: short rate as a share of pro rata or from a carrier's
// table, a minimum earned premium, fully earned fees, and a term running to
// an expiration date. The default RuleSet is how the program has always
// quoted, and with it CalculateRuledQuote gives CalculateRefundQuote's
// figures bit for bit.
//
// How the tool and the window use it:
//   - read each rule from its text (an option, a CSV column, the settings
//     file) with the Parse* functions below, which refuse a bad text with a
//     message and never throw;
//   - give the RuleSet to MakeQuote / FillQuoteRecord (Quote.h), or call
//     CalculateRuledQuote directly; the figures keep the layout of
//     RefundQuote, so the sixteen fields, their formats and texts are
//     unchanged, and RuleOutcome says what applied for the explanation;
//   - show a rule by RuleTexts, the same texts the parsers read, for a JSON
//     `rules` object or for the settings file (ReadRuleSettings,
//     WriteRuleSettings: section [RULES], keys ShortRate and MinimumEarned).
//
// The arithmetic, in the order it is applied (README, "Office rules"):
//   1. fees f: the methods work on premium - f; f is added to each earned
//      amount afterwards, and unearned = premium - earned. Fees above the
//      premium are refused (kFeesOverPremium).
//   2. the term: 365 and 183 days, or the actual days from inception to
//      expiration (29 February counting as a day like any other).
//   3. short rate: a table factor (as ever), or for a share p of pro rata
//      short-rate unearned = pro-rata unearned x p / 100 and earned = the
//      premium worked on less that; the rates alike (unearned rate =
//      pro-rata unearned rate x p / 100, earned rate = 1 less that).
//   4. the minimum earned premium m (an amount, or the percentage of the
//      premium), at most the premium: each earned amount below m is raised
//      to m. Only a positive premium has a minimum.
// Rates are the methods' own: fees and the minimum change amounts only.
// Nothing is rounded; the display formats round, as they always have.
//
// With an expiration date the quote has one term, the policy's own: its
// figures take the place of the 12-month column (Term12, the first of the
// display), and the 6-month column is not worked (TermOutcome::worked false,
// its figures shown empty or "Not Applicable", as the short rate of an
// additional premium is). A short-rate table applies to that term only when
// the term is a whole number of months (expiration = inception plus N
// months, a day the month lacks taken as its last day) and the table is for
// N months and reaches the day count; otherwise the short rate is empty and
// TermOutcome::shortRateEmpty says why. A share of pro rata always applies.
//
// The rules describe a cancellation. An additional premium takes only the
// term: use RulesForAdditionalPremium.

struct ShortRateRule
{
    enum class Kind
    {
        BuiltInTables, // the 12- and 6-month tables, as ever
        ShareOfProRata,
        Table, // a table file, for the term of its months
    };
    Kind kind = Kind::BuiltInTables;
    int shareHundredths = 10000; // ShareOfProRata: p in hundredths of a percent, 0 to 10000
    std::shared_ptr<const ShortRateTableFile> table;
};

struct MinimumEarned
{
    enum class Kind
    {
        None,
        Amount,
        PercentOfPremium,
    };
    Kind kind = Kind::None;
    long double amount = 0.0L; // Amount: 0 or more
    int percentHundredths = 0; // PercentOfPremium: 0 to 10000
};

struct RuleSet
{
    ShortRateRule shortRate;
    MinimumEarned minimumEarned;
    long double fees = 0.0L; // fully earned, never refunded; 0 or more
    std::optional<int> expirationDay; // a day number; none: the 12- and 6-month terms

    bool isDefault() const
    {
        return shortRate.kind == ShortRateRule::Kind::BuiltInTables && minimumEarned.kind == MinimumEarned::Kind::None
            && fees == 0.0L && !expirationDay;
    }
};

RuleSet RulesForAdditionalPremium(const RuleSet &rules);

// A rule read from its text, or the message that refuses it.
template <typename T>
struct RuleRead
{
    std::optional<T> value;
    std::string error;
};

// "" or "tables": the built-in tables; "90%" (up to two decimals, '.' or the
// locale's decimal separator, 0% to 100%): that share of pro rata; anything
// else names a table file, read at once (LoadShortRateTable), whose refusal
// is the error.
RuleRead<ShortRateRule> ParseShortRateRule(std::string_view text, const LocaleSettings &locale);
// "" or "none": none; "25%": that percentage of the premium; otherwise an
// amount as ParseAmount reads it ("150.00", "$150"), not negative.
RuleRead<MinimumEarned> ParseMinimumEarned(std::string_view text, const LocaleSettings &locale);
// "" : none; otherwise an amount as ParseAmount reads it, not negative.
RuleRead<long double> ParseFees(std::string_view text, const LocaleSettings &locale);

// The texts the parsers read back to the same rule: "tables", "90%", the
// table's file name; "none", "25%", "150.00"; "25.00". Amounts are written
// with '.' and no grouping, as the settings file keeps them; a share or
// percentage with its decimals only where it has them ("87.5%").
struct RuleTexts
{
    std::string shortRate;
    std::string minimumEarned;
    std::string fees;
};
RuleTexts TextsOf(const RuleSet &rules);

// What applied to one column of the quote.
struct TermOutcome
{
    bool worked = true;   // false: the 6-month column under an expiration date
    bool actual = false;  // the term runs to the expiration date
    int termDays = 0;     // 365, 183, or the actual days
    int months = 0;       // 12, 6, or the actual term's whole months (0: not whole months)
    // Where the short rate came from: "the 12-month table", "90% of pro rata",
    // "the 6-month table short-rate-6.csv"; empty when it was not worked.
    std::string shortRateRule;
    std::string shortRateEmpty; // why the short rate is empty; empty when it was worked
    bool minimumRaisedProRated = false;
    bool minimumRaisedShortRated = false;
};

struct RuleOutcome
{
    bool applied = false; // false: the default rules, the figures exactly as CalculateRefundQuote's
    long double fees = 0.0L;
    bool minimumApplies = false;   // a minimum was set and the premium is positive
    long double minimum = 0.0L;    // the minimum amount worked out, at most the premium
    std::array<TermOutcome, 2> terms; // the 12-month column, the 6-month column
    // The range message the window shows for Range, or empty: today's two
    // messages for the standard terms; past an expiration date, kAfterExpiration.
    std::string_view rangeMessage;
};

struct RuledQuote
{
    // Empty when worked; otherwise why the rules refuse this quote (fees over
    // the premium, an expiration not after inception), and nothing else is set.
    std::string error;
    RefundQuote quote;
    RuleOutcome outcome;
};

// Pure and, with the default rules, exactly CalculateRefundQuote. With an
// expiration date, Range is drOverYear for a cancellation after the
// expiration (the whole premium is then earned) and drNegative before the
// inception. A short rate left empty has ShortRatedSet false and its
// figures zero.
RuledQuote CalculateRuledQuote(long double premium, int inceptionDay, int cancellationDay, const RuleSet &rules);
// The same into a result kept between quotes.
void CalculateRuledQuote(long double premium, int inceptionDay, int cancellationDay, const RuleSet &rules,
                         RuledQuote &out);

// The whole months from inception to expiration, or 0 when the expiration is
// not inception plus a whole number of months (a day the month lacks taken
// as its last: 31 January plus one month is 28 or 29 February).
int WholeMonthsBetween(int inceptionDay, int expirationDay);

// The office's rules in the settings file: section [RULES], keys ShortRate
// and MinimumEarned, in the texts above. Missing keys read as the defaults;
// a bad value is refused with its message. Writing default rules into a file
// without the section leaves the file as it was.
inline constexpr std::string_view kRulesSection = "RULES";
RuleRead<RuleSet> ReadRuleSettings(const IniFile &settings);
void WriteRuleSettings(IniFile &settings, const RuleSet &rules);

} // namespace quillon

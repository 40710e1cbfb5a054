#pragma once

#include <array>
#include <string>
#include <string_view>

#include "Dispfmt.h"
#include "Localeset.h"
#include "Rules.h"
#include "Shortdate.h"
#include "Urefund.h"

namespace quillon {

// One quote, as the main window makes it and every output shows it: the
// three input texts read as the window reads them, the calculation, and the
// texts of the day count and the sixteen figures in their display formats.
// The window, quillon-quote and the printed page all take their texts from
// here, so they cannot drift apart.

enum class QuotationType
{
    Refund,
    AdditionalPremium,
};

struct QuoteRequest
{
    std::string_view premium;
    std::string_view start;
    std::string_view end;
    QuotationType type = QuotationType::Refund;
    // The office's rules (Rules.h), or null for the built-in ones: the
    // figures are then exactly as they have always been. The caller keeps
    // them alive for the call, and passes RulesForAdditionalPremium for an
    // additional premium.
    const RuleSet *rules = nullptr;
};

// One method's four figures, as their fields show them.
struct MethodTexts
{
    std::string Earn;
    std::string Unearn;
    std::string ERate;
    std::string URate;
};

struct QuoteRecord
{
    QuotationType type = QuotationType::Refund;
    // Empty when the quote was computed; otherwise the general error
    // display's text ("'abc' is not a valid date."), and nothing else is set.
    std::string error;
    long double premium = 0.0L;
    int startDay = 0;
    int endDay = 0;
    RefundQuote quote;
    // What the rules did, for the explanation and the outputs that name
    // them; `applied` is false under the built-in rules. A refusal by the
    // rules (fees over the premium) is the record's error.
    RuleOutcome rules;

    // The texts of the window's fields once the quote is made: the premium
    // as its field formats the value read, the dates as the date fields
    // write them back, the day count and the figures. Pro-rated figures
    // that were not worked (a negative day count) show the zeros the window
    // writes in their place.
    std::string premiumText;
    std::string startText;
    std::string endText;
    std::string days;
    MethodTexts PR12, PR6, SR12, SR6;

    bool ok() const { return error.empty(); }
};

// Reads and computes one quote. An unreadable premium is reported before
// the dates, and the inception date before the cancellation date, as the
// clerk meets them in the window.
QuoteRecord MakeQuote(const QuoteRequest &request, const LocaleSettings &locale, int today);
// The same into a record kept between quotes, so a batch reuses its strings.
void MakeQuote(const QuoteRequest &request, const LocaleSettings &locale, int today, QuoteRecord &record);

// What reading the texts of quotes takes, made once for a batch of them.
// `locale` must outlive it.
struct QuoteReader
{
    QuoteReader(const LocaleSettings &settings, int day) : locale(settings), today(day), dates(settings) {}
    const LocaleSettings &locale;
    int today;
    ShortDateReader dates;
};

// Reads the texts and works the quote as MakeQuote does, but leaves the
// record's texts as they were: for an output that writes the figures
// straight into its own text (FigureFormat, ShownFigureValue), so that no
// figure passes through a string of its own.
void WorkQuote(const QuoteRequest &request, const QuoteReader &reader, QuoteRecord &record);
// MakeQuote with the reading made once for a batch.
void MakeQuote(const QuoteRequest &request, const QuoteReader &reader, QuoteRecord &record);

// From a premium and two day numbers already read: the window's own way in,
// since its premium field holds a value rather than the text typed.
void FillQuoteRecord(long double premium, int startDay, int endDay, const LocaleSettings &locale,
                     QuoteRecord &record);
// The same under the office's rules; a refusal leaves the message in
// record.error (ErrorDisplayText form) and no texts.
void FillQuoteRecord(long double premium, int startDay, int endDay, const RuleSet &rules,
                     const LocaleSettings &locale, QuoteRecord &record);

std::string_view RangeName(DayRange range); // in-range, over-year, negative

// The one list of the sixteen figures, in the order of the batch's columns:
// pro-rated 12 and 6 months, then short-rated 12 and 6 months, each earned,
// unearned, earned rate, unearned rate. `name` is the window field's and the
// output column's name.
struct QuoteFigure
{
    std::string_view name;
    int months;      // 12 or 6
    bool proRated;   // else short-rated
    bool unearned;   // else earned
    bool rate;       // else an amount
    std::string_view format;
    MethodTexts QuoteRecord::*method;
    std::string MethodTexts::*text;
};
extern const std::array<QuoteFigure, 16> kQuoteFigures;

// The premium's and the day count's display formats; the figures carry theirs.
inline constexpr std::string_view kPremiumFieldFormat = kAmountFormat;
inline constexpr std::string_view kDaysFieldFormat = kDaysFormat;

inline const std::string &FigureText(const QuoteRecord &record, const QuoteFigure &figure)
{
    return record.*figure.method.*figure.text;
}
// The figure of a term (12 or 6 months), a method, and a kind.
const QuoteFigure &QuoteFigureOf(int months, bool proRated, bool unearned, bool rate);
// The unrounded value behind a figure's text: zero where it was not worked.
long double FigureValue(const RefundQuote &quote, const QuoteFigure &figure);
// False for the pro-rated figures of a negative day count, and for figures
// an office rule left unworked (a short rate no table is for, the 6-month
// column under an expiration date): outputs that can say so leave them empty.
inline bool FigureWorked(const RefundQuote &quote, const QuoteFigure &figure)
{
    const TermResult &term = figure.months == 12 ? quote.Term12 : quote.Term6;
    return figure.proRated ? term.ProRatedSet : term.ShortRatedSet;
}
// A figure as the outputs that can say so show it: empty where not worked.
inline std::string_view ShownFigureText(const QuoteRecord &record, const QuoteFigure &figure)
{
    return FigureWorked(record.quote, figure) ? std::string_view(FigureText(record, figure)) : std::string_view();
}
// For outputs that write the texts straight into their own: the format of
// each figure and of the day count, compiled once, and where a shown
// figure's value lies in the quote, null where it was not worked (and shows
// empty). The record's texts are made from the same.
const DisplayFormat &FigureFormat(const QuoteFigure &figure);
const DisplayFormat &DaysFieldFormat();
inline const long double *ShownFigureValue(const RefundQuote &quote, const QuoteFigure &figure)
{
    if (!FigureWorked(quote, figure))
        return nullptr;
    const TermResult &term = figure.months == 12 ? quote.Term12 : quote.Term6;
    const MethodFigures &method = figure.proRated ? term.ProRated : term.ShortRated;
    if (figure.rate)
        return figure.unearned ? &method.UnearnedRate : &method.EarnedRate;
    return figure.unearned ? &method.Unearned : &method.Earned;
}

} // namespace quillon

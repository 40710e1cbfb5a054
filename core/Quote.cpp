#include "Quote.h"

#include <new>
#include <type_traits>

#include "Messages.h"
#include "Shortdate.h"

namespace quillon {

namespace {

constexpr auto kPR12 = &QuoteRecord::PR12;
constexpr auto kPR6 = &QuoteRecord::PR6;
constexpr auto kSR12 = &QuoteRecord::SR12;
constexpr auto kSR6 = &QuoteRecord::SR6;

// Compiled once: a batch formats sixteen figures a row. Every format a
// quote uses is one of these.
const DisplayFormat &compiled(std::string_view format)
{
    static const DisplayFormat known[] = {DisplayFormat(kAmountFormat), DisplayFormat(kShortRateFormat),
                                          DisplayFormat(kProRataFormat), DisplayFormat(kDaysFormat)};
    for (const DisplayFormat &candidate : known)
        if (candidate.text() == format)
            return candidate;
    return known[0];
}

void formatInto(std::string &out, long double value, std::string_view format, const LocaleSettings &locale)
{
    out.clear();
    compiled(format).appendTo(out, value, locale);
}

const DisplayFormat &compiledFor(const QuoteFigure &figure);
const long double &figureValueIn(const RefundQuote &quote, const QuoteFigure &figure);

// A figure's text, shown or not.
void appendFigure(std::string &out, const RefundQuote &quote, const QuoteFigure &figure,
                  const LocaleSettings &locale)
{
    compiledFor(figure).appendTo(out, figureValueIn(quote, figure), locale);
}

} // namespace

const std::array<QuoteFigure, 16> kQuoteFigures = {{
    {"PR12Earn", 12, true, false, false, kAmountFormat, kPR12, &MethodTexts::Earn},
    {"PR12Unearn", 12, true, true, false, kAmountFormat, kPR12, &MethodTexts::Unearn},
    {"PR12ERate", 12, true, false, true, kProRataFormat, kPR12, &MethodTexts::ERate},
    {"PR12URate", 12, true, true, true, kProRataFormat, kPR12, &MethodTexts::URate},
    {"PR6Earn", 6, true, false, false, kAmountFormat, kPR6, &MethodTexts::Earn},
    {"PR6Unearn", 6, true, true, false, kAmountFormat, kPR6, &MethodTexts::Unearn},
    {"PR6ERate", 6, true, false, true, kProRataFormat, kPR6, &MethodTexts::ERate},
    {"PR6URate", 6, true, true, true, kProRataFormat, kPR6, &MethodTexts::URate},
    {"SR12Earn", 12, false, false, false, kAmountFormat, kSR12, &MethodTexts::Earn},
    {"SR12Unearn", 12, false, true, false, kAmountFormat, kSR12, &MethodTexts::Unearn},
    {"SR12ERate", 12, false, false, true, kShortRateFormat, kSR12, &MethodTexts::ERate},
    {"SR12URate", 12, false, true, true, kShortRateFormat, kSR12, &MethodTexts::URate},
    // The window's field is spelt so; the column and the page keep its name.
    {"SR6earn", 6, false, false, false, kAmountFormat, kSR6, &MethodTexts::Earn},
    {"SR6Unearn", 6, false, true, false, kAmountFormat, kSR6, &MethodTexts::Unearn},
    {"SR6ERate", 6, false, false, true, kShortRateFormat, kSR6, &MethodTexts::ERate},
    {"SR6URate", 6, false, true, true, kShortRateFormat, kSR6, &MethodTexts::URate},
}};

namespace {

// Each figure's format found once, so that a row's sixteen figures do not
// compare format texts to find theirs.
const DisplayFormat &compiledFor(const QuoteFigure &figure)
{
    static const std::array<const DisplayFormat *, kQuoteFigures.size()> formats = [] {
        std::array<const DisplayFormat *, kQuoteFigures.size()> all{};
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = &compiled(kQuoteFigures[i].format);
        return all;
    }();
    // Found by address, never by subtracting it: a caller may hand in a
    // copy that lies outside the list, and a difference of pointers into
    // two objects has no meaning. The copy's own format text finds its format.
    for (std::size_t i = 0; i < formats.size(); ++i)
        if (&kQuoteFigures[i] == &figure)
            return *formats[i];
    return compiled(figure.format);
}

} // namespace

const QuoteFigure &QuoteFigureOf(int months, bool proRated, bool unearned, bool rate)
{
    for (const QuoteFigure &figure : kQuoteFigures)
        if (figure.months == months && figure.proRated == proRated && figure.unearned == unearned
            && figure.rate == rate)
            return figure;
    return kQuoteFigures.front(); // every combination is in the list
}

namespace {

// Where a figure's value lies in the quote, so it is formatted from there.
const long double &figureValueIn(const RefundQuote &quote, const QuoteFigure &figure)
{
    static const long double notWorked = 0.0L;
    const long double *value = ShownFigureValue(quote, figure);
    return value ? *value : notWorked;
}

} // namespace

long double FigureValue(const RefundQuote &quote, const QuoteFigure &figure)
{
    return figureValueIn(quote, figure);
}

namespace {

void workValues(long double premium, int startDay, int endDay, const RuleSet *rules, QuoteRecord &record)
{
    record.error.clear();
    record.premium = premium;
    record.startDay = startDay;
    record.endDay = endDay;
    if (rules && !rules->isDefault()) {
        RuledQuote ruled;
        CalculateRuledQuote(premium, startDay, endDay, *rules, ruled);
        if (!ruled.error.empty()) {
            record.error = Messages::ErrorDisplayText(ruled.error);
            return;
        }
        record.quote = ruled.quote;
        record.rules = std::move(ruled.outcome);
        return;
    }
    if (record.rules.applied)
        record.rules = RuleOutcome{};
    // Made in its place: assigning it would copy its three hundred bytes
    // once more for every row of a batch. It has nothing to destroy.
    static_assert(std::is_trivially_destructible_v<RefundQuote>);
    ::new (static_cast<void *>(&record.quote)) RefundQuote(CalculateRefundQuote(premium, startDay, endDay));
}

void fillTexts(QuoteRecord &record, const LocaleSettings &locale)
{
    formatInto(record.premiumText, record.premium, kPremiumFieldFormat, locale);
    record.startText = DateFieldText(record.startDay, locale);
    record.endText = DateFieldText(record.endDay, locale);
    formatInto(record.days, static_cast<long double>(record.quote.Days), kDaysFieldFormat, locale);
    for (const QuoteFigure &figure : kQuoteFigures) {
        std::string &text = record.*figure.method.*figure.text;
        text.clear();
        appendFigure(text, record.quote, figure, locale);
    }
}

} // namespace

void FillQuoteRecord(long double premium, int startDay, int endDay, const LocaleSettings &locale,
                     QuoteRecord &record)
{
    workValues(premium, startDay, endDay, nullptr, record);
    fillTexts(record, locale);
}

void FillQuoteRecord(long double premium, int startDay, int endDay, const RuleSet &rules,
                     const LocaleSettings &locale, QuoteRecord &record)
{
    workValues(premium, startDay, endDay, &rules, record);
    if (record.ok())
        fillTexts(record, locale);
}

const DisplayFormat &FigureFormat(const QuoteFigure &figure)
{
    return compiledFor(figure);
}

const DisplayFormat &DaysFieldFormat()
{
    static const DisplayFormat &days = compiled(kDaysFieldFormat);
    return days;
}

namespace {

void workTypedQuote(const QuoteRequest &request, const QuoteReader &reader, QuoteRecord &record)
{
    const LocaleSettings &locale = reader.locale;
    record.type = request.type;
    record.error.clear();
    // No key filter stands between a command line or a CSV file and the
    // reading, so only a whole amount is taken: "1e5" or "abc123" is
    // refused, never read as the digits it happens to hold.
    const std::optional<long double> premium = ParseAmount(request.premium, locale);
    if (!premium) {
        record.error = Messages::ErrorDisplayText(Messages::InvalidPremium(Messages::QuotedInput(request.premium)));
        return;
    }
    int days[2] = {};
    const std::string_view texts[2] = {request.start, request.end};
    for (int i = 0; i < 2; ++i) {
        const std::optional<int> parsed = reader.dates.read(texts[i], reader.today);
        if (!parsed) {
            record.error = Messages::ErrorDisplayText(Messages::InvalidDate(Messages::QuotedInput(texts[i])));
            return;
        }
        days[i] = *parsed;
    }
    workValues(*premium, days[0], days[1], request.rules, record);
}

} // namespace

void WorkQuote(const QuoteRequest &request, const QuoteReader &reader, QuoteRecord &record)
{
    if (reader.locale.typedCharset.empty()) {
        workTypedQuote(request, reader, record);
        return;
    }
    // Under a locale of another character set the texts are read in UTF-8,
    // and a message quotes them so.
    std::string premium, start, end;
    QuoteRequest typed = request;
    typed.premium = TypedText(request.premium, reader.locale, premium);
    typed.start = TypedText(request.start, reader.locale, start);
    typed.end = TypedText(request.end, reader.locale, end);
    workTypedQuote(typed, reader, record);
}

void MakeQuote(const QuoteRequest &request, const QuoteReader &reader, QuoteRecord &record)
{
    WorkQuote(request, reader, record);
    if (record.ok())
        fillTexts(record, reader.locale);
}

void MakeQuote(const QuoteRequest &request, const LocaleSettings &locale, int today, QuoteRecord &record)
{
    MakeQuote(request, QuoteReader(locale, today), record);
}

QuoteRecord MakeQuote(const QuoteRequest &request, const LocaleSettings &locale, int today)
{
    QuoteRecord record;
    MakeQuote(request, locale, today, record);
    return record;
}

std::string_view RangeName(DayRange range)
{
    switch (range) {
    case DayRange::drOverYear: return "over-year";
    case DayRange::drNegative: return "negative";
    case DayRange::drInRange: break;
    }
    return "in-range";
}

} // namespace quillon

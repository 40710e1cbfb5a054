#include "Quote.h"

#include "Messages.h"
#include "Shortdate.h"

QuoteOutcome ComputeQuote(const QuoteRequest &request, const LocaleSettings &locale, int today)
{
    QuoteOutcome outcome;
    // The clerk types the premium first and leaves its field before the
    // dates are read, so an unreadable premium is reported first. No key
    // filter stands between a command line or a CSV file and the reading, so
    // only a whole amount is taken: "1e5" or "abc123" is refused, never read
    // as the digits it happens to hold.
    const std::optional<long double> premium = ParseAmount(request.premium, locale);
    if (!premium) {
        outcome.error = Messages::ErrorDisplayText(Messages::InvalidPremium(Messages::QuotedInput(request.premium)));
        return outcome;
    }
    // Inception first: when both dates are bad the message names the inception text.
    for (const auto &[text, day] : {std::pair{request.start, &outcome.startDay}, std::pair{request.end, &outcome.endDay}}) {
        const std::optional<int> parsed = TryParseShortDate(text, locale, today);
        if (!parsed) {
            outcome.error = Messages::ErrorDisplayText(Messages::InvalidDate(Messages::QuotedInput(text)));
            return outcome;
        }
        *day = *parsed;
    }
    outcome.premium = *premium;
    outcome.quote = CalculateRefundQuote(outcome.premium, outcome.startDay, outcome.endDay);
    return outcome;
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

namespace {

void fillMethod(const MethodFigures &figures, const DisplayFormat &rate, const FieldFormats &formats,
                const LocaleSettings &locale, std::string *texts)
{
    for (int i = 0; i < 4; ++i)
        texts[i].clear();
    formats.amount.appendTo(texts[0], figures.Earned, locale);
    formats.amount.appendTo(texts[1], figures.Unearned, locale);
    rate.appendTo(texts[2], figures.EarnedRate, locale);
    rate.appendTo(texts[3], figures.UnearnedRate, locale);
}

} // namespace

void FillQuoteFieldTexts(const RefundQuote &quote, const FieldFormats &formats, const LocaleSettings &locale,
                         QuoteFieldTexts &texts)
{
    texts.days.clear();
    formats.days.appendTo(texts.days, static_cast<long double>(quote.Days), locale);
    const TermResult *terms[] = {&quote.Term12, &quote.Term6};
    for (int t = 0; t < 2; ++t) {
        std::string *proRated = texts.figures + 4 * t;
        if (terms[t]->ProRatedSet) {
            fillMethod(terms[t]->ProRated, formats.proRata, formats, locale, proRated);
        } else {
            for (int i = 0; i < 4; ++i)
                proRated[i].clear();
        }
        fillMethod(terms[t]->ShortRated, formats.shortRate, formats, locale, texts.figures + 8 + 4 * t);
    }
}

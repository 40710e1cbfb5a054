#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Dispfmt.h"
#include "Localeset.h"
#include "Urefund.h"

// One quote as the main window computes it: the premium read as its field
// reads typed text, the dates read with ParseShortDate, then the calculation.
struct QuoteRequest
{
    std::string_view premium;
    std::string_view start;
    std::string_view end;
};

struct QuoteOutcome
{
    // Empty when the quote was computed; otherwise the general error
    // display's text ("'abc' is not a valid date.").
    std::string error;
    long double premium = 0.0L;
    int startDay = 0;
    int endDay = 0;
    RefundQuote quote;
    bool ok() const { return error.empty(); }
};

QuoteOutcome ComputeQuote(const QuoteRequest &request, const LocaleSettings &locale, int today);

std::string_view RangeName(DayRange range); // in-range, over-year, negative

// The display formats of the window's result fields, compiled once.
struct FieldFormats
{
    DisplayFormat amount{kAmountFormat};
    DisplayFormat shortRate{kShortRateFormat};
    DisplayFormat proRata{kProRataFormat};
    DisplayFormat days{kDaysFormat};
};

// The sixteen result fields in the order PR12, PR6, SR12, SR6, each as
// Earn, Unearn, ERate, URate: the texts the window shows after the quote.
// Pro-rated entries stay empty when the window would not write them.
struct QuoteFieldTexts
{
    std::string days;
    std::string figures[16];
};

void FillQuoteFieldTexts(const RefundQuote &quote, const FieldFormats &formats, const LocaleSettings &locale,
                         QuoteFieldTexts &texts);

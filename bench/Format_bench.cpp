#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "Decimal.h"
#include "Dispfmt.h"
#include "Shortdate.h"
#include "Urefund.h"

using namespace quillon;

namespace quillon {

// Reaches the digit way that DisplayFormat keeps private, to time it beside
// the plain way in the same run.
struct DisplayFormatByDigits
{
    static void appendTo(const DisplayFormat &format, std::string &out, long double value,
                         const LocaleSettings &locale)
    {
        format.appendByDigits(out, value, locale);
    }
};

} // namespace quillon

namespace {

// Typical figures: amounts with unrepresentable cents and full-precision rates.
const std::array<long double, 8> kValues = {
    274.0L * 0.001L * 1000.0L, 620.00000476837158203125L, 0.27397260273972602739L,
    0.9499999992549419403L, 1234567.891L, -250.0L, 0.0L, 365.0L,
};

void BM_FormatText(benchmark::State &state, std::string_view format)
{
    const DisplayFormat compiled(format);
    const LocaleSettings locale;
    std::string out;
    std::size_t i = 0;
    for (auto _ : state) {
        out.clear();
        compiled.appendTo(out, kValues[i++ % kValues.size()], locale);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK_CAPTURE(BM_FormatText, amount, kAmountFormat);
BENCHMARK_CAPTURE(BM_FormatText, short_rate, kShortRateFormat);
BENCHMARK_CAPTURE(BM_FormatText, pro_rata, kProRataFormat);
BENCHMARK_CAPTURE(BM_FormatText, days, kDaysFormat);

void BM_FormatTextByDigits(benchmark::State &state, std::string_view format)
{
    const DisplayFormat compiled(format);
    const LocaleSettings locale;
    std::string out;
    std::size_t i = 0;
    for (auto _ : state) {
        out.clear();
        DisplayFormatByDigits::appendTo(compiled, out, kValues[i++ % kValues.size()], locale);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK_CAPTURE(BM_FormatTextByDigits, amount, kAmountFormat);
BENCHMARK_CAPTURE(BM_FormatTextByDigits, short_rate, kShortRateFormat);
BENCHMARK_CAPTURE(BM_FormatTextByDigits, pro_rata, kProRataFormat);
BENCHMARK_CAPTURE(BM_FormatTextByDigits, days, kDaysFormat);

void BM_RoundToDecimalUnits(benchmark::State &state)
{
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(RoundToDecimalUnits(kValues[i++ % kValues.size()], 2));
}
BENCHMARK(BM_RoundToDecimalUnits);

// The seventeen figures of a batch row (days and four methods of four), as
// the quote tool formats them, over quotes of random premiums and spans.
std::vector<RefundQuote> sampleQuotes()
{
    std::mt19937 random(7);
    std::uniform_int_distribution<long> cents(0, 5000000);
    std::uniform_int_distribution<int> span(-20, 420);
    std::vector<RefundQuote> quotes;
    for (int i = 0; i < 4096; ++i)
        quotes.push_back(CalculateRefundQuote(static_cast<long double>(cents(random)) / 100.0L, 46000,
                                              46000 + span(random)));
    return quotes;
}

template<bool byDigits>
void BM_FormatQuoteRow(benchmark::State &state)
{
    const std::vector<RefundQuote> quotes = sampleQuotes();
    const DisplayFormat amount(kAmountFormat), shortRate(kShortRateFormat), proRata(kProRataFormat),
        days(kDaysFormat);
    const LocaleSettings locale;
    std::array<std::string, 17> texts;
    auto append = [&](std::string &text, const DisplayFormat &format, long double value) {
        text.clear();
        if constexpr (byDigits)
            DisplayFormatByDigits::appendTo(format, text, value, locale);
        else
            format.appendTo(text, value, locale);
    };
    std::size_t i = 0;
    for (auto _ : state) {
        const RefundQuote &quote = quotes[i++ % quotes.size()];
        append(texts[0], days, static_cast<long double>(quote.Days));
        std::size_t t = 1;
        for (const TermResult *term : {&quote.Term12, &quote.Term6}) {
            for (const MethodFigures *figures : {&term->ProRated, &term->ShortRated}) {
                const DisplayFormat &rate = figures == &term->ProRated ? proRata : shortRate;
                append(texts[t++], amount, figures->Earned);
                append(texts[t++], amount, figures->Unearned);
                append(texts[t++], rate, figures->EarnedRate);
                append(texts[t++], rate, figures->UnearnedRate);
            }
        }
        benchmark::DoNotOptimize(texts.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_TEMPLATE(BM_FormatQuoteRow, false)->Name("BM_FormatQuoteRow");
BENCHMARK_TEMPLATE(BM_FormatQuoteRow, true)->Name("BM_FormatQuoteRowByDigits");

void BM_ParseText(benchmark::State &state)
{
    const LocaleSettings locale;
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseText("$12,345.67", locale));
}
BENCHMARK(BM_ParseText);

void BM_ParseShortDate(benchmark::State &state)
{
    const LocaleSettings locale;
    const int today = 46363;
    const std::array<const char *, 4> texts = {"1/15/2026", "12/31/1999", " 7 / 4 / 95 ", "2/29/2024"};
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseShortDate(texts[i++ % texts.size()], locale, today));
}
BENCHMARK(BM_ParseShortDate);

} // namespace

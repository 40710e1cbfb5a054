#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "Dispfmt.h"
#include "Shortdate.h"

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

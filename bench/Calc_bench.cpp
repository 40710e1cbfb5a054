#include <benchmark/benchmark.h>

#include "Urefund.h"

using namespace quillon;

namespace {

void BM_CalculateRefundQuote(benchmark::State &state)
{
    long double premium = 1234.56L;
    int day = 0;
    for (auto _ : state) {
        // Cycle through day counts so the table lookup and both branches are exercised.
        const RefundQuote quote = CalculateRefundQuote(premium, 46000, 46000 + (day++ % 400) - 20);
        benchmark::DoNotOptimize(quote);
    }
}
BENCHMARK(BM_CalculateRefundQuote);

} // namespace

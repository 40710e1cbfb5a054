#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "Batch.h"
#include "Localeset.h"

using namespace quillon;

namespace {

constexpr int kRows = 1000000;

// Writes the rows straight to a temporary file, so the input never sits in
// this process's memory and the peak measured is the batch's own.
std::string generateInput()
{
    char path[] = "/tmp/quillon-bench-XXXXXX";
    std::FILE *f = fdopen(mkstemp(path), "wb");
    std::fputs("premium,start,end\n", f);
    std::mt19937 random(42);
    std::uniform_int_distribution<int> cents(0, 5000000), month(1, 12), day(1, 28), year(2020, 2027);
    for (int i = 0; i < kRows; ++i) {
        const int c = cents(random);
        if (i % 10 == 0)
            std::fprintf(f, "\"$%d,%03d.%02d\",", c / 100000, c / 100 % 1000, c % 100);
        else
            std::fprintf(f, "%d.%02d,", c / 100, c % 100);
        std::fprintf(f, "%d/%d/%d,%d/%d/%d\n", month(random), day(random), year(random), month(random),
                     day(random), year(random));
    }
    std::fclose(f);
    return path;
}

void BM_Batch(benchmark::State &state)
{
    static const std::string input = generateInput();
    const LocaleSettings locale;
    BatchOptions options;
    options.jobs = unsigned(state.range(0));
    options.format = state.range(1) ? BatchFormat::JsonLines : BatchFormat::Csv;
    for (auto _ : state) {
        std::FILE *in = std::fopen(input.c_str(), "rb");
        std::FILE *out = std::fopen("/dev/null", "wb");
        std::string error;
        benchmark::DoNotOptimize(RunBatch(in, out, locale, 46363, error, options));
        std::fclose(in);
        std::fclose(out);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
}
// One job and two, each output; the peak is the process's, so the JSON
// and two-job rows include what the rows before them took.
BENCHMARK(BM_Batch)
    ->ArgNames({"jobs", "json"})
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace

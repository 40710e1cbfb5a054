#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "Batch.h"
#include "Localeset.h"
#include "Quote.h"
#include "Readback.h"

using namespace quillon;

namespace {

constexpr int kRows = 1000000;
constexpr int kToday = 46363;

// Rows as clerks type them: amounts with cents, every tenth grouped and
// quoted with a dollar sign, and dates up to seven years apart.
void writeRows(std::FILE *f, int rows)
{
    std::fputs("premium,start,end\n", f);
    std::mt19937 random(42);
    std::uniform_int_distribution<int> cents(0, 5000000), month(1, 12), day(1, 28), year(2020, 2027);
    for (int i = 0; i < rows; ++i) {
        const int c = cents(random);
        if (i % 10 == 0)
            std::fprintf(f, "\"$%d,%03d.%02d\",", c / 100000, c / 100 % 1000, c % 100);
        else
            std::fprintf(f, "%d.%02d,", c / 100, c % 100);
        std::fprintf(f, "%d/%d/%d,%d/%d/%d\n", month(random), day(random), year(random), month(random),
                     day(random), year(random));
    }
}

// Writes the rows straight to a temporary file, so the input never sits in
// this process's memory and the peak measured is the batch's own.
std::string generateInput()
{
    char path[] = "/tmp/quillon-bench-XXXXXX";
    std::FILE *f = fdopen(mkstemp(path), "wb");
    writeRows(f, kRows);
    std::fclose(f);
    return path;
}

void countRows(benchmark::State &state, std::size_t rows)
{
    state.counters["rows_per_s"] =
        benchmark::Counter(double(state.iterations()) * double(rows), benchmark::Counter::kIsRate);
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
        benchmark::DoNotOptimize(RunBatch(in, out, locale, kToday, error, options));
        std::fclose(in);
        std::fclose(out);
    }
    countRows(state, kRows);
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

// The stages of a batch one at a time, each on the rows the stage before
// it made, in rows per second: reading and splitting the CSV, reading the
// premium and the dates, the calculation, the output row, and its writing.
// Their sum against BM_Batch's one job shows what the hand-over costs.
constexpr int kStageRows = 100000;
constexpr std::size_t kChunkRows = 4096;

std::string stageInput()
{
    char *text = nullptr;
    std::size_t size = 0;
    std::FILE *f = open_memstream(&text, &size);
    writeRows(f, kStageRows);
    std::fclose(f);
    std::string input(text, size);
    std::free(text);
    return input;
}

// The input's rows as the reader hands them on.
struct StageRows
{
    std::vector<BatchRow> rows;
    CsvFields fields;
    BatchColumns columns;
};

const StageRows &stageRows()
{
    static const StageRows read = [] {
        std::string input = stageInput();
        std::FILE *f = fmemopen(input.data(), input.size(), "rb");
        BatchReader reader(f);
        StageRows rows;
        reader.readHeader();
        for (BatchRow row; reader.next(row, rows.fields);)
            rows.rows.push_back(row);
        rows.columns = reader.columns();
        std::fclose(f);
        return rows;
    }();
    return read;
}

// The first rows quoted, for the stages after the calculation: few enough
// to stay in the cache, as the one record a worker reuses for every row does.
constexpr std::size_t kQuotedRows = 256;
const std::vector<QuoteRecord> &stageQuotes()
{
    static const std::vector<QuoteRecord> quotes = [] {
        const StageRows &read = stageRows();
        const LocaleSettings locale;
        const QuoteReader reader(locale, kToday);
        std::vector<QuoteRecord> all(kQuotedRows);
        for (std::size_t i = 0; i < all.size(); ++i)
            WorkQuote(read.columns.request(read.fields, read.rows[i]), reader, all[i]);
        return all;
    }();
    return quotes;
}

void BM_StageRead(benchmark::State &state)
{
    std::string input = stageInput();
    CsvFields fields;
    for (auto _ : state) {
        std::FILE *f = fmemopen(input.data(), input.size(), "rb");
        BatchReader reader(f);
        reader.readHeader();
        std::size_t n = 0;
        for (BatchRow row; reader.next(row, fields); ++n)
            if (n % kChunkRows == 0)
                fields.clear();
        std::fclose(f);
        benchmark::DoNotOptimize(n);
    }
    countRows(state, kStageRows);
}
BENCHMARK(BM_StageRead)->Unit(benchmark::kMillisecond);

void BM_StageParse(benchmark::State &state)
{
    const StageRows &read = stageRows();
    const LocaleSettings locale;
    const QuoteReader reader(locale, kToday);
    for (auto _ : state) {
        for (const BatchRow &row : read.rows) {
            const QuoteRequest request = read.columns.request(read.fields, row);
            benchmark::DoNotOptimize(ParseAmount(request.premium, locale));
            benchmark::DoNotOptimize(reader.dates.read(request.start, kToday));
            benchmark::DoNotOptimize(reader.dates.read(request.end, kToday));
        }
    }
    countRows(state, read.rows.size());
}
BENCHMARK(BM_StageParse)->Unit(benchmark::kMillisecond);

void BM_StageCalculate(benchmark::State &state)
{
    const StageRows &read = stageRows();
    const LocaleSettings locale;
    const QuoteReader reader(locale, kToday);
    struct Read
    {
        long double premium;
        int start, end;
    };
    std::vector<Read> values;
    for (const BatchRow &row : read.rows) {
        const QuoteRequest request = read.columns.request(read.fields, row);
        const auto premium = ParseAmount(request.premium, locale);
        const auto start = reader.dates.read(request.start, kToday), end = reader.dates.read(request.end, kToday);
        if (premium && start && end)
            values.push_back({*premium, *start, *end});
    }
    for (auto _ : state) {
        for (const Read &value : values)
            benchmark::DoNotOptimize(CalculateRefundQuote(value.premium, value.start, value.end));
    }
    countRows(state, values.size());
}
BENCHMARK(BM_StageCalculate)->Unit(benchmark::kMillisecond);

void BM_StageFormat(benchmark::State &state)
{
    const StageRows &read = stageRows();
    const std::vector<QuoteRecord> &quotes = stageQuotes();
    const LocaleSettings locale;
    const std::unique_ptr<TextSink> sink =
        TextSink::make(state.range(0) ? BatchFormat::JsonLines : BatchFormat::Csv, stdout, locale);
    const std::unique_ptr<BatchSink::Scratch> scratch = sink->scratch();
    std::string text;
    for (auto _ : state) {
        text.clear();
        for (std::size_t i = 0; i < quotes.size(); ++i)
            sink->format(read.rows[i], quotes[i], text, scratch.get());
        benchmark::DoNotOptimize(text.data());
    }
    countRows(state, quotes.size());
}
BENCHMARK(BM_StageFormat)->ArgName("json")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_StageWrite(benchmark::State &state)
{
    const StageRows &read = stageRows();
    const std::vector<QuoteRecord> &quotes = stageQuotes();
    const LocaleSettings locale;
    std::FILE *out = std::fopen("/dev/null", "wb");
    const std::unique_ptr<TextSink> sink = TextSink::make(BatchFormat::Csv, out, locale);
    // The rows formatted once, as a worker hands them over.
    BatchChunk chunk;
    for (std::size_t i = 0; i < quotes.size(); ++i) {
        chunk.rows.push_back(read.rows[i]);
        sink->format(read.rows[i], quotes[i], chunk.text, nullptr);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(sink->write(chunk));
    sink->finish();
    std::fclose(out);
    countRows(state, quotes.size());
}
BENCHMARK(BM_StageWrite)->Unit(benchmark::kMillisecond);

} // namespace

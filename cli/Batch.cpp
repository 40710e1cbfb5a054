#include "Batch.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Dispfmt.h"
#include "Fpu.h"
#include "Quote.h"

using namespace quillon;

namespace {

// Rows handed to a thread at a time: enough to make the hand-over cheap,
// few enough that the chunks in flight stay a few megabytes.
constexpr std::size_t kChunkRows = 4096;
// The progress line is looked at every so many rows.
constexpr std::size_t kProgressRows = 64;

double secondsNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Counts grouped the way the day count is shown.
std::string grouped(std::size_t n)
{
    return FormatText(static_cast<long double>(n), kDaysFormat, LocaleSettings{});
}

// What every worker needs to quote a chunk; none of it changes during a batch.
struct Quoting
{
    const BatchColumns &columns;
    const QuoteReader reader;
    const BatchSink &sink;
};

// Quotes each row of a chunk and lets the sink make its part of the output.
void quoteChunk(BatchChunk &chunk, const Quoting &quoting)
{
    quillon::UseExtendedPrecision(); // Windows starts a thread at 53 bits
    const bool keep = quoting.sink.keepsQuotes();
    chunk.quotes.resize(keep ? chunk.rows.size() : 1);
    chunk.text.clear();
    chunk.text.reserve(chunk.rows.size() * 192);
    chunk.failed = false;
    for (std::size_t i = 0; i < chunk.rows.size(); ++i) {
        const BatchRow &row = chunk.rows[i];
        QuoteRecord &quote = chunk.quotes[keep ? i : 0];
        if (!row.problem.empty())
            quote.error = row.problem;
        else if (keep)
            MakeQuote(quoting.columns.request(chunk.fields, row), quoting.reader.locale, quoting.reader.today, quote);
        else
            WorkQuote(quoting.columns.request(chunk.fields, row), quoting.reader, quote);
        chunk.failed = chunk.failed || !quote.ok();
        quoting.sink.format(row, quote, chunk.text);
    }
}

// Reads up to `size` rows; false once the input has run out.
bool readChunk(BatchReader &reader, BatchChunk &chunk, std::size_t size)
{
    chunk.rows.resize(size);
    chunk.fields.clear();
    std::size_t n = 0;
    bool more = true;
    while (n < size && (more = reader.next(chunk.rows[n], chunk.fields)))
        ++n;
    chunk.rows.resize(n);
    return more;
}

} // namespace

BatchProgress::BatchProgress(bool enabled, std::FILE *in)
    : m_enabled(enabled && isatty(STDERR_FILENO))
{
    if (!m_enabled)
        return;
    struct stat status;
    if (fstat(fileno(in), &status) == 0 && S_ISREG(status.st_mode))
        m_total = status.st_size;
    m_start = m_lastDraw = secondsNow();
}

BatchProgress::~BatchProgress() = default;

void BatchProgress::update(std::size_t rows, std::size_t bytesRead)
{
    if (!m_enabled)
        return;
    const double now = secondsNow();
    if (now - m_lastDraw < 0.1)
        return;
    m_lastDraw = now;
    draw(rows, bytesRead, false);
}

void BatchProgress::finish(std::size_t rows, std::size_t bytesRead)
{
    if (m_enabled && m_drawn)
        draw(rows, bytesRead, true);
}

void BatchProgress::draw(std::size_t rows, std::size_t bytesRead, bool last)
{
    const double elapsed = std::max(secondsNow() - m_start, 1e-6);
    std::string text = grouped(rows) + " rows, " + grouped(std::size_t(double(rows) / elapsed)) + " rows/s";
    if (m_total > 0 && !last) {
        const double share = std::min(1.0, double(bytesRead) / double(m_total));
        text += ", " + std::to_string(int(share * 100)) + "% read";
        if (share > 0.001) {
            const long left = long(elapsed * (1 - share) / share + 0.5);
            char clock[32];
            std::snprintf(clock, sizeof clock, ", %ld:%02ld left", left / 60, left % 60);
            text += clock;
        }
    }
    // One line, rewritten in place; the finished line stays.
    std::fprintf(stderr, "\r\033[K%s%s", text.c_str(), last ? "\n" : "");
    std::fflush(stderr);
    m_drawn = true;
}

BatchRun QuoteRows(BatchReader &reader, BatchSink &sink, const LocaleSettings &locale, int today, unsigned jobs,
                   BatchProgress &progress)
{
    const Quoting quoting{reader.columns(), QuoteReader(locale, today), sink};
    // One job reads, quotes and writes a row at a time, as a filter does:
    // what has been written when the output fails is all the rows before.
    const std::size_t chunkRows = jobs <= 1 ? 1 : kChunkRows;
    BatchRun run;
    // Chunks written, kept for their storage, so a row's strings are not
    // made anew for every row.
    std::vector<std::unique_ptr<BatchChunk>> spare;
    auto write = [&](std::unique_ptr<BatchChunk> chunk) {
        const std::size_t before = run.rows;
        run.rowFailed = run.rowFailed || chunk->failed;
        run.rows += chunk->rows.size();
        if (run.rows / kProgressRows != before / kProgressRows)
            progress.update(run.rows, reader.bytesRead());
        run.stopped = !sink.write(*chunk);
        spare.push_back(std::move(chunk));
    };
    // Chunks are worked on their own threads and written in the order they
    // were read; at most `jobs` are in flight, so memory stays flat.
    std::deque<std::pair<std::future<void>, std::unique_ptr<BatchChunk>>> pending;
    auto writeOldest = [&] {
        pending.front().first.get();
        std::unique_ptr<BatchChunk> chunk = std::move(pending.front().second);
        pending.pop_front();
        write(std::move(chunk));
    };
    bool more = true;
    while (more && !run.stopped) {
        std::unique_ptr<BatchChunk> chunk;
        if (spare.empty()) {
            chunk = std::make_unique<BatchChunk>();
        } else {
            chunk = std::move(spare.back());
            spare.pop_back();
        }
        more = readChunk(reader, *chunk, chunkRows);
        if (chunk->rows.empty())
            break;
        if (jobs <= 1) {
            quoteChunk(*chunk, quoting);
            write(std::move(chunk));
            continue;
        }
        BatchChunk &work = *chunk;
        pending.emplace_back(std::async(std::launch::async, [&quoting, &work] { quoteChunk(work, quoting); }),
                             std::move(chunk));
        while (pending.size() >= jobs && !run.stopped)
            writeOldest();
    }
    while (!pending.empty() && !run.stopped)
        writeOldest();
    // A chunk still being worked on is not freed under its worker.
    for (auto &[future, chunk] : pending)
        future.wait();
    return run;
}

int RunBatch(std::FILE *in, std::FILE *out, const LocaleSettings &locale, int today, std::string &error,
             const BatchOptions &options)
{
    BatchReader reader(in);
    BatchProgress progress(options.progress, in);
    if (reader.readHeader() == BatchReader::Header::Wrong) {
        error = BatchReader::headerMessage();
        return kExitUsage;
    }
    const std::unique_ptr<TextSink> sink = TextSink::make(options.format, out, locale);
    const BatchRun run = QuoteRows(reader, *sink, locale, today, options.jobs, progress);
    progress.finish(run.rows, reader.bytesRead());
    if (reader.readError()) {
        error = "line " + std::to_string(reader.line()) + ": cannot read the input: " + std::strerror(errno);
        return kExitUsage;
    }
    if (run.stopped || !sink->finish()) {
        error = "cannot write the output (input line " + std::to_string(reader.line())
            + "): " + std::strerror(errno);
        return kExitUsage;
    }
    return run.rowFailed ? kExitRowFailed : kExitOk;
}

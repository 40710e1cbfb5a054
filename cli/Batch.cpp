#include "Batch.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "Dispfmt.h"
#include "Fpu.h"
#include "Platform.h"
#include "Quote.h"
#include "Quoterules.h"

using namespace quillon;

namespace {

// Rows handed to a worker at a time: enough to make the hand-over cheap,
// few enough that a chunk stays a few hundred kilobytes. A chunk also ends
// once its fields hold so many bytes, so that rows with long notes do not
// make it megabytes.
constexpr std::size_t kChunkRows = 1024;
constexpr std::size_t kChunkBytes = 64 * 1024;
// Workers beyond this many gain nothing on any machine the tool meets and
// would only hold chunks. With a chunk for each, one being read, one
// being written and two waiting their turn, at most two megabytes each
// (a row up to its limit in every chunk), memory stays within a few tens
// of megabytes whatever --jobs asks for.
constexpr unsigned kMostWorkers = 16;
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
    const QuoteReader &reader;
    const BatchSink &sink;
    const RowRules *rules; // null when the run has no office rules: the rows are quoted as ever
};

// Quotes each row of a chunk and lets the sink make its part of the output
// at the end of `text`, with what the worker has kept for it.
void quoteChunk(BatchChunk &chunk, const Quoting &quoting, BatchSink::Scratch *scratch, std::string &text)
{
    quillon::UseExtendedPrecision(); // Windows starts a thread at 53 bits
    const bool keep = quoting.sink.keepsQuotes();
    chunk.quotes.resize(keep ? chunk.rows.size() : 1);
    chunk.failed = false;
    for (std::size_t i = 0; i < chunk.rows.size(); ++i) {
        BatchRow &row = chunk.rows[i];
        QuoteRecord &quote = chunk.quotes[keep ? i : 0];
        // A rule column the row cannot have leaves its message as the quote's error.
        if (!row.problem.empty()) {
            quote.error = row.problem;
        } else if (!quoting.rules || quoting.rules->read(chunk.fields, row, row.rules, quote.error)) {
            QuoteRequest request = quoting.columns.request(chunk.fields, row);
            if (quoting.rules)
                request.rules = &row.rules;
            if (keep)
                MakeQuote(request, quoting.reader, quote);
            else
                WorkQuote(request, quoting.reader, quote);
        }
        chunk.failed = chunk.failed || !quote.ok();
        quoting.sink.format(row, quote, text, scratch);
    }
}

// Reads up to `size` rows, or fewer once their fields hold kChunkBytes, or
// until `stop`; false once the input has run out. A failed read leaves its
// errno in `readErrno`, taken on the thread that read, as errno is each
// thread's own.
bool readChunk(BatchReader &reader, BatchChunk &chunk, std::size_t size, int &readErrno,
               const std::atomic<bool> *stop = nullptr)
{
    if (chunk.rows.size() < size)
        chunk.rows.resize(size);
    chunk.fields.clear();
    std::size_t n = 0;
    bool more = true;
    while (n < size && chunk.fields.bytes() < kChunkBytes && !(stop && *stop)
           && (more = reader.next(chunk.rows[n], chunk.fields)))
        ++n;
    if (!more && reader.readError() && readErrno == 0)
        readErrno = errno;
    chunk.rows.resize(n);
    return more;
}

// A chunk on its way through the batch.
struct Slot
{
    BatchChunk chunk;
    std::size_t bytesRead = 0; // the input taken once it was read, for the progress line
    bool worked = false;
};

// Several jobs: the reader on a thread of its own, a fixed pool of workers
// taking the chunks in turn, and the batch's own thread writing them in the
// order they were read. The chunks are a fixed set passed round, so memory
// stays flat whatever the input size, and no thread starts per chunk.
class Pipeline
{
public:
    Pipeline(BatchReader &reader, const Quoting &quoting, unsigned jobs)
        : m_reader(reader)
        , m_quoting(quoting)
    {
        const unsigned workers = std::min(jobs, kMostWorkers);
        m_slots.resize(workers + 4);
        for (std::unique_ptr<Slot> &slot : m_slots) {
            slot = std::make_unique<Slot>();
            m_free.push_back(slot.get());
        }
        m_threads.emplace_back([this] { readAll(); });
        for (unsigned i = 0; i < workers; ++i)
            m_threads.emplace_back([this] { work(); });
    }

    ~Pipeline() { finish(); }

    // Ends the batch once every thread has left.
    void finish()
    {
        stop();
        for (std::thread &thread : m_threads)
            if (thread.joinable())
                thread.join();
    }

    // Ends the batch without waiting for the reader, which may be inside a
    // read that never returns (a pipe whose writer never closes it, a
    // terminal). The workers leave; the reader is left to itself, and this
    // pipeline, which it reads into, must never be destroyed: the caller
    // lets go of it, and of the reader's BatchReader and stream.
    void leaveReader()
    {
        stop();
        m_threads.front().detach();
        finish();
    }

    // Once the pipeline has ended: the errno of a failed read, or 0.
    int readErrno() const { return m_readErrno; }

    // Hands each chunk to `write` in input order, until the input ends or
    // `write` returns false.
    template <typename Write>
    void writeAll(Write write)
    {
        for (;;) {
            Slot *slot = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_worked.wait(lock, [this] { return m_readAll ? m_inOrder.empty() || m_inOrder.front()->worked
                                                              : !m_inOrder.empty() && m_inOrder.front()->worked; });
                if (m_inOrder.empty())
                    return;
                slot = m_inOrder.front();
                m_inOrder.pop_front();
            }
            const bool more = write(*slot);
            {
                const std::lock_guard lock(m_mutex);
                m_free.push_back(slot);
            }
            m_freed.notify_one();
            if (!more)
                return;
        }
    }

private:
    void stop()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_stopReading = true;
        m_freed.notify_all();
        m_readied.notify_all();
    }

    void readAll()
    {
        for (bool more = true; more;) {
            Slot *slot = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_freed.wait(lock, [this] { return m_stop || !m_free.empty(); });
                if (m_stop)
                    return;
                slot = m_free.back();
                m_free.pop_back();
            }
            more = readChunk(m_reader, slot->chunk, kChunkRows, m_readErrno, &m_stopReading);
            slot->bytesRead = m_reader.bytesRead();
            slot->worked = false;
            {
                const std::lock_guard lock(m_mutex);
                if (slot->chunk.rows.empty()) {
                    m_free.push_back(slot);
                } else {
                    m_toWork.push_back(slot);
                    m_inOrder.push_back(slot);
                }
                m_readAll = !more;
            }
            m_readied.notify_one();
        }
        // The writer and the idle workers learn that no more is coming.
        m_worked.notify_all();
        m_readied.notify_all();
    }

    void work()
    {
        const std::unique_ptr<BatchSink::Scratch> scratch = m_quoting.sink.scratch();
        for (;;) {
            Slot *slot = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_readied.wait(lock, [this] { return m_stop || m_readAll || !m_toWork.empty(); });
                if (m_stop || m_toWork.empty())
                    return;
                slot = m_toWork.front();
                m_toWork.pop_front();
            }
            slot->chunk.text.clear();
            quoteChunk(slot->chunk, m_quoting, scratch.get(), slot->chunk.text);
            {
                const std::lock_guard lock(m_mutex);
                slot->worked = true;
            }
            m_worked.notify_one();
        }
    }

    BatchReader &m_reader;
    const Quoting &m_quoting;
    std::vector<std::unique_ptr<Slot>> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_freed, m_readied, m_worked;
    std::vector<Slot *> m_free;     // for the reader to fill
    std::deque<Slot *> m_toWork;    // read, for a worker
    std::deque<Slot *> m_inOrder;   // read, in input order, for the writer
    bool m_readAll = false;         // the reader has reached the end of the input
    bool m_stop = false;            // the batch is over: every thread leaves
    std::atomic<bool> m_stopReading{false};
    int m_readErrno = 0; // the reader's own; read once it has been joined
    std::vector<std::thread> m_threads; // the reader first
};

} // namespace

BatchProgress::BatchProgress(bool enabled, std::FILE *in)
    : m_enabled(enabled && quillon::platform::IsTerminal(stderr))
{
    if (!m_enabled)
        return;
    if (const auto status = quillon::platform::StatusOfOpenFile(in); status.kind == quillon::platform::FileKind::Regular)
        m_total = static_cast<long long>(status.size);
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

namespace {

// What a batch left to a reader still inside a read, held until the process
// ends (and so not a leak to a leak checker): freeing it would pull it from
// under the read.
struct Abandoned
{
    Pipeline *pipeline = nullptr;
    BatchReader *reader = nullptr;
};

Abandoned &abandoned()
{
    static Abandoned left;
    return left;
}

} // namespace

BatchRun QuoteRows(BatchReader &reader, BatchSink &sink, const LocaleSettings &locale, int today, unsigned jobs,
                   BatchProgress &progress, const RuleSet *rules)
{
    const QuoteReader quoteReader(locale, today);
    std::optional<RowRules> rowRules;
    if (rules)
        rowRules.emplace(*rules, reader.columns(), quoteReader);
    const Quoting quoting{reader.columns(), quoteReader, sink, rowRules ? &*rowRules : nullptr};
    BatchRun run;
    auto write = [&](const BatchChunk &chunk, std::size_t bytesRead) {
        const std::size_t before = run.rows;
        run.rowFailed = run.rowFailed || chunk.failed;
        run.rows += chunk.rows.size();
        run.bytesRead = bytesRead;
        if (run.rows / kProgressRows != before / kProgressRows)
            progress.update(run.rows, bytesRead);
        run.stopped = !sink.write(chunk);
        return !run.stopped;
    };
    if (jobs > 1) {
        auto pipeline = std::make_unique<Pipeline>(reader, quoting, jobs);
        pipeline->writeAll([&](const Slot &slot) { return write(slot.chunk, slot.bytesRead); });
        if (run.stopped) {
            // Nothing more is written, so the batch is over whatever the
            // input still holds: it never waits for the reader to finish a
            // read, which it reads on into memory that is never freed.
            abandoned().pipeline = pipeline.release();
            abandoned().pipeline->leaveReader();
            run.readerLeft = true;
            return run;
        }
        pipeline->finish();
        run.readErrno = pipeline->readErrno();
        return run;
    }
    // One job reads, quotes and writes a row at a time, as a filter does:
    // what has been written when the output fails is all the rows before.
    // A sink that can takes the row's text straight into its own buffer.
    BatchChunk chunk;
    const std::unique_ptr<BatchSink::Scratch> scratch = sink.scratch();
    std::string *const direct = sink.directText();
    for (bool more = true; more;) {
        more = readChunk(reader, chunk, 1, run.readErrno);
        if (chunk.rows.empty())
            break;
        chunk.text.clear();
        quoteChunk(chunk, quoting, scratch.get(), direct ? *direct : chunk.text);
        if (!write(chunk, reader.bytesRead()))
            break;
    }
    return run;
}

int RunBatch(std::FILE *in, std::FILE *out, const LocaleSettings &locale, int today, std::string &error,
             const BatchOptions &options)
{
    // On the heap: a reader left inside a read (BatchRun::readerLeft) goes on using it.
    auto reader = std::make_unique<BatchReader>(in);
    BatchProgress progress(options.progress, in);
    // Nothing is read past a header that is wrong.
    if (reader->readHeader() == BatchReader::Header::Wrong) {
        error = reader->headerMessage();
        return kExitUsage;
    }
    static const RuleSet builtIn;
    const RuleSet *rules = options.rules ? options.rules : reader->columns().hasRuleColumn() ? &builtIn : nullptr;
    const std::unique_ptr<TextSink> sink = TextSink::make(options.format, out, locale, rules != nullptr);
    const BatchRun run = QuoteRows(*reader, *sink, locale, today, options.jobs, progress, rules);
    progress.finish(run.rows, run.bytesRead);
    // The rows quoted before a failed read are written before it is told,
    // whatever the number of jobs.
    if (run.stopped || !sink->finish()) {
        error = "cannot write the output ("
            + (sink->writtenLine() == 0 ? std::string("no row written")
                                        : "written up to the row of input line " + std::to_string(sink->writtenLine()))
            + "): " + std::strerror(sink->writeError());
        if (run.readerLeft)
            abandoned().reader = reader.release();
        return kExitUsage;
    }
    if (reader->readError()) {
        const std::string reason = std::strerror(run.readErrno != 0 ? run.readErrno : EIO);
        error = reader->line() == 0 ? "cannot read the input: " + reason
                                    : "line " + std::to_string(reader->line()) + ": cannot read the input: " + reason;
        return kExitUsage;
    }
    return run.rowFailed ? kExitRowFailed : kExitOk;
}

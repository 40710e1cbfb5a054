#pragma once

#include <cstdio>
#include <string>

#include "Batchread.h"
#include "Batchsink.h"
#include "Localeset.h"

// Exit statuses shared by every mode of quillon-quote.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRowFailed = 1; // some input could not be read; the rest was written
inline constexpr int kExitUsage = 2;     // bad arguments, unreadable input, unwritable output

struct BatchOptions
{
    BatchFormat format = BatchFormat::Csv;
    // Rows are worked on this many threads, in chunks; output keeps the input order.
    unsigned jobs = 1;
    // A progress line on standard error, at most ten times a second.
    bool progress = false;
    // The office rules of the options, or null for none given. With rules
    // given or a rule column in the header, the output names what applied.
    const quillon::RuleSet *rules = nullptr;
};

// Shows how a long batch is getting on, on standard error when that is a
// terminal: the rows done, the rows per second, and with a known input size
// the share read and the time left. Never touches the output.
class BatchProgress
{
public:
    BatchProgress(bool enabled, std::FILE *in);
    ~BatchProgress();
    void update(std::size_t rows, std::size_t bytesRead);
    void finish(std::size_t rows, std::size_t bytesRead);

private:
    void draw(std::size_t rows, std::size_t bytesRead, bool last);

    bool m_enabled;
    long long m_total = 0; // bytes, 0 when unknown
    double m_start = 0, m_lastDraw = 0;
    bool m_drawn = false;
};

// What became of a batch's rows.
struct BatchRun
{
    std::size_t rows = 0;   // rows handed to the sink
    bool rowFailed = false; // some row could not be quoted
    bool stopped = false;   // the sink stopped the batch
    std::size_t bytesRead = 0; // the input taken for the rows handed to the sink
    int readErrno = 0;      // why the input could not be read, when it could not
    // The reader was left inside a read after the sink stopped the batch:
    // the BatchReader and its stream are still in use, and must be neither
    // destroyed nor closed before the process ends.
    bool readerLeft = false;
};

// Quotes every row after the header and hands the rows to `sink` in input
// order, on `jobs` threads (one: on this thread), reading ahead at most
// `jobs` chunks, so memory stays flat whatever the input size. With
// `rules`, each row is quoted by them and its rule columns (RowRules), and
// BatchRow::rules says by what; without, the rows are quoted as ever.
BatchRun QuoteRows(BatchReader &reader, BatchSink &sink, const quillon::LocaleSettings &locale, int today, unsigned jobs,
                   BatchProgress &progress, const quillon::RuleSet *rules = nullptr);

// Quotes every record of a CSV with the header premium,start,end, writing one
// output row per input record, in order, as it goes. Returns an exit status;
// for kExitUsage `error` says why in one line.
int RunBatch(std::FILE *in, std::FILE *out, const quillon::LocaleSettings &locale, int today, std::string &error,
             const BatchOptions &options = {});

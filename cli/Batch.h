#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Csv.h"
#include "Localeset.h"
#include "Quote.h"

// Exit statuses shared by every mode of quillon-quote.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRowFailed = 1; // some input could not be read; the rest was written
inline constexpr int kExitUsage = 2;     // bad arguments, unreadable input, unwritable output

inline constexpr const char *kBatchInputHeader = "premium,start,end";

// The output columns of one quote: days, range, the sixteen figures (empty
// where not worked) and the message, as JSON keys; the CSV header is the
// same names in the same order.
void AddQuoteColumns(nlohmann::ordered_json &object, const QuoteRecord &quote, std::string_view message);

enum class BatchFormat
{
    Csv,       // RFC 4180, CRLF line ends, with a header
    JsonLines, // one object per row, LF line ends
};

struct BatchOptions
{
    BatchFormat format = BatchFormat::Csv;
    // Rows are worked on this many threads, in chunks; output keeps the input order.
    unsigned jobs = 1;
    // A progress line on standard error, at most ten times a second.
    bool progress = false;
};

// Where the premium, the dates and the optional policy columns of a batch are.
struct BatchColumns
{
    std::size_t count = 0;
    std::size_t premium = 0, start = 0, end = 0;
    // Optional; npos when absent.
    std::size_t policyNumber = std::string::npos, client = std::string::npos, policyType = std::string::npos,
                type = std::string::npos;
};

// Reads the header: the three required names in any case and order, once
// each, and the optional policy_number, client, policy_type and type.
bool ReadBatchHeader(const std::vector<std::string> &fields, BatchColumns &columns);

// The message of a record the reader could not take whole, or empty.
std::string RecordProblemMessage(const CsvReader &reader);

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

// Quotes every record of a CSV with the header premium,start,end, writing one
// output row per input record, in order, as it goes. Returns an exit status;
// for kExitUsage `error` says why in one line.
int RunBatch(std::FILE *in, std::FILE *out, const LocaleSettings &locale, int today, std::string &error,
             const BatchOptions &options = {});

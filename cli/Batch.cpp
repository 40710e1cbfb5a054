#include "Batch.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <future>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Dispfmt.h"
#include "Fpu.h"
#include "Messages.h"
#include "Quote.h"

namespace {

// A figure as the outputs show it: empty where it was not worked.
std::string_view shownFigure(const QuoteRecord &quote, const QuoteFigure &figure)
{
    return FigureWorked(quote.quote, figure) ? std::string_view(FigureText(quote, figure)) : std::string_view();
}

} // namespace

void AddQuoteColumns(nlohmann::ordered_json &object, const QuoteRecord &quote, std::string_view message)
{
    object["days"] = quote.quote.Days;
    object["range"] = RangeName(quote.quote.Range);
    for (const QuoteFigure &figure : kQuoteFigures)
        object[std::string(figure.name)] = shownFigure(quote, figure);
    object["message"] = message;
}

namespace {

constexpr std::size_t kFlushAt = 1 << 16;
// Rows handed to a thread at a time: enough to make the hand-over cheap,
// few enough that the chunks in flight stay a few megabytes.
constexpr std::size_t kChunkRows = 4096;

std::string normalised(std::string_view name)
{
    const auto first = name.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = name.find_last_not_of(" \t");
    std::string s(name.substr(first, last - first + 1));
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::string fieldCountMessage(std::size_t expected, std::size_t found)
{
    return "Expected " + std::to_string(expected) + " fields (" + kBatchInputHeader + "), found "
        + std::to_string(found) + ".";
}

std::string lineMessage(std::size_t line, std::string_view message)
{
    if (message.empty())
        return {};
    std::string text = "Line " + std::to_string(line) + ": ";
    text += message;
    return text;
}

// One input record as the reader gave it.
struct Record
{
    std::size_t line = 0;
    std::string problem; // the reader's message, if it could not take the record whole
    std::vector<std::string> fields;
};

// Turns records into output rows; shared read-only by every thread.
class RowWriter
{
public:
    RowWriter(const BatchColumns &columns, const LocaleSettings &locale, int today, BatchFormat format)
        : m_columns(columns), m_locale(locale), m_today(today), m_format(format)
    {
    }

    // Appends the row of one record; returns false when it could not be quoted.
    bool append(std::string &out, const Record &record, QuoteRecord &quote) const
    {
        if (!record.problem.empty())
            return failed(out, record.line, record.problem);
        if (record.fields.size() != m_columns.count)
            return failed(out, record.line, fieldCountMessage(m_columns.count, record.fields.size()));
        MakeQuote({record.fields[m_columns.premium], record.fields[m_columns.start], record.fields[m_columns.end]},
                  m_locale, m_today, quote);
        if (!quote.ok())
            return failed(out, record.line, quote.error);
        const std::string message = lineMessage(record.line, Messages::ForRange(quote.quote.Range));
        if (m_format == BatchFormat::JsonLines) {
            nlohmann::ordered_json row;
            row["line"] = record.line;
            AddQuoteColumns(row, quote, message);
            appendJson(out, row);
            return true;
        }
        AppendCsvField(out, quote.days);
        out += ',';
        out += RangeName(quote.quote.Range);
        for (const QuoteFigure &figure : kQuoteFigures) {
            out += ',';
            AppendCsvField(out, shownFigure(quote, figure));
        }
        out += ',';
        AppendCsvField(out, message);
        out += "\r\n";
        return true;
    }

private:
    // A row that produced no figures: every column empty but the message.
    bool failed(std::string &out, std::size_t line, std::string_view message) const
    {
        if (m_format == BatchFormat::JsonLines) {
            nlohmann::ordered_json row;
            row["line"] = line;
            row["days"] = nullptr;
            row["range"] = "";
            for (const QuoteFigure &figure : kQuoteFigures)
                row[std::string(figure.name)] = "";
            row["message"] = lineMessage(line, message);
            appendJson(out, row);
            return false;
        }
        out.append(2 + kQuoteFigures.size(), ',');
        AppendCsvField(out, lineMessage(line, message));
        out += "\r\n";
        return false;
    }

    static void appendJson(std::string &out, const nlohmann::ordered_json &row)
    {
        // Bytes that are not UTF-8 (a Latin-1 file) are replaced rather than
        // making the whole row fail.
        out += row.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        out += '\n';
    }

    const BatchColumns &m_columns;
    const LocaleSettings &m_locale;
    int m_today;
    BatchFormat m_format;
};

class BatchWriter
{
public:
    explicit BatchWriter(std::FILE *out) : m_out(out) { m_buffer.reserve(kFlushAt * 2); }
    std::string &buffer() { return m_buffer; }
    bool flushIfFull() { return m_buffer.size() < kFlushAt || flush(); }
    bool flush()
    {
        const bool ok = std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out) == m_buffer.size();
        m_buffer.clear();
        return ok;
    }

private:
    std::FILE *m_out;
    std::string m_buffer;
};

double secondsNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Counts grouped the way the day count is shown.
std::string grouped(std::size_t n)
{
    return FormatText(static_cast<long double>(n), kDaysFormat, LocaleSettings{});
}

} // namespace

bool ReadBatchHeader(const std::vector<std::string> &fields, BatchColumns &columns)
{
    struct Name
    {
        const char *name;
        std::size_t BatchColumns::*slot;
        bool required;
    };
    static const Name names[] = {
        {"premium", &BatchColumns::premium, true},
        {"start", &BatchColumns::start, true},
        {"end", &BatchColumns::end, true},
        {"policy_number", &BatchColumns::policyNumber, false},
        {"client", &BatchColumns::client, false},
        {"policy_type", &BatchColumns::policyType, false},
        {"type", &BatchColumns::type, false},
    };
    bool seen[std::size(names)] = {};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string name = normalised(fields[i]);
        for (std::size_t n = 0; n < std::size(names); ++n) {
            if (name != names[n].name)
                continue;
            if (seen[n])
                return false;
            seen[n] = true;
            columns.*names[n].slot = i;
        }
    }
    columns.count = fields.size();
    return seen[0] && seen[1] && seen[2];
}

std::string RecordProblemMessage(const CsvReader &reader)
{
    switch (reader.problem()) {
    case CsvReader::Problem::UnterminatedQuote:
        return "The row ends inside a quoted field.";
    case CsvReader::Problem::FieldTooLong:
        return "A field is longer than " + std::to_string(reader.limits().field) + " bytes.";
    case CsvReader::Problem::RecordTooLong:
        return "The row is longer than " + std::to_string(reader.limits().record) + " bytes.";
    case CsvReader::Problem::None:
        break;
    }
    return {};
}

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

int RunBatch(std::FILE *in, std::FILE *out, const LocaleSettings &locale, int today, std::string &error,
             const BatchOptions &options)
{
    CsvReader reader(in);
    BatchWriter writer(out);
    BatchProgress progress(options.progress, in);
    std::vector<std::string> fields;
    BatchColumns columns;
    const bool hasInput = reader.next(fields);
    if (hasInput && (reader.problem() != CsvReader::Problem::None || !ReadBatchHeader(fields, columns))) {
        error = "line " + std::to_string(reader.line()) + ": the first line must be the header "
            + kBatchInputHeader;
        return kExitUsage;
    }
    std::string &buffer = writer.buffer();
    if (options.format == BatchFormat::Csv) {
        buffer += "days,range";
        for (const QuoteFigure &figure : kQuoteFigures) {
            buffer += ',';
            buffer += figure.name;
        }
        buffer += ",message\r\n";
    }

    const RowWriter rows(columns, locale, today, options.format);
    int status = kExitOk;
    std::size_t done = 0;
    bool writeFailed = false;
    auto readRecord = [&](Record &record) {
        if (!reader.next(record.fields))
            return false;
        record.line = reader.line();
        record.problem = RecordProblemMessage(reader);
        return true;
    };

    if (options.jobs <= 1) {
        Record record;
        QuoteRecord quote;
        while (hasInput && readRecord(record)) {
            if (!rows.append(buffer, record, quote))
                status = kExitRowFailed;
            if ((++done & 1023) == 0)
                progress.update(done, reader.bytesRead());
            if (!writer.flushIfFull()) {
                writeFailed = true;
                break;
            }
        }
    } else {
        // Chunks are worked on their own threads and written in the order
        // they were read; at most `jobs` are in flight, so memory stays flat.
        struct Result
        {
            std::string text;
            bool failed = false;
            std::size_t rows = 0;
        };
        std::deque<std::future<Result>> pending;
        auto writeOldest = [&] {
            Result result = pending.front().get();
            pending.pop_front();
            buffer += result.text;
            status = result.failed ? kExitRowFailed : status;
            done += result.rows;
            progress.update(done, reader.bytesRead());
            if (!writer.flushIfFull())
                writeFailed = true;
        };
        bool more = hasInput;
        while (more && !writeFailed) {
            std::vector<Record> chunk(kChunkRows);
            std::size_t n = 0;
            while (n < kChunkRows && (more = readRecord(chunk[n])))
                ++n;
            chunk.resize(n);
            if (n == 0)
                break;
            pending.push_back(std::async(std::launch::async, [&rows, chunk = std::move(chunk)] {
                quillon::UseExtendedPrecision(); // Windows starts a thread at 53 bits
                Result result;
                result.text.reserve(chunk.size() * 192);
                QuoteRecord quote;
                for (const Record &record : chunk)
                    result.failed = !rows.append(result.text, record, quote) || result.failed;
                result.rows = chunk.size();
                return result;
            }));
            while (pending.size() >= options.jobs && !writeFailed)
                writeOldest();
        }
        while (!pending.empty() && !writeFailed)
            writeOldest();
        for (auto &future : pending)
            future.wait();
    }
    progress.finish(done, reader.bytesRead());
    if (reader.readError()) {
        error = "line " + std::to_string(reader.line()) + ": cannot read the input: " + std::strerror(errno);
        return kExitUsage;
    }
    if (writeFailed || !writer.flush() || std::fflush(out) != 0 || std::ferror(out)) {
        error = "cannot write the output (input line " + std::to_string(reader.line())
            + "): " + std::strerror(errno);
        return kExitUsage;
    }
    return status;
}

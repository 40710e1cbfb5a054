#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// The longest field and record the batch reads. A premium or a date is a few
// dozen bytes; a column of notes beside them may be a few pages. Anything
// longer can only be a broken file, and holding it would make memory grow
// with the input: such a row is refused instead, and reading goes on at the
// next line end.
struct CsvLimits
{
    std::size_t field = 64 * 1024;
    std::size_t record = 1024 * 1024;
};

// The fields of records read one after another, their bytes in one block:
// a batch's chunk of rows keeps its text in one buffer, reused from chunk
// to chunk, rather than in a string per field.
class CsvFields
{
public:
    std::size_t size() const { return m_spans.size(); }
    std::string_view operator[](std::size_t i) const
    {
        return {m_bytes.data() + m_spans[i].offset, m_spans[i].size};
    }
    // The bytes held, for bounding a chunk.
    std::size_t bytes() const { return m_bytes.size(); }
    void clear()
    {
        m_bytes.clear();
        m_spans.clear();
    }

private:
    friend class CsvReader;
    struct Span
    {
        std::size_t offset;
        std::size_t size;
    };
    std::string m_bytes;
    std::vector<Span> m_spans;
};

// A streaming reader and writer of RFC 4180 CSV. The reader keeps one record
// in memory at a time, whatever the size of the input, and never more than
// its limits.
class CsvReader
{
public:
    enum class Problem
    {
        None,
        UnterminatedQuote, // a quote that does not close before the input ends (or the record limit)
        // Too long: the record is read on to its real end all the same.
        FieldTooLong,
        RecordTooLong,
    };

    // The most read at once, and so the longest line taken whole from the
    // buffer; any longer one is read byte by byte. A test reads with small
    // buffers to have lines cut everywhere.
    static constexpr std::size_t kBufferSize = 1 << 16;

    explicit CsvReader(std::FILE *in, CsvLimits limits = {}, std::size_t bufferSize = kBufferSize);

    // Reads the next record into `fields` (reusing their storage). Returns
    // false at the end of the input. Records end at LF, CRLF or a lone CR;
    // a leading UTF-8 byte-order mark is skipped; bytes are passed through
    // unchanged, valid UTF-8 or not. A record with a problem is still
    // returned, for its row to report, its fields those read before the
    // problem. After an unclosed quote, reading goes on at the line after
    // the one the record began on, so the rows behind a stray quote are
    // still read; after an overlong field or record, where the record ends
    // (a quoted field's closing quote found, at the next line end outside
    // quotes). Each byte is looked at a bounded number of times, however
    // many quotes stay open.
    bool next(std::vector<std::string> &fields);
    // The same, adding the record's fields after those `fields` holds.
    bool next(CsvFields &fields);

    // Reads the first record under limits of its own and stops at once where
    // it fails, rather than reading on to its end: a header is short, and
    // worth nothing once it fails, even when its line never ends. The
    // reader is then not fit to read on.
    bool first(std::vector<std::string> &fields, CsvLimits limits);

    Problem problem() const { return m_problem; }
    bool unterminatedQuote() const { return m_problem == Problem::UnterminatedQuote; }
    // The input line (from 1) the last record began on.
    std::size_t line() const { return m_recordLine; }
    const CsvLimits &limits() const { return m_limits; }
    bool readError() const { return m_readError; }
    // Bytes of the input taken so far, for showing progress.
    std::size_t bytesRead() const { return m_fileBytes - (m_end - m_pos); }

private:
    int get();
    int peek();
    bool takeWholeLine(CsvFields &fields);
    enum class Line
    {
        Taken,
        Partial, // the buffer ends before the line does
        Unusual, // for the byte-by-byte road
    };
    Line splitLine(CsvFields &fields);
    Line lineEnd(const char *lineStart, const char *p, const char *end);
    bool refill();
    void skipByteOrderMark();
    bool openAtLineEnd(bool crossedLine) const;
    void rereadAfterFirstLine();

    std::FILE *m_in;
    CsvLimits m_limits;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::size_t m_fileBytes = 0;
    // Bytes given back to be read again, ahead of the input.
    std::string m_replay;
    std::size_t m_replayPos = 0;
    // The bytes of the record being read, for reading them again.
    std::string m_raw;
    bool m_capturing = false;
    std::size_t m_lineEnds = 0;
    std::size_t m_recordLine = 0;
    Problem m_problem = Problem::None;
    // The last line whose end the latest record failed for an open quote
    // ran over, still in quotes.
    std::size_t m_openThroughLine = 0;
    bool m_stopAtFault = false;
    bool m_atStart = true;
    bool m_eof = false;
    bool m_readError = false;
    CsvFields m_fields; // for next() into strings
};

// How a field is written: as it is, in quotes (it holds a comma, a quote,
// CR or LF), or in quotes with its quotes doubled. In that order, so that
// the way of a field made of parts is the largest of its parts' ways.
enum class CsvQuoting
{
    None,
    Quotes,
    DoubledQuotes,
};
CsvQuoting CsvFieldQuoting(std::string_view field);

// Appends one field, as CsvFieldQuoting says.
void AppendCsvField(std::string &out, std::string_view field);
// Makes what `out` holds from `start` on one field as AppendCsvField writes
// it, for a field written straight into the output.
void QuoteCsvFieldFrom(std::string &out, std::size_t start);

#pragma once

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "Batchread.h"
#include "Quote.h"

// Rows read and quoted together: the reader fills `rows`, a worker the rest,
// and the sink takes them in input order.
struct BatchChunk
{
    std::vector<BatchRow> rows;
    CsvFields fields; // the rows' fields
    // A quote per row for a sink that keeps them, else one record the
    // worker reuses for every row. A row the reader refused carries its
    // problem as the quote's error.
    std::vector<quillon::QuoteRecord> quotes;
    std::string text; // what the sink's worker part made of the rows
    bool failed = false; // some row could not be quoted
};

// One output of a batch. Its worker part runs on any thread at the same
// time as its other part, so it reads only what never changes.
class BatchSink
{
public:
    virtual ~BatchSink() = default;
    // True when write() needs every row's quote with the texts of its
    // fields, not only the text format() made of its figures.
    virtual bool keepsQuotes() const { return false; }
    // What one worker keeps from row to row for format(), where a sink
    // keeps anything: each worker has its own.
    class Scratch
    {
    public:
        virtual ~Scratch() = default;
    };
    virtual std::unique_ptr<Scratch> scratch() const { return nullptr; }
    // On a worker thread, for each row of a chunk in order, after its quote.
    virtual void format(const BatchRow &, const quillon::QuoteRecord &, std::string &, Scratch *) const {}
    // On the batch's own thread, chunk after chunk in input order; false
    // stops the batch.
    virtual bool write(const BatchChunk &chunk) = 0;
    // Where format() may put a row's text when it runs on the batch's own
    // thread (one job) and write() then takes the chunk: the sink's own
    // buffer, which saves a copy of every row. Null for none.
    virtual std::string *directText() { return nullptr; }
};

enum class BatchFormat
{
    Csv,       // RFC 4180, CRLF line ends, with a header
    JsonLines, // one object per row, LF line ends
};

// Rows of text into a stream, made on the workers and written in blocks.
class TextSink : public BatchSink
{
public:
    // The sink of `format`, with anything that goes before the first row;
    // the figures are shown in `locale`. With `rules`, each row ends in what
    // the office rules did (BatchRow::rules): a last CSV column `rules`
    // (RulesText), a last JSON member `rules` (RulesObject).
    static std::unique_ptr<TextSink> make(BatchFormat format, std::FILE *out, const quillon::LocaleSettings &locale,
                                          bool rules = false);

    std::unique_ptr<Scratch> scratch() const override;
    bool write(const BatchChunk &chunk) override;
    std::string *directText() override { return &m_buffer; }
    // Writes what is left and flushes the stream; false when any output
    // failed to reach it (a full disk, a closed stream).
    bool finish();
    // Once write() or finish() has failed, the errno of the failed call.
    int writeError() const { return m_writeError; }
    // The input line of the last row whose text has reached the stream
    // whole; 0 for none.
    std::size_t writtenLine() const { return m_writtenLine; }

protected:
    TextSink(std::FILE *out, const quillon::LocaleSettings &locale, bool rules);
    std::string m_buffer;
    const quillon::LocaleSettings &m_locale;
    const bool m_rules;
    // The formats of the day count and of each figure, in the list's order.
    const quillon::DisplayFormat *m_daysFormat;
    std::array<const quillon::DisplayFormat *, quillon::kQuoteFigures.size()> m_formats{};

private:
    bool flush();
    // Writes the text of `rows` rows, the input line of row i lineOf(i).
    template <typename LineOf>
    bool put(std::string_view text, std::size_t rows, LineOf lineOf);
    bool failed(); // keeps the reason, as errno says it now
    std::FILE *m_out;
    std::vector<std::size_t> m_lines; // the input lines of the rows in m_buffer
    std::size_t m_writtenLine = 0;
    int m_writeError = 0;
};

// The output columns of one quote: days, range, the sixteen figures (empty
// where not worked) and the message, as JSON keys; the CSV header is the
// same names in the same order.
void AddQuoteColumns(nlohmann::ordered_json &object, const quillon::QuoteRecord &quote, std::string_view message);

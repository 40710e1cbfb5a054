#include "Batchsink.h"

#include "Csv.h"
#include "Messages.h"

using namespace quillon;

namespace {

constexpr std::size_t kFlushAt = 1 << 16;

std::string lineMessage(std::size_t line, std::string_view message)
{
    if (message.empty())
        return {};
    std::string text = "Line " + std::to_string(line) + ": ";
    text += message;
    return text;
}

// The message column: the row's error, or the range's message.
std::string rowMessage(const BatchRow &row, const QuoteRecord &quote)
{
    return lineMessage(row.line, quote.ok() ? Messages::ForRange(quote.quote.Range) : quote.error);
}

class CsvSink : public TextSink
{
public:
    explicit CsvSink(std::FILE *out) : TextSink(out)
    {
        m_buffer += "days,range";
        for (const QuoteFigure &figure : kQuoteFigures) {
            m_buffer += ',';
            m_buffer += figure.name;
        }
        m_buffer += ",message\r\n";
    }

    void format(const BatchRow &row, const QuoteRecord &quote, std::string &out) const override
    {
        // A row that produced no figures has every column empty but the message.
        if (!quote.ok()) {
            out.append(2 + kQuoteFigures.size(), ',');
        } else {
            AppendCsvField(out, quote.days);
            out += ',';
            out += RangeName(quote.quote.Range);
            for (const QuoteFigure &figure : kQuoteFigures) {
                out += ',';
                AppendCsvField(out, ShownFigureText(quote, figure));
            }
            out += ',';
        }
        AppendCsvField(out, rowMessage(row, quote));
        out += "\r\n";
    }
};

class JsonLinesSink : public TextSink
{
public:
    explicit JsonLinesSink(std::FILE *out) : TextSink(out) {}

    void format(const BatchRow &row, const QuoteRecord &quote, std::string &out) const override
    {
        nlohmann::ordered_json object;
        object["line"] = row.line;
        if (quote.ok()) {
            AddQuoteColumns(object, quote, rowMessage(row, quote));
        } else {
            object["days"] = nullptr;
            object["range"] = "";
            for (const QuoteFigure &figure : kQuoteFigures)
                object[std::string(figure.name)] = "";
            object["message"] = rowMessage(row, quote);
        }
        // Bytes that are not UTF-8 (a Latin-1 file) are replaced rather than
        // making the whole row fail.
        out += object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        out += '\n';
    }
};

} // namespace

void AddQuoteColumns(nlohmann::ordered_json &object, const QuoteRecord &quote, std::string_view message)
{
    object["days"] = quote.quote.Days;
    object["range"] = RangeName(quote.quote.Range);
    for (const QuoteFigure &figure : kQuoteFigures)
        object[std::string(figure.name)] = ShownFigureText(quote, figure);
    object["message"] = message;
}

TextSink::TextSink(std::FILE *out) : m_out(out)
{
    m_buffer.reserve(kFlushAt * 2);
}

std::unique_ptr<TextSink> TextSink::make(BatchFormat format, std::FILE *out)
{
    if (format == BatchFormat::JsonLines)
        return std::make_unique<JsonLinesSink>(out);
    return std::make_unique<CsvSink>(out);
}

bool TextSink::write(const BatchChunk &chunk)
{
    m_buffer += chunk.text;
    return m_buffer.size() < kFlushAt || flush();
}

bool TextSink::flush()
{
    const bool ok = std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out) == m_buffer.size();
    m_buffer.clear();
    return ok;
}

bool TextSink::finish()
{
    return flush() && std::fflush(m_out) == 0 && !std::ferror(m_out);
}

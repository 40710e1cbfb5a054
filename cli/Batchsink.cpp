#include "Batchsink.h"

#include <charconv>

#include "Csv.h"
#include "Messages.h"

using namespace quillon;

namespace {

constexpr std::size_t kFlushAt = 1 << 16;

// The columns around the figures, by the names both outputs give them.
constexpr std::string_view kLineColumn = "line";
constexpr std::string_view kDaysColumn = "days";
constexpr std::string_view kRangeColumn = "range";
constexpr std::string_view kMessageColumn = "message";

void appendNumber(std::string &out, long long number)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.append(digits, std::size_t(end - digits));
}

// The message column: the row's error, or the range's message, after the
// line the row began on; nothing when there is neither.
void appendRowMessage(std::string &out, const BatchRow &row, const QuoteRecord &quote)
{
    const std::string_view message = quote.ok() ? Messages::ForRange(quote.quote.Range) : quote.error;
    if (message.empty())
        return;
    out += "Line ";
    appendNumber(out, static_cast<long long>(row.line));
    out += ": ";
    out += message;
}

// Every figure and text is written straight into the chunk's text and
// quoted there as CSV or JSON needs it, never made as a string of its own
// first: a row has seventeen figures and the batch millions of rows.
class CsvSink : public TextSink
{
public:
    CsvSink(std::FILE *out, const LocaleSettings &locale) : TextSink(out, locale)
    {
        m_buffer += kDaysColumn;
        m_buffer += ',';
        m_buffer += kRangeColumn;
        for (const QuoteFigure &figure : kQuoteFigures) {
            m_buffer += ',';
            m_buffer += figure.name;
        }
        m_buffer += ',';
        m_buffer += kMessageColumn;
        m_buffer += "\r\n";
    }

    void format(const BatchRow &row, const QuoteRecord &quote, std::string &out) const override
    {
        // A row that produced no figures has every column empty but the message.
        if (!quote.ok()) {
            out.append(2 + kQuoteFigures.size(), ',');
        } else {
            std::size_t start = out.size();
            AppendDaysText(out, quote.quote, m_locale);
            QuoteCsvFieldFrom(out, start);
            out += ',';
            out += RangeName(quote.quote.Range);
            for (const QuoteFigure &figure : kQuoteFigures) {
                out += ',';
                DisplayFormat::PlainRoom room;
                std::string_view text;
                if (WriteShownFigure(room, quote.quote, figure, m_locale, text)) {
                    AppendCsvField(out, text);
                } else {
                    start = out.size();
                    AppendShownFigure(out, quote.quote, figure, m_locale);
                    QuoteCsvFieldFrom(out, start);
                }
            }
            out += ',';
        }
        const std::size_t start = out.size();
        appendRowMessage(out, row, quote);
        QuoteCsvFieldFrom(out, start);
        out += "\r\n";
    }
};

// Makes what `out` holds from `start` on (after an opening quote) one JSON
// string as nlohmann-json writes it. Printable ASCII other than the quote
// and the backslash stands as it is; anything else the library escapes,
// replacing bytes that are not UTF-8 (a Latin-1 file) rather than making
// the whole row fail.
bool plainJson(std::string_view text)
{
    bool plain = true;
    for (const char c : text)
        plain = plain && static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f && c != '"'
            && c != '\\';
    return plain;
}

void closeJsonString(std::string &out, std::size_t start)
{
    if (plainJson(std::string_view(out).substr(start + 1))) {
        out += '"';
        return;
    }
    const nlohmann::json text = out.substr(start + 1);
    out.resize(start);
    out += text.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// `text` as one JSON string, in the same way.
void appendJsonString(std::string &out, std::string_view text)
{
    if (plainJson(text)) {
        out += '"';
        out += text;
        out += '"';
        return;
    }
    out += nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The key of a member and the colon after it: the keys are plain names.
void appendKey(std::string &out, std::string_view key)
{
    out += '"';
    out += key;
    out += "\":";
}

class JsonLinesSink : public TextSink
{
public:
    JsonLinesSink(std::FILE *out, const LocaleSettings &locale) : TextSink(out, locale) {}

    void format(const BatchRow &row, const QuoteRecord &quote, std::string &out) const override
    {
        out += '{';
        appendKey(out, kLineColumn);
        appendNumber(out, static_cast<long long>(row.line));
        out += ',';
        appendKey(out, kDaysColumn);
        if (quote.ok())
            appendNumber(out, quote.quote.Days);
        else
            out += "null";
        out += ',';
        appendKey(out, kRangeColumn);
        std::size_t start = out.size();
        out += '"';
        if (quote.ok())
            out += RangeName(quote.quote.Range);
        closeJsonString(out, start);
        for (const QuoteFigure &figure : kQuoteFigures) {
            out += ',';
            appendKey(out, figure.name);
            DisplayFormat::PlainRoom room;
            std::string_view text;
            if (!quote.ok() || WriteShownFigure(room, quote.quote, figure, m_locale, text)) {
                appendJsonString(out, text);
            } else {
                start = out.size();
                out += '"';
                AppendShownFigure(out, quote.quote, figure, m_locale);
                closeJsonString(out, start);
            }
        }
        out += ',';
        appendKey(out, kMessageColumn);
        start = out.size();
        out += '"';
        appendRowMessage(out, row, quote);
        closeJsonString(out, start);
        out += "}\n";
    }
};

} // namespace

void AddQuoteColumns(nlohmann::ordered_json &object, const QuoteRecord &quote, std::string_view message)
{
    object[std::string(kDaysColumn)] = quote.quote.Days;
    object[std::string(kRangeColumn)] = RangeName(quote.quote.Range);
    for (const QuoteFigure &figure : kQuoteFigures)
        object[std::string(figure.name)] = ShownFigureText(quote, figure);
    object[std::string(kMessageColumn)] = message;
}

TextSink::TextSink(std::FILE *out, const LocaleSettings &locale) : m_locale(locale), m_out(out)
{
    m_buffer.reserve(kFlushAt * 2);
}

std::unique_ptr<TextSink> TextSink::make(BatchFormat format, std::FILE *out, const LocaleSettings &locale)
{
    if (format == BatchFormat::JsonLines)
        return std::make_unique<JsonLinesSink>(out, locale);
    return std::make_unique<CsvSink>(out, locale);
}

bool TextSink::write(const BatchChunk &chunk)
{
    // A chunk's text of many rows goes to the stream as it is, after what
    // is waiting; single rows gather first.
    if (chunk.text.size() < kFlushAt) {
        m_buffer += chunk.text;
        return m_buffer.size() < kFlushAt || flush();
    }
    return flush() && std::fwrite(chunk.text.data(), 1, chunk.text.size(), m_out) == chunk.text.size();
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

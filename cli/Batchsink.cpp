#include "Batchsink.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "Csv.h"
#include "Decimal.h"
#include "Messages.h"
#include "Quoterules.h"

using namespace quillon;

// The row's room is checked in a debug build, and in a sanitizer's build
// too, which is made without assertions (RelWithDebInfo).
#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__)
#define QUILLON_ROOM_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLON_ROOM_CHECKS 1
#endif
#endif

namespace {

constexpr std::size_t kFlushAt = 1 << 16;

// The columns around the figures, by the names both outputs give them.
constexpr std::string_view kLineColumn = "line";
constexpr std::string_view kDaysColumn = "days";
constexpr std::string_view kRangeColumn = "range";
constexpr std::string_view kMessageColumn = "message";
constexpr std::string_view kRulesColumn = "rules";

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
    const std::string_view message = quote.ok() ? QuoteRangeMessage(quote) : quote.error;
    if (message.empty())
        return;
    out += "Line ";
    appendNumber(out, static_cast<long long>(row.line));
    out += ": ";
    out += message;
}

// The bytes of a row as the writers put them straight in: room(size) is
// `size` bytes where the row ends and the bytes after them that the plain
// writer may write over (DisplayFormat::kPlainSpill), always inside the
// bytes. In a debug or a sanitizer build, asking for more room than is
// left, or writing on past the room asked for, stops the program, and the
// sanitizer guards the end of the bytes themselves.
class RowBytes
{
public:
    static constexpr std::size_t kSize = 1024;

    RowBytes() { m_end = m_bytes.data(); }
    RowBytes(const RowBytes &) = delete; // points into itself
    RowBytes &operator=(const RowBytes &) = delete;

    bool fits(std::size_t size) const
    {
        return std::size_t(m_bytes.data() + kSize - m_end) >= size + DisplayFormat::kPlainSpill;
    }
    char *room([[maybe_unused]] std::size_t size)
    {
#if QUILLON_ROOM_CHECKS
        check(fits(size));
        m_room = m_end + size;
#endif
        return m_end;
    }
    // To the end of what was written in the room last asked for.
    void advance(char *end)
    {
#if QUILLON_ROOM_CHECKS
        check(end >= m_end && end <= m_room);
#endif
        m_end = end;
    }
    std::size_t size() const { return std::size_t(m_end - m_bytes.data()); }
    // The bytes from `offset` on, written or not, up to the end.
    const char *at(std::size_t offset) const { return m_bytes.data() + offset; }
    void clear() { m_end = m_bytes.data(); }

private:
#if QUILLON_ROOM_CHECKS
    static void check(bool ok)
    {
        if (!ok) {
            std::fputs("quillon-quote: a row was written past its room\n", stderr);
            std::abort();
        }
    }
    char *m_room = nullptr;
#endif
    char *m_end;
    std::array<char, kSize> m_bytes; // last, for the sanitizer's guard after them
};

// Texts of figures made before, by value, on one worker. A rate is one of a
// few hundred values (the day count decides it), so most rows find theirs
// made; a text depends on nothing but the value, its format and the
// locale, none of which a sink changes.
// Amounts, each of a premium of its own, are kept only for the row, where
// its whole premium, or nothing, often stands more than once. A row's texts
// are named by where they stand in its bytes, which hold them until they
// are emptied: then keepRow() takes what the row asked to keep, and the row
// forgets them.
class MadeTexts : public BatchSink::Scratch
{
public:
    struct Entry
    {
        std::uint64_t key = 0;
        std::uint16_t exponent = 0;
        std::uint8_t figure = 0xff; // none yet
        std::uint8_t size = 0;
        char text[20];
    };
    // The exponent as a whole word: a 16-bit one kept on the stack is read
    // back as one, and the partial store stalls the processor.
    std::size_t slot(std::size_t figure, std::uint64_t key, std::uint64_t exponent) const
    {
        return std::size_t((key ^ exponent << 48 ^ figure) * 0x9E3779B97F4A7C15u >> 52);
    }
    const Entry &at(std::size_t slot) const { return m_entries[slot]; }
    // Where in the row's bytes an amount this row has already written in
    // `format` stands, and its size; false for none.
    bool findRowAmount(const DisplayFormat *format, std::uint64_t key, std::uint64_t exponent,
                       std::size_t &offset, std::size_t &size) const
    {
        for (std::size_t i = 0; i < m_rowAmountCount; ++i) {
            const RowAmount &amount = m_rowAmounts[i];
            if (amount.key == key && amount.exponent == exponent && amount.format == format) {
                offset = amount.offset;
                size = amount.size;
                return true;
            }
        }
        return false;
    }
    void keepRowAmount(const DisplayFormat *format, std::uint64_t key, std::uint64_t exponent, std::size_t offset,
                       std::size_t size)
    {
        if (m_rowAmountCount < m_rowAmounts.size())
            m_rowAmounts[m_rowAmountCount++] = {key, exponent, format, offset, size};
    }
    // Keeps a text just written at `offset` in the row's bytes in `slot`,
    // once the row is done: read back at once, the bytes just stored one
    // or two at a time would stall the processor. A row keeps each of its
    // figures at most once.
    void keep(std::size_t slot, std::size_t figure, std::uint64_t key, std::uint64_t exponent, std::size_t offset,
              std::size_t size)
    {
        if (m_keeping < m_kept.size())
            m_kept[m_keeping++] = {slot, key, exponent, figure, size, offset};
    }
    // Before the row's bytes are emptied: keeps what the row asked to keep.
    void keepRow(const RowBytes &bytes)
    {
        for (std::size_t i = 0; i < m_keeping; ++i) {
            const Kept &kept = m_kept[i];
            Entry &entry = m_entries[kept.slot];
            entry.key = kept.key;
            entry.exponent = std::uint16_t(kept.exponent);
            entry.figure = std::uint8_t(kept.figure);
            entry.size = std::uint8_t(kept.size);
            // Whole, as the room the text was written in reaches past it:
            // a copy of a fixed size takes no call.
            std::memcpy(entry.text, bytes.at(kept.offset), sizeof entry.text);
        }
        m_keeping = 0;
        m_rowAmountCount = 0;
    }

private:
    struct Kept
    {
        std::size_t slot;
        std::uint64_t key, exponent;
        std::size_t figure, size, offset;
    };
    struct RowAmount
    {
        std::uint64_t key, exponent;
        const DisplayFormat *format;
        std::size_t offset, size;
    };
    std::array<Entry, 4096> m_entries{};
    std::array<Kept, kQuoteFigures.size() + 1> m_kept{};
    std::size_t m_keeping = 0;
    std::array<RowAmount, kQuoteFigures.size()> m_rowAmounts{};
    std::size_t m_rowAmountCount = 0;
};

// A row's text put together in bytes of its own and added to the chunk's
// text in one piece: each figure is written straight into them (see
// DisplayFormat::planPlain), never made as a string of its own, looked at
// again or added to a string a few bytes at a time. A row has seventeen
// figures, and a batch millions of rows.
class RowText
{
public:
    // `made` keeps the texts the row asks it to before they leave the row.
    RowText(std::string &out, MadeTexts &made) : m_out(out), m_made(made) {}
    ~RowText() { flush(); }
    RowText(const RowText &) = delete;
    RowText &operator=(const RowText &) = delete;

    // Where to write up to `size` bytes (and what a planned text may write
    // past its end); advance() to the end of what was written. Asking may
    // move what the row holds on to the chunk's text.
    char *room(std::size_t size)
    {
        if (!m_bytes.fits(size))
            flush();
        return m_bytes.room(size);
    }
    void advance(char *end) { m_bytes.advance(end); }
    // Where the next text will stand in the row's bytes.
    std::size_t size() const { return m_bytes.size(); }
    // Puts again a text of up to kAgain bytes the row holds at `offset`;
    // copied whole, as the room it was written in reaches past it, which
    // takes no call. The room must be there already.
    static constexpr std::size_t kAgain = 32;
    void putAgain(std::size_t offset, std::size_t size)
    {
        char *to = m_bytes.room(kAgain);
        std::memmove(to, m_bytes.at(offset), kAgain);
        m_bytes.advance(to + size);
    }
    void put(std::string_view text)
    {
        char *to = room(text.size());
        std::memcpy(to, text.data(), text.size());
        advance(to + text.size());
    }
    void put(char c)
    {
        char *to = room(1);
        *to = c;
        advance(to + 1);
    }
    void putNumber(long long number)
    {
        char *to = room(24);
        advance(std::to_chars(to, to + 24, number).ptr);
    }
    // The chunk's text with everything before in it, for what is appended
    // there directly.
    std::string &text()
    {
        flush();
        return m_out;
    }

private:
    void flush()
    {
        m_made.keepRow(m_bytes);
        m_out.append(m_bytes.at(0), m_bytes.size());
        m_bytes.clear();
    }

    std::string &m_out;
    MadeTexts &m_made;
    RowBytes m_bytes;
};

constexpr std::size_t kFigureRoom = DisplayFormat::kPlainRoom + 2; // the longest figure, in its quotes

// Puts a figure kept in `made`, or has `put` write it (false when it
// wrote nothing, for the long way) and keeps it when it is short.
template <typename Put>
bool putMade(RowText &text, MadeTexts &made, std::size_t figure, std::uint64_t key, std::uint64_t exponent, Put put)
{
    const std::size_t slot = made.slot(figure, key, exponent);
    const MadeTexts::Entry &entry = made.at(slot);
    if (entry.figure == figure && entry.key == key && entry.exponent == exponent) {
        char *to = text.room(sizeof entry.text);
        std::memcpy(to, entry.text, sizeof entry.text);
        text.advance(to + entry.size);
        return true;
    }
    text.room(kFigureRoom);
    const std::size_t before = text.size();
    if (!put())
        return false;
    const std::size_t size = text.size() - before;
    if (size <= sizeof entry.text)
        made.keep(slot, figure, key, exponent, before, size);
    return true;
}

// Puts figure i in `format`, from `made` where it was made before.
template <typename Put>
void putFigure(RowText &text, MadeTexts &made, std::size_t i, const DisplayFormat *format,
               const long double &value, Put put)
{
    const ExtendedBits bits = BitsOf(value);
    const std::uint64_t exponent = bits.signExponent;
    if (kQuoteFigures[i].rate) {
        if (!putMade(text, made, i, bits.significand, exponent, [&] { return put(value, true); }))
            put(value, false);
        return;
    }
    // Room first: the row's texts stay where they are until it is used up.
    text.room(kFigureRoom);
    const std::size_t before = text.size();
    std::size_t offset = 0, size = 0;
    if (made.findRowAmount(format, bits.significand, exponent, offset, size)) {
        text.putAgain(offset, size);
        return;
    }
    if (!put(value, true)) {
        put(value, false);
        return;
    }
    size = text.size() - before;
    if (size <= RowText::kAgain)
        made.keepRowAmount(format, bits.significand, exponent, before, size);
}

class CsvSink : public TextSink
{
public:
    CsvSink(std::FILE *out, const LocaleSettings &locale, bool rules)
        : TextSink(out, locale, rules)
        , m_point(CsvFieldQuoting(locale.decimalSeparator))
        , m_group(CsvFieldQuoting(locale.thousandSeparator))
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
        if (m_rules) {
            m_buffer += ',';
            m_buffer += kRulesColumn;
        }
        m_buffer += "\r\n";
        for (const DayRange range : {DayRange::drInRange, DayRange::drOverYear, DayRange::drNegative})
            m_rangeQuoting[std::size_t(range)] = CsvFieldQuoting(Messages::ForRange(range));
    }

    void format(const BatchRow &row, const QuoteRecord &quote, std::string &out, Scratch *scratch) const override
    {
        // The scratch this sink's scratch() made for the worker.
        MadeTexts &made = static_cast<MadeTexts &>(*scratch);
        RowText text(out, made);
        // A row that produced no figures has every column empty but the message.
        if (!quote.ok()) {
            for (std::size_t i = 0; i < 2 + kQuoteFigures.size(); ++i)
                text.put(',');
        } else {
            const long double days = quote.quote.Days;
            if (!putField(text, *m_daysFormat, days, true))
                putField(text, *m_daysFormat, days, false);
            text.put(',');
            text.put(RangeName(quote.quote.Range));
            for (std::size_t i = 0; i < kQuoteFigures.size(); ++i) {
                text.put(',');
                if (const long double *value = ShownFigureValue(quote.quote, kQuoteFigures[i]))
                    putFigure(text, made, i, m_formats[i], *value, [&](const long double &figure, bool plain) {
                        return putField(text, *m_formats[i], figure, plain);
                    });
            }
            text.put(',');
        }
        std::string &whole = text.text();
        // A range's message is one of three texts, and the line number
        // before it holds no comma or quote, so its quotes are known; the
        // rules' own message is quoted where it stands.
        const CsvQuoting quoting = quote.ok() && !quote.rules.applied ? m_rangeQuoting[std::size_t(quote.quote.Range)]
                                                                      : CsvQuoting::DoubledQuotes;
        if (quoting == CsvQuoting::DoubledQuotes) {
            const std::size_t start = whole.size();
            appendRowMessage(whole, row, quote);
            QuoteCsvFieldFrom(whole, start);
        } else {
            if (quoting == CsvQuoting::Quotes)
                whole += '"';
            appendRowMessage(whole, row, quote);
            if (quoting == CsvQuoting::Quotes)
                whole += '"';
        }
        if (m_rules) {
            whole += ',';
            const std::size_t start = whole.size();
            whole += RulesText(row.rules, quote, m_locale);
            QuoteCsvFieldFrom(whole, start);
        }
        whole += "\r\n";
    }

private:
    // A figure as one field. The plain way has its quotes decided from the
    // parts of its text that can hold a comma or a quote, before it is
    // written, and returns false for a figure it leaves to the long way:
    // appended and quoted where it stands.
    bool putField(RowText &text, const DisplayFormat &format, const long double &value, bool plain) const
    {
        if (plain) {
            DisplayFormat::PlainPlan plan;
            if (!format.planPlain(value, m_locale, plan))
                return false;
            const auto literal = [](std::string_view part) {
                return part.empty() ? CsvQuoting::None : CsvFieldQuoting(part);
            };
            const CsvQuoting quoting = std::max({literal(plan.prefix()), literal(plan.suffix()),
                                                 plan.point() ? m_point : CsvQuoting::None,
                                                 plan.grouped() ? m_group : CsvQuoting::None});
            if (quoting == CsvQuoting::DoubledQuotes)
                return false;
            const bool quoted = quoting == CsvQuoting::Quotes;
            char *to = text.room(plan.size() + 2);
            if (quoted)
                *to++ = '"';
            to = DisplayFormat::writePlanned(plan, to, m_locale);
            if (quoted)
                *to++ = '"';
            text.advance(to);
            return true;
        }
        std::string &out = text.text();
        const std::size_t start = out.size();
        format.appendTo(out, value, m_locale);
        QuoteCsvFieldFrom(out, start);
        return true;
    }

    const CsvQuoting m_point, m_group; // what the separators ask of a field that holds them
    std::array<CsvQuoting, 3> m_rangeQuoting{}; // what each range's message asks
};

// Whether `text` stands in a JSON string as it is, as nlohmann-json writes
// it: printable ASCII other than the quote and the backslash. Anything else
// the library escapes, replacing bytes that are not UTF-8 (a Latin-1 file)
// rather than making the whole row fail.
bool plainJson(std::string_view text)
{
    bool plain = true;
    for (const char c : text)
        plain = plain && static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f && c != '"'
            && c != '\\';
    return plain;
}

// Makes what `out` holds from `start` on (after an opening quote) one JSON
// string, in the same way.
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

// The key of a member and the colon after it: the keys are plain names.
void putKey(RowText &text, std::string_view key)
{
    text.put('"');
    text.put(key);
    text.put("\":");
}

class JsonLinesSink : public TextSink
{
public:
    JsonLinesSink(std::FILE *out, const LocaleSettings &locale, bool rules)
        : TextSink(out, locale, rules)
        , m_point(plainJson(locale.decimalSeparator))
        , m_group(plainJson(locale.thousandSeparator))
    {
    }

    void format(const BatchRow &row, const QuoteRecord &quote, std::string &out, Scratch *scratch) const override
    {
        // The scratch this sink's scratch() made for the worker.
        MadeTexts &made = static_cast<MadeTexts &>(*scratch);
        RowText text(out, made);
        text.put('{');
        putKey(text, kLineColumn);
        text.putNumber(static_cast<long long>(row.line));
        text.put(',');
        putKey(text, kDaysColumn);
        if (quote.ok())
            text.putNumber(quote.quote.Days);
        else
            text.put("null");
        text.put(',');
        putKey(text, kRangeColumn);
        text.put('"');
        if (quote.ok())
            text.put(RangeName(quote.quote.Range));
        text.put('"');
        for (std::size_t i = 0; i < kQuoteFigures.size(); ++i) {
            text.put(',');
            putKey(text, kQuoteFigures[i].name);
            if (const long double *value = quote.ok() ? ShownFigureValue(quote.quote, kQuoteFigures[i]) : nullptr)
                putFigure(text, made, i, m_formats[i], *value, [&](const long double &figure, bool plain) {
                    return putString(text, *m_formats[i], figure, plain);
                });
            else
                text.put("\"\"");
        }
        text.put(',');
        putKey(text, kMessageColumn);
        std::string &whole = text.text();
        const std::size_t start = whole.size();
        whole += '"';
        appendRowMessage(whole, row, quote);
        closeJsonString(whole, start);
        if (m_rules) {
            whole += ",\"rules\":";
            whole += RulesObject(row.rules, quote, m_locale).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        }
        whole += "}\n";
    }

private:
    // A figure as one JSON string, as putField puts a CSV field.
    bool putString(RowText &text, const DisplayFormat &format, const long double &value, bool plain) const
    {
        if (plain) {
            DisplayFormat::PlainPlan plan;
            if (!format.planPlain(value, m_locale, plan) || !plainJson(plan.prefix()) || !plainJson(plan.suffix())
                || (!m_point && plan.point()) || (!m_group && plan.grouped()))
                return false;
            char *to = text.room(plan.size() + 2);
            *to++ = '"';
            to = DisplayFormat::writePlanned(plan, to, m_locale);
            *to++ = '"';
            text.advance(to);
            return true;
        }
        std::string &out = text.text();
        const std::size_t start = out.size();
        out += '"';
        format.appendTo(out, value, m_locale);
        closeJsonString(out, start);
        return true;
    }

    const bool m_point, m_group; // the separators stand in a JSON string as they are
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

TextSink::TextSink(std::FILE *out, const LocaleSettings &locale, bool rules)
    : m_locale(locale)
    , m_rules(rules)
    , m_daysFormat(&DaysFieldFormat())
    , m_out(out)
{
    for (std::size_t i = 0; i < kQuoteFigures.size(); ++i)
        m_formats[i] = &FigureFormat(kQuoteFigures[i]);
    m_buffer.reserve(kFlushAt * 2);
}

std::unique_ptr<BatchSink::Scratch> TextSink::scratch() const
{
    return std::make_unique<MadeTexts>();
}

std::unique_ptr<TextSink> TextSink::make(BatchFormat format, std::FILE *out, const LocaleSettings &locale, bool rules)
{
    if (format == BatchFormat::JsonLines)
        return std::make_unique<JsonLinesSink>(out, locale, rules);
    return std::make_unique<CsvSink>(out, locale, rules);
}

bool TextSink::write(const BatchChunk &chunk)
{
    // A chunk's text of many rows goes to the stream as it is, after what
    // is waiting; single rows gather first (in the buffer already, when
    // they were made there).
    if (chunk.text.size() < kFlushAt) {
        m_buffer += chunk.text;
        for (const BatchRow &row : chunk.rows)
            m_lines.push_back(row.line);
        return m_buffer.size() < kFlushAt || flush();
    }
    if (!flush())
        return false;
    return put(chunk.text, chunk.rows.size(), [&](std::size_t i) { return chunk.rows[i].line; });
}

bool TextSink::flush()
{
    const bool ok = put(m_buffer, m_lines.size(), [&](std::size_t i) { return m_lines[i]; });
    m_buffer.clear();
    m_lines.clear();
    return ok;
}

template <typename LineOf>
bool TextSink::put(std::string_view text, std::size_t rows, LineOf lineOf)
{
    const std::size_t written = std::fwrite(text.data(), 1, text.size(), m_out);
    // Each row's text is one line, so the rows that did not reach the
    // stream whole are the line ends past what did.
    const auto cut = std::size_t(std::count(text.begin() + std::ptrdiff_t(written), text.end(), '\n'));
    if (cut < rows)
        m_writtenLine = lineOf(rows - cut - 1);
    return written == text.size() || failed();
}

bool TextSink::failed()
{
    m_writeError = errno;
    return false;
}

bool TextSink::finish()
{
    return flush() && (std::fflush(m_out) == 0 || failed()) && (!std::ferror(m_out) || failed());
}

#include "Csv.h"

#include <algorithm>
#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The first of the bytes a, b and c from `p` on, or `end`: sixteen bytes at
// a time where the processor has SSE2 (every x86-64), as the line splitter
// looks at every byte of the input.
const char *findAny(const char *p, const char *end, char a, char b, char c)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c);
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, va), _mm_cmpeq_epi8(bytes, vb)),
                                          _mm_cmpeq_epi8(bytes, vc));
        if (const int mask = _mm_movemask_epi8(hits))
            return p + __builtin_ctz(unsigned(mask));
    }
#endif
    while (p < end && *p != a && *p != b && *p != c)
        ++p;
    return p;
}

// What a byte means to a field: it makes the field need quotes, and it is a
// quote itself, doubled inside them.
constexpr unsigned char kNeedsQuotes = 1;
constexpr unsigned char kQuote = 2;

// Where the first line of a record ends, just past its CR, LF or CRLF.
std::size_t pastFirstLineEnd(const std::string &raw)
{
    const std::size_t end = raw.find_first_of("\r\n");
    if (end == std::string::npos)
        return raw.size();
    if (raw[end] == '\r' && end + 1 < raw.size() && raw[end + 1] == '\n')
        return end + 2;
    return end + 1;
}
} // namespace

CsvReader::CsvReader(std::FILE *in, CsvLimits limits, std::size_t bufferSize)
    : m_in(in)
    , m_limits(limits)
    , m_buffer(std::max<std::size_t>(bufferSize, 1))
{
}

int CsvReader::peek()
{
    if (m_replayPos < m_replay.size())
        return static_cast<unsigned char>(m_replay[m_replayPos]);
    if (m_pos == m_end && !refill())
        return EOF;
    return static_cast<unsigned char>(m_buffer[m_pos]);
}

int CsvReader::get()
{
    const int c = peek();
    if (c == EOF)
        return c;
    if (m_replayPos < m_replay.size()) {
        if (++m_replayPos == m_replay.size()) {
            m_replay.clear();
            m_replayPos = 0;
        }
    } else {
        ++m_pos;
    }
    if (m_capturing)
        m_raw += char(c);
    if (c == '\n' || (c == '\r' && peek() != '\n'))
        ++m_lineEnds;
    return c;
}

void CsvReader::rereadAfterFirstLine()
{
    // The record holds at most the record limit, so the bytes given back
    // are bounded too.
    std::string again = m_raw.substr(pastFirstLineEnd(m_raw));
    again.append(m_replay, m_replayPos);
    m_replay = std::move(again);
    m_replayPos = 0;
    m_lineEnds = m_recordLine;
}

void CsvReader::skipByteOrderMark()
{
    // It counts only at the very start of the input, and only whole; byte
    // by byte, as the buffer may end inside it. Part of one is text, given
    // back to be read as such.
    static constexpr std::string_view bom = "\xEF\xBB\xBF";
    std::size_t matched = 0;
    while (matched < bom.size() && peek() == static_cast<unsigned char>(bom[matched])) {
        get();
        ++matched;
    }
    if (matched < bom.size())
        m_replay.assign(bom.substr(0, matched));
}

bool CsvReader::refill()
{
    // The bytes not yet taken move to the buffer's start and more are read
    // behind them, so a line the buffer cut is whole again.
    if (m_eof || (m_pos == 0 && m_end == m_buffer.size()))
        return false;
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
    m_end -= m_pos;
    m_pos = 0;
    const std::size_t n = std::fread(m_buffer.data() + m_end, 1, m_buffer.size() - m_end, m_in);
    m_fileBytes += n;
    m_end += n;
    if (n == 0) {
        m_eof = true;
        m_readError = std::ferror(m_in) != 0;
    }
    return n > 0;
}

CsvReader::Line CsvReader::splitLine(CsvFields &fields)
{
    // The fields of one line straight from the buffer: quoted fields too,
    // as long as they hold no line end, and quotes after a field's first
    // byte are its own bytes, as on the byte-by-byte road.
    const char *const lineStart = m_buffer.data() + m_pos;
    const char *const end = m_buffer.data() + m_end;
    const char *p = lineStart;
    std::string &bytes = fields.m_bytes;
    p = findAny(p, end, '"', '\r', '\n');
    if (p == end)
        return Line::Partial;
    if (*p != '"') {
        // No quote before the line end, as in most lines: the line's bytes
        // are its fields' bytes, taken in one go.
        const std::size_t base = bytes.size();
        bytes.append(lineStart, p);
        for (const char *field = lineStart;;) {
            const char *comma = findAny(field, p, ',', ',', ',');
            if (std::size_t(comma - field) > m_limits.field)
                return Line::Unusual;
            fields.m_spans.push_back({base + std::size_t(field - lineStart), std::size_t(comma - field)});
            if (comma == p)
                break;
            field = comma + 1;
        }
        return lineEnd(lineStart, p, end);
    }
    p = lineStart;
    for (;;) {
        const std::size_t offset = bytes.size();
        if (p < end && *p == '"') {
            for (++p;;) {
                const char *q = findAny(p, end, '"', '\r', '\n');
                if (q == end || q + 1 == end)
                    return Line::Partial;
                if (*q != '"')
                    return Line::Unusual; // a line end inside quotes
                bytes.append(p, q);
                if (q[1] != '"') {
                    p = q + 1;
                    break;
                }
                bytes += '"';
                p = q + 2;
            }
        }
        const char *q = findAny(p, end, ',', '\r', '\n');
        if (q == end)
            return Line::Partial;
        bytes.append(p, q);
        if (bytes.size() - offset > m_limits.field)
            return Line::Unusual;
        fields.m_spans.push_back({offset, bytes.size() - offset});
        p = q;
        if (*p != ',')
            break;
        ++p;
    }
    return lineEnd(lineStart, p, end);
}

CsvReader::Line CsvReader::lineEnd(const char *lineStart, const char *p, const char *end)
{
    // `p` is at the CR or LF that ends the line.
    if (std::size_t(p - lineStart) > m_limits.record)
        return Line::Unusual;
    if (*p == '\r') {
        if (p + 1 == end)
            return Line::Partial; // CR LF or a lone CR
        p += p[1] == '\n' ? 2 : 1;
    } else {
        ++p;
    }
    m_pos = std::size_t(p - m_buffer.data());
    ++m_lineEnds;
    return Line::Taken;
}

bool CsvReader::takeWholeLine(CsvFields &fields)
{
    // Most records are a line already in the buffer: split it in one go.
    // Anything else (a quoted line end, a field or a record past its limit,
    // a line longer than the buffer, the last line without a line end,
    // bytes given back) takes the byte-by-byte road.
    if (m_replayPos < m_replay.size())
        return false;
    const std::size_t bytes = fields.m_bytes.size();
    const std::size_t spans = fields.m_spans.size();
    for (;;) {
        const Line line = splitLine(fields);
        if (line == Line::Taken)
            return true;
        fields.m_bytes.resize(bytes);
        fields.m_spans.resize(spans);
        if (line == Line::Unusual || !refill())
            return false;
    }
}

bool CsvReader::next(std::vector<std::string> &fields)
{
    m_fields.clear();
    if (!next(m_fields))
        return false;
    fields.resize(m_fields.size());
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        fields[i].assign(m_fields[i]);
    return true;
}

bool CsvReader::next(CsvFields &fields)
{
    if (m_atStart) {
        m_atStart = false;
        skipByteOrderMark();
    }
    m_problem = Problem::None;
    if (peek() == EOF)
        return false;
    m_recordLine = m_lineEnds + 1;
    m_raw.clear();
    if (takeWholeLine(fields))
        return true;
    m_capturing = true;

    std::string &bytes = fields.m_bytes;
    std::size_t fieldOffset = bytes.size();
    auto closeField = [&] { fields.m_spans.push_back({fieldOffset, bytes.size() - fieldOffset}); };
    bool quoted = false;
    bool fieldStart = true;
    bool crossedLine = false; // a quoted field ran over a line end
    // A record past a limit fails, and its fields are what was read before;
    // the rest of it is still read by the same rules, without being kept,
    // so that reading goes on where the record really ends (a long quoted
    // field's lines are not rows).
    bool keeping = true;
    auto fail = [&](Problem problem) {
        if (keeping)
            closeField();
        keeping = false;
        if (m_problem == Problem::None)
            m_problem = problem;
        return !m_stopAtFault;
    };
    auto append = [&](int c) {
        if (!keeping)
            return true;
        if (bytes.size() - fieldOffset >= m_limits.field)
            return fail(Problem::FieldTooLong);
        bytes += char(c);
        return true;
    };
    // A quote still open past a line end at the end of the input, or past
    // the record limit, was most likely never meant to span lines: the row
    // it began on fails, and the lines after it are read again as rows.
    auto neverCloses = [&] {
        m_problem = Problem::UnterminatedQuote;
        m_openThroughLine = m_lineEnds;
        rereadAfterFirstLine();
    };
    for (;;) {
        if (m_capturing && m_raw.size() > m_limits.record) {
            if (quoted && crossedLine) {
                neverCloses();
                break;
            }
            // No line after the first can be given back from here on.
            m_capturing = false;
            if (!fail(Problem::RecordTooLong))
                break;
        }
        const int c = get();
        if (quoted) {
            if (c == EOF) {
                if (crossedLine && m_capturing)
                    neverCloses();
                else if (m_problem == Problem::None)
                    m_problem = Problem::UnterminatedQuote;
                break;
            }
            if (c == '"') {
                if (peek() == '"') {
                    get();
                    if (!append('"'))
                        break;
                } else {
                    quoted = false;
                }
                continue;
            }
            if ((c == '\n' || c == '\r') && openAtLineEnd(crossedLine)) {
                if (m_problem == Problem::None)
                    m_problem = Problem::UnterminatedQuote;
                if (c == '\r' && peek() == '\n')
                    get();
                break;
            }
            crossedLine = crossedLine || c == '\n' || c == '\r';
            if (!append(c))
                break;
            continue;
        }
        if (c == EOF || c == '\n')
            break;
        if (c == '\r') {
            if (peek() == '\n')
                get();
            break;
        }
        if (c == ',') {
            if (keeping)
                closeField();
            fieldOffset = bytes.size();
            fieldStart = true;
            continue;
        }
        if (c == '"' && fieldStart) {
            quoted = true;
            fieldStart = false;
            continue;
        }
        fieldStart = false;
        if (!append(c))
            break;
    }
    m_capturing = false;
    if (keeping)
        closeField();
    return true;
}

bool CsvReader::openAtLineEnd(bool crossedLine) const
{
    // A record still in quotes at the end of its first line is in the very
    // state the record that last failed for its open quote was in there,
    // if that one ran over this line end: from here on the two read alike,
    // so this quote stays open as far as that one did, and reading on
    // would only find that again, line after line. Past the record limit
    // the lines are no longer held to be given back, so a quote open at a
    // line end there ends the record at that line end.
    return !m_capturing || (!crossedLine && m_recordLine <= m_openThroughLine);
}

bool CsvReader::first(std::vector<std::string> &fields, CsvLimits limits)
{
    const CsvLimits usual = m_limits;
    m_limits = limits;
    m_stopAtFault = true;
    const bool read = next(fields);
    m_stopAtFault = false;
    m_limits = usual;
    return read;
}

CsvQuoting CsvFieldQuoting(std::string_view field)
{
    // One pass through a table, without a branch a byte. The loop leaves
    // at a quote, which decides the answer: besides making the rare case
    // short, that keeps the compiler from turning a loop over a few bytes
    // into vector code that costs more than it saves.
    static constexpr std::array<unsigned char, 256> kBytes = [] {
        std::array<unsigned char, 256> bytes{};
        bytes[','] = bytes['\r'] = bytes['\n'] = kNeedsQuotes;
        bytes['"'] = kNeedsQuotes | kQuote;
        return bytes;
    }();
    unsigned seen = 0;
    for (const char *p = field.data(), *end = p + field.size(); p < end && !(seen & kQuote); ++p)
        seen |= kBytes[static_cast<unsigned char>(*p)];
    return seen & kQuote ? CsvQuoting::DoubledQuotes : seen ? CsvQuoting::Quotes : CsvQuoting::None;
}

namespace {

void appendQuoted(std::string &out, std::string_view field, CsvQuoting quoting)
{
    out += '"';
    if (quoting != CsvQuoting::DoubledQuotes) {
        out += field;
    } else {
        for (const char c : field) {
            if (c == '"')
                out += '"';
            out += c;
        }
    }
    out += '"';
}

} // namespace

void AppendCsvField(std::string &out, std::string_view field)
{
    const CsvQuoting quoting = CsvFieldQuoting(field);
    if (quoting == CsvQuoting::None)
        out += field;
    else
        appendQuoted(out, field, quoting);
}

void QuoteCsvFieldFrom(std::string &out, std::size_t start)
{
    const CsvQuoting quoting = CsvFieldQuoting(std::string_view(out).substr(start));
    if (quoting == CsvQuoting::None)
        return;
    if (quoting == CsvQuoting::Quotes) {
        out.insert(out.begin() + std::ptrdiff_t(start), '"');
        out += '"';
        return;
    }
    const std::string field = out.substr(start);
    out.resize(start);
    appendQuoted(out, field, quoting);
}

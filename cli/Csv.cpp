#include "Csv.h"

namespace {
constexpr std::size_t kBufferSize = 1 << 16;

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

CsvReader::CsvReader(std::FILE *in, CsvLimits limits)
    : m_in(in)
    , m_limits(limits)
    , m_buffer(kBufferSize)
{
}

int CsvReader::peek()
{
    if (m_replayPos < m_replay.size())
        return static_cast<unsigned char>(m_replay[m_replayPos]);
    if (m_pos == m_end) {
        if (m_eof)
            return EOF;
        m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_in);
        m_fileBytes += m_end;
        m_pos = 0;
        if (m_end == 0) {
            m_eof = true;
            m_readError = std::ferror(m_in) != 0;
            return EOF;
        }
    }
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

void CsvReader::skipToLineEnd()
{
    m_capturing = false;
    for (;;) {
        const int c = get();
        if (c == EOF || c == '\n')
            return;
        if (c == '\r') {
            if (peek() == '\n')
                get();
            return;
        }
    }
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

bool CsvReader::takeWholeLine(std::vector<std::string> &fields)
{
    // Most records are a line of plain fields already in the buffer: split
    // it in one go. Anything else (a quote, a line end not yet read, a lone
    // CR at the buffer's end, a field or a record past its limit, bytes
    // given back) takes the byte-by-byte road.
    if (m_replayPos < m_replay.size())
        return false;
    const char *begin = m_buffer.data() + m_pos;
    const char *end = m_buffer.data() + m_end;
    const char *stop = begin;
    while (stop < end && *stop != '\n' && *stop != '\r' && *stop != '"')
        ++stop;
    if (stop == end || *stop == '"' || std::size_t(stop - begin) > m_limits.record)
        return false;
    std::size_t lineEnd = 1;
    if (*stop == '\r') {
        if (stop + 1 == end)
            return false;
        lineEnd = stop[1] == '\n' ? 2 : 1;
    }
    std::size_t count = 0;
    for (const char *field = begin;; ++count) {
        const char *comma = field;
        while (comma < stop && *comma != ',')
            ++comma;
        if (std::size_t(comma - field) > m_limits.field)
            return false;
        if (fields.size() <= count)
            fields.emplace_back();
        fields[count].assign(field, comma);
        if (comma == stop)
            break;
        field = comma + 1;
    }
    fields.resize(count + 1);
    m_pos += std::size_t(stop - begin) + lineEnd;
    ++m_lineEnds;
    return true;
}

bool CsvReader::next(std::vector<std::string> &fields)
{
    if (m_atStart) {
        m_atStart = false;
        // A byte-order mark is three bytes that are all above 0x7f; it only
        // counts at the very start of the input.
        static const unsigned char bom[] = {0xEF, 0xBB, 0xBF};
        if (peek() == bom[0] && m_end - m_pos >= 3 && static_cast<unsigned char>(m_buffer[m_pos + 1]) == bom[1]
            && static_cast<unsigned char>(m_buffer[m_pos + 2]) == bom[2])
            m_pos += 3;
    }
    m_problem = Problem::None;
    if (peek() == EOF)
        return false;
    m_recordLine = m_lineEnds + 1;
    m_raw.clear();
    if (takeWholeLine(fields))
        return true;
    m_capturing = true;

    std::size_t count = 0;
    auto field = [&]() -> std::string & {
        if (fields.size() <= count)
            fields.emplace_back();
        std::string &f = fields[count];
        f.clear();
        return f;
    };
    std::string *current = &field();
    bool quoted = false;
    bool fieldStart = true;
    bool crossedLine = false; // a quoted field ran over a line end
    // A quote still open past a line end at the end of the input, or past
    // the record limit, was most likely never meant to span lines: the row
    // it began on fails, and the lines after it are read again as rows.
    auto giveUp = [&](Problem problem) {
        if (quoted && crossedLine) {
            m_problem = Problem::UnterminatedQuote;
            rereadAfterFirstLine();
        } else {
            m_problem = problem;
            if (problem != Problem::UnterminatedQuote)
                skipToLineEnd();
        }
    };
    auto append = [&](int c) {
        if (current->size() >= m_limits.field) {
            giveUp(Problem::FieldTooLong);
            return false;
        }
        *current += char(c);
        return true;
    };
    for (;;) {
        if (m_raw.size() > m_limits.record) {
            giveUp(Problem::RecordTooLong);
            break;
        }
        const int c = get();
        if (quoted) {
            if (c == EOF) {
                giveUp(Problem::UnterminatedQuote);
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
            ++count;
            current = &field();
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
    fields.resize(count + 1);
    return true;
}

void AppendCsvField(std::string &out, std::string_view field)
{
    const std::size_t start = out.size();
    out += field;
    QuoteCsvFieldFrom(out, start);
}

void QuoteCsvFieldFrom(std::string &out, std::size_t start)
{
    // One pass with plain comparisons: this runs for every figure of every
    // row, and a search for a set of characters costs more than the field.
    bool special = false;
    bool quote = false;
    for (std::size_t i = start; i < out.size(); ++i) {
        const char c = out[i];
        special = special || c == ',' || c == '"' || c == '\r' || c == '\n';
        quote = quote || c == '"';
    }
    if (!special)
        return;
    if (!quote) {
        out.insert(out.begin() + std::ptrdiff_t(start), '"');
    } else {
        const std::string field = out.substr(start);
        out.resize(start);
        out += '"';
        for (const char c : field) {
            if (c == '"')
                out += '"';
            out += c;
        }
    }
    out += '"';
}

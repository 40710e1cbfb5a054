#include "Csv.h"

namespace {
constexpr std::size_t kBufferSize = 1 << 16;
}

CsvReader::CsvReader(std::FILE *in)
    : m_in(in)
    , m_buffer(kBufferSize)
{
}

int CsvReader::peek()
{
    if (m_pos == m_end) {
        if (m_eof)
            return EOF;
        m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_in);
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
    if (c != EOF)
        ++m_pos;
    return c;
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
    m_unterminated = false;
    if (peek() == EOF)
        return false;

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
    for (;;) {
        int c = get();
        if (quoted) {
            if (c == EOF) {
                m_unterminated = true;
                break;
            }
            if (c == '"') {
                if (peek() == '"') {
                    get();
                    *current += '"';
                } else {
                    quoted = false;
                }
                continue;
            }
            *current += char(c);
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
        *current += char(c);
    }
    fields.resize(count + 1);
    return true;
}

void AppendCsvField(std::string &out, std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

#pragma once

#include <cstdio>
#include <string>
#include <vector>

// A streaming reader and writer of RFC 4180 CSV. The reader keeps one record
// in memory at a time, whatever the size of the input.
class CsvReader
{
public:
    explicit CsvReader(std::FILE *in);

    // Reads the next record into `fields` (reusing their storage). Returns
    // false at the end of the input. Records end at LF, CRLF or a lone CR;
    // a leading UTF-8 byte-order mark is skipped; bytes are passed through
    // unchanged, valid UTF-8 or not.
    bool next(std::vector<std::string> &fields);

    // The last record ended inside a quoted field (the input ran out first).
    bool unterminatedQuote() const { return m_unterminated; }
    bool readError() const { return m_readError; }

private:
    int get();
    int peek();

    std::FILE *m_in;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_atStart = true;
    bool m_eof = false;
    bool m_unterminated = false;
    bool m_readError = false;
};

// Appends one field, quoted only when it holds a comma, a quote, CR or LF.
void AppendCsvField(std::string &out, std::string_view field);

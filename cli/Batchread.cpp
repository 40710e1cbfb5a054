#include "Batchread.h"

#include <algorithm>

#include "Asciicase.h"
#include "Messages.h"

using namespace quillon;

namespace {

// A header is a line of a few names: one this long is no header, and is
// refused without reading on to its end, which may never come.
constexpr CsvLimits kHeaderLimits{16 * 1024, 16 * 1024};

// How a column name, and the quotation type in a row, are read: ASCII
// letters in any case, spaces and tabs around them ignored.
std::string normalised(std::string_view name)
{
    const auto first = name.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = name.find_last_not_of(" \t");
    return AsciiLowered(name.substr(first, last - first + 1));
}

// The message of a record the CSV reader could not take whole, or empty.
std::string recordProblemMessage(const CsvReader &reader)
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

// A UTF-16 file read as bytes: its byte-order mark, or NULs beside the
// letters of its names.
bool looksUtf16(const std::vector<std::string> &fields)
{
    if (!fields.empty() && (fields[0].starts_with("\xFF\xFE") || fields[0].starts_with("\xFE\xFF")))
        return true;
    const auto letter = [](char c) { return AsciiLower(c) >= 'a' && AsciiLower(c) <= 'z'; };
    for (const std::string &field : fields)
        for (std::size_t i = 0; i + 1 < field.size(); ++i)
            if ((field[i] == '\0' && letter(field[i + 1])) || (letter(field[i]) && field[i + 1] == '\0'))
                return true;
    return false;
}

// Whether the header would be right were `separator` the comma.
bool separatedBy(const std::vector<std::string> &fields, char separator)
{
    std::vector<std::string> split;
    for (const std::string &field : fields) {
        for (std::size_t from = 0;;) {
            const std::size_t to = field.find(separator, from);
            split.push_back(field.substr(from, to - from));
            if (to == std::string::npos)
                break;
            from = to + 1;
        }
    }
    BatchColumns columns;
    return split.size() > fields.size() && ReadBatchHeader(split, columns);
}

// What is wrong with a header that does not read: said plainly where the
// file was saved the wrong way.
std::string headerProblemMessage(const std::vector<std::string> &fields, const std::string &twice)
{
    const std::string line = "line 1: ";
    if (looksUtf16(fields))
        return line + "the file is UTF-16 text; save it as UTF-8";
    if (!twice.empty())
        return line + "the header names the column " + twice + " twice";
    if (separatedBy(fields, ';'))
        return line + "fields must be separated by commas, not semicolons";
    if (separatedBy(fields, '\t'))
        return line + "fields must be separated by commas, not tabs";
    return line + "the first line must be the header " + kBatchInputHeader;
}

std::string fieldCountMessage(std::size_t expected, std::size_t found, bool namesColumns)
{
    std::string text = "Expected " + std::to_string(expected) + " fields";
    if (namesColumns)
        text += std::string(" (") + kBatchInputHeader + ")";
    return text + ", found " + std::to_string(found) + ".";
}

} // namespace

QuoteRequest BatchColumns::request(const CsvFields &fields, const BatchRow &row) const
{
    return {fields[row.first + premium], fields[row.first + start], fields[row.first + end], row.type};
}

std::string_view BatchColumns::text(const CsvFields &fields, const BatchRow &row, std::size_t column) const
{
    return column < row.count ? fields[row.first + column] : std::string_view();
}

bool ReadBatchHeader(const std::vector<std::string> &fields, BatchColumns &columns, std::string *twice)
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
        {"short_rate", &BatchColumns::shortRate, false},
        {"minimum_earned", &BatchColumns::minimumEarned, false},
        {"fees", &BatchColumns::fees, false},
        {"expires", &BatchColumns::expires, false},
    };
    bool seen[std::size(names)] = {};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string name = normalised(fields[i]);
        for (std::size_t n = 0; n < std::size(names); ++n) {
            if (name != names[n].name)
                continue;
            if (seen[n]) {
                if (twice)
                    *twice = names[n].name;
                return false;
            }
            seen[n] = true;
            columns.*names[n].slot = i;
        }
    }
    columns.count = fields.size();
    return seen[0] && seen[1] && seen[2];
}

BatchReader::BatchReader(std::FILE *in, BatchRules rules) : m_csv(in), m_rules(rules) {}

BatchReader::Header BatchReader::readHeader()
{
    std::vector<std::string> fields;
    std::string twice;
    if (!m_csv.first(fields, kHeaderLimits)) {
        m_headerMessage = headerProblemMessage(fields, twice);
        return Header::NoInput;
    }
    if (m_csv.problem() != CsvReader::Problem::None || !ReadBatchHeader(fields, m_columns, &twice)) {
        // The header is the first record, and the first record begins on line 1.
        m_headerMessage = headerProblemMessage(fields, twice);
        return Header::Wrong;
    }
    return Header::Read;
}

bool BatchReader::next(BatchRow &row, CsvFields &fields)
{
    row.first = fields.size();
    if (!m_csv.next(fields))
        return false;
    row.count = fields.size() - row.first;
    row.line = m_csv.line();
    row.problem.clear();
    if (m_csv.problem() != CsvReader::Problem::None)
        row.problem = recordProblemMessage(m_csv);
    row.type = QuotationType::Refund;
    if (row.problem.empty() && row.count != m_columns.count)
        row.problem = fieldCountMessage(m_columns.count, row.count, m_rules.fieldCountNamesColumns);
    if (m_rules.readType && row.problem.empty()) {
        const std::string_view text = m_columns.text(fields, row, m_columns.type);
        const std::string kind = normalised(text);
        if (kind == "addl")
            row.type = QuotationType::AdditionalPremium;
        else if (!kind.empty() && kind != "refund")
            row.problem = "'" + Messages::QuotedInput(text) + "' is not a quotation type (refund or addl).";
    }
    return true;
}

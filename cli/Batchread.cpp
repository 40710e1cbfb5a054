#include "Batchread.h"

#include <algorithm>

#include "Asciicase.h"
#include "Messages.h"

using namespace quillon;

namespace {

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

bool ReadBatchHeader(const std::vector<std::string> &fields, BatchColumns &columns)
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
    };
    bool seen[std::size(names)] = {};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string name = normalised(fields[i]);
        for (std::size_t n = 0; n < std::size(names); ++n) {
            if (name != names[n].name)
                continue;
            if (seen[n])
                return false;
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
    if (!m_csv.next(fields))
        return Header::NoInput;
    if (m_csv.problem() != CsvReader::Problem::None || !ReadBatchHeader(fields, m_columns))
        return Header::Wrong;
    return Header::Read;
}

std::string BatchReader::headerMessage()
{
    // The header is the first record, and the first record begins on line 1.
    return std::string("line 1: the first line must be the header ") + kBatchInputHeader;
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
        const std::string_view kind = m_columns.text(fields, row, m_columns.type);
        if (kind == "addl")
            row.type = QuotationType::AdditionalPremium;
        else if (!kind.empty() && kind != "refund")
            row.problem = "'" + Messages::QuotedInput(kind) + "' is not a quotation type (refund or addl).";
    }
    return true;
}

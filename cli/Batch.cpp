#include "Batch.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "Csv.h"
#include "Messages.h"
#include "Quote.h"

namespace {

constexpr const char *kOutputHeader =
    "days,range,PR12Earn,PR12Unearn,PR12ERate,PR12URate,PR6Earn,PR6Unearn,PR6ERate,PR6URate,"
    "SR12Earn,SR12Unearn,SR12ERate,SR12URate,SR6earn,SR6Unearn,SR6ERate,SR6URate,message";
constexpr std::size_t kFlushAt = 1 << 16;
constexpr int kFigureColumns = 16;

std::string normalised(std::string_view name)
{
    const auto first = name.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = name.find_last_not_of(" \t");
    std::string s(name.substr(first, last - first + 1));
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

struct Columns
{
    std::size_t count = 0;
    std::size_t premium = 0, start = 0, end = 0;
};

bool readHeader(const std::vector<std::string> &fields, Columns &columns)
{
    bool seen[3] = {false, false, false};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string name = normalised(fields[i]);
        std::size_t *slot = name == "premium" ? &columns.premium
            : name == "start"                  ? &columns.start
            : name == "end"                    ? &columns.end
                                               : nullptr;
        if (!slot)
            continue;
        const int which = slot == &columns.premium ? 0 : slot == &columns.start ? 1 : 2;
        if (seen[which])
            return false;
        seen[which] = true;
        *slot = i;
    }
    columns.count = fields.size();
    return seen[0] && seen[1] && seen[2];
}

std::string fieldCountMessage(std::size_t expected, std::size_t found)
{
    return "Expected " + std::to_string(expected) + " fields (" + kBatchInputHeader + "), found "
        + std::to_string(found) + ".";
}

std::string problemMessage(const CsvReader &reader)
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

// Every row message names the input line its row began on, so a clerk can
// find it in a file of thousands.
void appendLineMessage(std::string &out, std::size_t line, std::string_view message)
{
    if (message.empty())
        return;
    std::string text = "Line " + std::to_string(line) + ": ";
    text += message;
    AppendCsvField(out, text);
}

// A row that produced no figures: every column empty but the message.
void appendFailedRow(std::string &out, std::size_t line, std::string_view message)
{
    out.append(2 + kFigureColumns, ',');
    appendLineMessage(out, line, message);
    out += "\r\n";
}

class BatchWriter
{
public:
    explicit BatchWriter(std::FILE *out) : m_out(out) { m_buffer.reserve(kFlushAt * 2); }
    std::string &buffer() { return m_buffer; }
    bool flushIfFull() { return m_buffer.size() < kFlushAt || flush(); }
    bool flush()
    {
        const bool ok = std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out) == m_buffer.size();
        m_buffer.clear();
        return ok;
    }

private:
    std::FILE *m_out;
    std::string m_buffer;
};

} // namespace

int RunBatch(std::FILE *in, std::FILE *out, const LocaleSettings &locale, int today, std::string &error)
{
    CsvReader reader(in);
    BatchWriter writer(out);
    std::vector<std::string> fields;
    Columns columns;
    const bool hasInput = reader.next(fields);
    if (hasInput && (reader.problem() != CsvReader::Problem::None || !readHeader(fields, columns))) {
        error = "line " + std::to_string(reader.line()) + ": the first line must be the header "
            + kBatchInputHeader;
        return kExitUsage;
    }
    std::string &line = writer.buffer();
    line += kOutputHeader;
    line += "\r\n";

    const FieldFormats formats;
    QuoteFieldTexts texts;
    int status = kExitOk;
    while (hasInput && reader.next(fields)) {
        const std::size_t inputLine = reader.line();
        if (reader.problem() != CsvReader::Problem::None) {
            appendFailedRow(line, inputLine, problemMessage(reader));
            status = kExitRowFailed;
        } else if (fields.size() != columns.count) {
            appendFailedRow(line, inputLine, fieldCountMessage(columns.count, fields.size()));
            status = kExitRowFailed;
        } else {
            const QuoteOutcome outcome = ComputeQuote(
                {fields[columns.premium], fields[columns.start], fields[columns.end]}, locale, today);
            if (!outcome.ok()) {
                appendFailedRow(line, inputLine, outcome.error);
                status = kExitRowFailed;
            } else {
                FillQuoteFieldTexts(outcome.quote, formats, locale, texts);
                AppendCsvField(line, texts.days);
                line += ',';
                line += RangeName(outcome.quote.Range);
                for (const std::string &figure : texts.figures) {
                    line += ',';
                    AppendCsvField(line, figure);
                }
                line += ',';
                appendLineMessage(line, inputLine, Messages::ForRange(outcome.quote.Range));
                line += "\r\n";
            }
        }
        if (!writer.flushIfFull())
            break;
    }
    if (reader.readError()) {
        error = "line " + std::to_string(reader.line()) + ": cannot read the input: " + std::strerror(errno);
        return kExitUsage;
    }
    if (!writer.flush() || std::fflush(out) != 0 || std::ferror(out)) {
        error = "cannot write the output (input line " + std::to_string(reader.line())
            + "): " + std::strerror(errno);
        return kExitUsage;
    }
    return status;
}

#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "Csv.h"
#include "Quote.h"

inline constexpr const char *kBatchInputHeader = "premium,start,end";

struct BatchRow;

// Where the premium, the dates and the optional policy columns of a batch are.
struct BatchColumns
{
    std::size_t count = 0;
    std::size_t premium = 0, start = 0, end = 0;
    // Optional; npos when absent.
    std::size_t policyNumber = std::string::npos, client = std::string::npos, policyType = std::string::npos,
                type = std::string::npos;
    // The office rules of the row (Quoterules.h), over the run's.
    std::size_t shortRate = std::string::npos, minimumEarned = std::string::npos, fees = std::string::npos,
                expires = std::string::npos;

    bool hasRuleColumn() const
    {
        return shortRate != std::string::npos || minimumEarned != std::string::npos || fees != std::string::npos
            || expires != std::string::npos;
    }

    // The three texts to quote; only for a row without a problem, which has every column.
    quillon::QuoteRequest request(const CsvFields &fields, const BatchRow &row) const;
    // A column's text in a row: empty for a column the header does not have.
    std::string_view text(const CsvFields &fields, const BatchRow &row, std::size_t column) const;
};

// Reads the header: the three required names in any case and order, once
// each, and the optional policy_number, client, policy_type, type,
// short_rate, minimum_earned, fees and expires. A
// name given twice fails the header, and is put in `twice`.
bool ReadBatchHeader(const std::vector<std::string> &fields, BatchColumns &columns, std::string *twice = nullptr);

// One input record, as the reader found it.
struct BatchRow
{
    std::size_t line = 0; // the input line (from 1) the record began on
    // Why the row cannot be quoted before its texts are even read: a record
    // the CSV reader could not take whole, the wrong number of fields, or a
    // quotation type that is neither refund nor addl. Empty otherwise.
    std::string problem;
    // Its fields, `count` of them from `first` on, in the CsvFields it was read into.
    std::size_t first = 0;
    std::size_t count = 0;
    quillon::QuotationType type = quillon::QuotationType::Refund;
    // The row's office rules, set by the worker only when the run has any.
    quillon::RuleSet rules;
};

// What each output holds a row to, beyond the CSV itself.
struct BatchRules
{
    // The CSV and JSON rows name the three columns in the field-count
    // message ("Expected 3 fields (premium,start,end), found 2."), the
    // pages' lines on standard error only count ("Expected 3 fields, found
    // 2."); both stay as their users have always read them.
    bool fieldCountNamesColumns = true;
    // Only a page shows the quotation type. The CSV and JSON rows have no
    // place for it, so there the type column is not read at all, and a
    // type the pages would refuse is no fault of the row.
    bool readType = false;
};

// The batch's input: the header once, then a row per record, each checked
// against the header before any worker sees it.
class BatchReader
{
public:
    explicit BatchReader(std::FILE *in, BatchRules rules = {});

    enum class Header
    {
        Read,
        NoInput, // not even a header: an empty batch, or a fault where a batch needs a row
        Wrong,
    };
    Header readHeader();
    // What to say of a header that is wrong or missing: what is wrong where
    // that is plain (a UTF-16 file, semicolons or tabs for commas, a column
    // named twice), else what the first line must be.
    const std::string &headerMessage() const { return m_headerMessage; }

    // Reads the next row into `row`, its fields after those `fields` holds;
    // false at the end of the input.
    bool next(BatchRow &row, CsvFields &fields);

    const BatchColumns &columns() const { return m_columns; }
    // The input line the last record began on.
    std::size_t line() const { return m_csv.line(); }
    std::size_t bytesRead() const { return m_csv.bytesRead(); }
    bool readError() const { return m_csv.readError(); }

private:
    CsvReader m_csv;
    BatchRules m_rules;
    BatchColumns m_columns;
    std::string m_headerMessage;
};

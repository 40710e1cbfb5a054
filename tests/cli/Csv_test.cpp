#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Csv.h"

namespace {

using Records = std::vector<std::vector<std::string>>;

Records readAll(const std::string &input, std::vector<bool> *unterminated = nullptr)
{
    std::FILE *f = fmemopen(const_cast<char *>(input.data()), input.size(), "rb");
    CsvReader reader(f);
    Records records;
    std::vector<std::string> fields;
    while (reader.next(fields)) {
        records.push_back(fields);
        if (unterminated)
            unterminated->push_back(reader.unterminatedQuote());
    }
    std::fclose(f);
    return records;
}

} // namespace

TEST(CsvReader, SplitsRecordsAndFields)
{
    struct Case
    {
        const char *name;
        std::string input;
        Records expected;
    };
    const Case cases[] = {
        {"LF ends", "a,b\nc,d\n", {{"a", "b"}, {"c", "d"}}},
        {"CRLF ends", "a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
        {"lone CR ends", "a\rb\r", {{"a"}, {"b"}}},
        {"no final line end", "a,b", {{"a", "b"}}},
        {"empty fields kept", ",,\n", {{"", "", ""}}},
        {"blank line is a record of one empty field", "a\n\nb\n", {{"a"}, {""}, {"b"}}},
        {"quoted comma and doubled quote", "\"1,2\",\"say \"\"hi\"\"\"\n", {{"1,2", "say \"hi\""}}},
        {"quoted line breaks stay in the field", "\"a\r\nb\",c\n", {{"a\r\nb", "c"}}},
        {"quote inside an unquoted field is literal", "a\"b,c\n", {{"a\"b", "c"}}},
        {"byte-order mark skipped at the start", "\xEF\xBB\xBFpremium\n", {{"premium"}}},
        {"invalid UTF-8 passes through", "\xFF,\xC3\n", {{"\xFF", "\xC3"}}},
        {"nothing at all", "", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAll(c.input), c.expected);
    }
}

TEST(CsvReader, FlagsAQuoteThatNeverCloses)
{
    std::vector<bool> unterminated;
    const Records records = readAll("a,b\n\"c,d\ne\n", &unterminated);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(unterminated, (std::vector<bool>{false, true}));
}

TEST(CsvReader, ReadsAFieldLongerThanItsBuffer)
{
    const std::string big(3 << 20, 'x');
    const Records records = readAll("\"" + big + "\",y\n");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][0].size(), big.size());
    EXPECT_EQ(records[0][1], "y");
}

TEST(CsvWriter, QuotesOnlyWhatNeedsQuoting)
{
    struct Case
    {
        const char *field;
        const char *written;
    };
    const Case cases[] = {
        {"$274.00", "$274.00"},
        {"$1,000.00", "\"$1,000.00\""},
        {"'a\"b' is not a valid date.", "\"'a\"\"b' is not a valid date.\""},
        {"line\nbreak", "\"line\nbreak\""},
        {"", ""},
    };
    for (const Case &c : cases) {
        std::string out;
        AppendCsvField(out, c.field);
        EXPECT_EQ(out, c.written) << c.field;
    }
}

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "Batchread.h"
#include "Csv.h"

using namespace quillon;

namespace {

using Records = std::vector<std::vector<std::string>>;
using P = CsvReader::Problem;

// What the reader made of each record: where it began, and its problem.
struct Seen
{
    std::size_t line;
    CsvReader::Problem problem;
    std::vector<std::string> fields;
    bool operator==(const Seen &) const = default;
};

void PrintTo(const Seen &s, std::ostream *out)
{
    *out << "line " << s.line << " problem " << int(s.problem) << " fields";
    for (const std::string &f : s.fields)
        *out << " [" << (f.size() > 20 ? f.substr(0, 20) + "..." : f) << "]";
}

// With `header`, the first record is read as the batch reads its header,
// and the rest only after a header that reads.
std::vector<Seen> readSeen(const std::string &input, CsvLimits limits = {},
                           std::size_t bufferSize = CsvReader::kBufferSize, bool header = false)
{
    std::FILE *f = fmemopen(const_cast<char *>(input.data()), input.size(), "rb");
    CsvReader reader(f, limits, bufferSize);
    std::vector<Seen> seen;
    std::vector<std::string> fields;
    if (header && reader.first(fields, limits)) {
        seen.push_back({reader.line(), reader.problem(), fields});
        header = reader.problem() != P::None;
    }
    while (!header && reader.next(fields))
        seen.push_back({reader.line(), reader.problem(), fields});
    std::fclose(f);
    return seen;
}

Records readAll(const std::string &input)
{
    Records records;
    for (Seen &s : readSeen(input))
        records.push_back(std::move(s.fields));
    return records;
}

struct SplitCase
{
    const char *name;
    std::string input;
    Records expected;
};
const SplitCase kSplitCases[] = {
    {"LF ends", "a,b\nc,d\n", {{"a", "b"}, {"c", "d"}}},
    {"CRLF ends", "a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}},
    {"lone CR ends", "a\rb\r", {{"a"}, {"b"}}},
    {"no final line end", "a,b", {{"a", "b"}}},
    {"empty fields kept", ",,\n", {{"", "", ""}}},
    {"blank line is a record of one empty field", "a\n\nb\n", {{"a"}, {""}, {"b"}}},
    {"quoted comma and doubled quote", "\"1,2\",\"say \"\"hi\"\"\"\n", {{"1,2", "say \"hi\""}}},
    {"quoted line breaks stay in the field", "\"a\r\nb\",c\n", {{"a\r\nb", "c"}}},
    {"quote inside an unquoted field is literal", "a\"b,c\n", {{"a\"b", "c"}}},
    {"text after a closing quote joins the field", "\"a,b\"c,d\n", {{"a,bc", "d"}}},
    {"a quote after a closing quote is literal", "\"a\"b\"c\n", {{"ab\"c"}}},
    {"empty quoted field", "\"\",x\r\n", {{"", "x"}}},
    {"byte-order mark skipped at the start", "\xEF\xBB\xBFpremium\n", {{"premium"}}},
    {"only a byte-order mark", "\xEF\xBB\xBF", {}},
    {"half a byte-order mark is text", "\xEF\xBBp\n", {{"\xEF\xBBp"}}},
    {"invalid UTF-8 passes through", "\xFF,\xC3\n", {{"\xFF", "\xC3"}}},
    {"nothing at all", "", {}},
};

const CsvLimits kSmall{8, 20};
struct SeenCase
{
    const char *name;
    std::string input;
    CsvLimits limits;
    std::vector<Seen> expected;
};
const SeenCase kSeenCases[] = {
    {"the line each record began on", "a\r\nb\rc\n\"d\ne\",f\n\ng\n", {},
     {{1, P::None, {"a"}},
      {2, P::None, {"b"}},
      {3, P::None, {"c"}},
      {4, P::None, {"d\ne", "f"}},
      {6, P::None, {""}},
      {7, P::None, {"g"}}}},
    // A quote that never closes fails its own row only: the rows after it
    // are read again, rather than swallowed into one failed row.
    {"a quote that never closes", "a,b\n\"c,d\ne\nf,g\n", {},
     {{1, P::None, {"a", "b"}},
      {2, P::UnterminatedQuote, {"c,d\ne\nf,g\n"}},
      {3, P::None, {"e"}},
      {4, P::None, {"f", "g"}}}},
    // Within a line the quote has nothing to give back.
    {"a quote open in the last line", "a\n1,\"2\n", {}, {{1, P::None, {"a"}}, {2, P::UnterminatedQuote, {"1", "2\n"}}}},
    {"field at the limit", "12345678,x\ny\n", kSmall, {{1, P::None, {"12345678", "x"}}, {2, P::None, {"y"}}}},
    {"field over the limit", "123456789,x\ny\n", kSmall, {{1, P::FieldTooLong, {"12345678"}}, {2, P::None, {"y"}}}},
    {"quoted field over the limit", "\"123456789\",x\r\ny\n", kSmall,
     {{1, P::FieldTooLong, {"12345678"}}, {2, P::None, {"y"}}}},
    {"record over the limit", "1234567,1234567,1234567\ny\n", kSmall,
     {{1, P::RecordTooLong, {"1234567", "1234567", "12345"}}, {2, P::None, {"y"}}}},
    {"overlong field with no line end", std::string(100, 'x'), kSmall, {{1, P::FieldTooLong, {"xxxxxxxx"}}}},
    // Its lines are not rows: the record ends where the quote closes.
    {"overlong quoted field over lines", "\"12345\n6789\n\"\"ab\",x\ny\n", kSmall,
     {{1, P::FieldTooLong, {"12345\n67"}}, {4, P::None, {"y"}}}},
    // A quote left open over line ends gives the lines back at the limit.
    {"open quote over the record limit", "\"a\nb,c\nd,e\nf,g\nh,i\nj\n", kSmall,
     {{1, P::UnterminatedQuote, {"a\nb,c\nd,"}},
      {2, P::None, {"b", "c"}},
      {3, P::None, {"d", "e"}},
      {4, P::None, {"f", "g"}},
      {5, P::None, {"h", "i"}},
      {6, P::None, {"j"}}}},
};

} // namespace

TEST(CsvReader, SplitsRecordsAndFields)
{
    for (const SplitCase &c : kSplitCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readAll(c.input), c.expected);
    }
}

// Where each record began, and what failed it: past a limit the reader
// goes on at the next line (kSmall: 8-byte fields, 20-byte records).
TEST(CsvReader, NamesEachRecordsLineAndProblem)
{
    for (const SeenCase &c : kSeenCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readSeen(c.input, c.limits), c.expected);
    }
}

// A line wholly in the buffer is split in one go; anything else (a quoted
// line end, a limit passed, the last line without its end, a line the
// buffer cuts) is read byte by byte. The two read alike: each input of the
// tables above and many generated ones, with a final line end and without,
// read through a buffer of every size from one byte (nearly all byte by
// byte) up, as records and as a header, is read as through the usual buffer.
TEST(CsvReader, ReadsAlikeWhereverItsBufferCutsTheInput)
{
    std::vector<std::pair<std::string, CsvLimits>> inputs;
    for (const SplitCase &c : kSplitCases)
        inputs.push_back({c.input, {}});
    for (const SeenCase &c : kSeenCases)
        inputs.push_back({c.input, c.limits});
    const std::string fields[] = {
        "", "a", "abc", "12345678", "123456789", "\xFF\xC3", "a\"b", "\"\"", "\"q\"", "\"a,b\"",
        "\"say \"\"hi\"\"\"", "\"two\nlines\"", "\"cr\r\nlf\"", "\"lone\rcr\"", "\"a\"b", "\"unclosed",
        "\"123456789\"", "\"1234\n5678\n9\"", std::string(30, 'x'),
    };
    const std::string ends[] = {"\n", "\r\n", "\r"};
    std::mt19937 random(20240611);
    for (int i = 0; i < 1500; ++i) {
        std::string input = random() % 8 == 0 ? "\xEF\xBB\xBF" : "";
        for (auto rows = 1 + random() % 4; rows-- > 0;) {
            for (auto n = 1 + random() % 4; n-- > 0;)
                input += fields[random() % std::size(fields)] + (n ? "," : "");
            input += ends[random() % std::size(ends)];
        }
        inputs.push_back({input, random() % 2 ? kSmall : CsvLimits{}});
    }
    for (const auto &[input, limits] : inputs) {
        std::string unended = input;
        while (!unended.empty() && (unended.back() == '\n' || unended.back() == '\r'))
            unended.pop_back();
        for (const std::string &text : {input, unended, unended + "\r\n"}) {
            for (const bool header : {false, true}) {
                const std::vector<Seen> whole = readSeen(text, limits, CsvReader::kBufferSize, header);
                for (std::size_t size = 1; size <= text.size(); ++size)
                    ASSERT_EQ(readSeen(text, limits, size, header), whole)
                        << testing::PrintToString(text) << " through " << size << " bytes, header " << header;
            }
        }
    }
}

// Each line's open quote runs to the end of the input; read again from each
// line, that took minutes. The budget is ample for a linear reading.
TEST(CsvReader, ReadsManyQuotesThatNeverCloseInLinearTime)
{
    const std::size_t lines = 30000;
    std::string input;
    for (std::size_t i = 0; i < lines; ++i)
        input += "\"a\",b,\"c\n";
    input += "x\n";
    const auto begin = std::chrono::steady_clock::now();
    const auto seen = readSeen(input);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    ASSERT_EQ(seen.size(), lines + 1);
    EXPECT_EQ(seen[lines - 1].problem, P::UnterminatedQuote);
    EXPECT_EQ(seen[lines], (Seen{lines + 1, P::None, {"x"}}));
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
        // Written in place after the fields before it, only its own bytes are quoted.
        std::string row = std::string("\"a,b\",") + c.field;
        QuoteCsvFieldFrom(row, 6);
        EXPECT_EQ(row, std::string("\"a,b\",") + c.written) << c.field;
    }
}

// What the batch makes of each record after the header: the CSV reader's
// problem first, then the field count, then the quotation type, which only
// the pages read.
TEST(BatchReader, ChecksEachRowAgainstTheHeader)
{
    using Q = QuotationType;
    struct Row
    {
        std::size_t line;
        std::string problem;
        QuotationType type;
        bool operator==(const Row &) const = default;
    };
    const std::string typed = " Type ,END,premium,start\n"
                              "addl,2,1,3\n\tRefund,2,1,3\n,2,1,3\n\" ADDL \",2,1,3\n\"lapse\",2,1,3\n1,2\n1,2,3,4,5\n";
    const std::string generic = "line 1: the first line must be the header premium,start,end";
    struct Case
    {
        const char *name;
        std::string input;
        BatchRules rules;
        BatchReader::Header header;
        std::vector<Row> rows;
        std::string message = {}; // for a header that does not read
    };
    const Case cases[] = {
        {"rows ignore the type", typed, {}, BatchReader::Header::Read,
         {{2, "", Q::Refund}, {3, "", Q::Refund}, {4, "", Q::Refund}, {5, "", Q::Refund}, {6, "", Q::Refund},
          {7, "Expected 4 fields (premium,start,end), found 2.", Q::Refund},
          {8, "Expected 4 fields (premium,start,end), found 5.", Q::Refund}}},
        {"pages read it as header names are read", typed, {false, true}, BatchReader::Header::Read,
         {{2, "", Q::AdditionalPremium}, {3, "", Q::Refund}, {4, "", Q::Refund}, {5, "", Q::AdditionalPremium},
          {6, "'lapse' is not a quotation type (refund or addl).", Q::Refund},
          {7, "Expected 4 fields, found 2.", Q::Refund}, {8, "Expected 4 fields, found 5.", Q::Refund}}},
        {"the reader's problem before the count", "premium,start,end\n\"1,2\n", {}, BatchReader::Header::Read,
         {{2, "The row ends inside a quoted field.", Q::Refund}}},
        {"no input", "", {}, BatchReader::Header::NoInput, {}, generic},
        {"a required name twice", "premium,start,end,START\n1,2,3,4\n", {}, BatchReader::Header::Wrong, {},
         "line 1: the header names the column start twice"},
        {"a required name missing", "premium,start,type\n", {}, BatchReader::Header::Wrong, {}, generic},
        {"a header in an open quote", "\"premium,start,end\n", {}, BatchReader::Header::Wrong, {}, generic},
        {"UTF-16 with its byte-order mark",
         std::string("\xFF\xFEp\0r\0e\0m\0i\0u\0m\0,\0s\0t\0a\0r\0t\0,\0e\0n\0d\0\r\0\n\0", 40), {},
         BatchReader::Header::Wrong, {}, "line 1: the file is UTF-16 text; save it as UTF-8"},
        {"UTF-16 without one", std::string("\0p\0r\0e\0m\0i\0u\0m\0,\0s\0t\0a\0r\0t\0,\0e\0n\0d\0\n", 36), {},
         BatchReader::Header::Wrong, {}, "line 1: the file is UTF-16 text; save it as UTF-8"},
        {"semicolons", "Premium; start;end\n1;2;3\n", {}, BatchReader::Header::Wrong, {},
         "line 1: fields must be separated by commas, not semicolons"},
        {"tabs", "premium\tstart\tend\n", {}, BatchReader::Header::Wrong, {},
         "line 1: fields must be separated by commas, not tabs"},
        // Refused at its bound, not read to an end that may never come.
        {"a header line that never ends", std::string(4 << 20, 'x'), {}, BatchReader::Header::Wrong, {}, generic},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::FILE *f = fmemopen(const_cast<char *>(c.input.data()), c.input.size(), "rb");
        BatchReader reader(f, c.rules);
        EXPECT_EQ(reader.readHeader(), c.header);
        EXPECT_EQ(reader.headerMessage(), c.message);
        EXPECT_LT(reader.bytesRead(), 1u << 20);
        std::vector<Row> rows;
        CsvFields fields;
        for (BatchRow row; c.header == BatchReader::Header::Read && reader.next(row, fields);)
            rows.push_back({row.line, row.problem, row.type});
        std::fclose(f);
        EXPECT_EQ(rows, c.rows);
    }
}

// quillon-quote end to end: the built tool run as a user runs it.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "Csv.h"
#include "Dispfmt.h"
#include "Localeset.h"
#include "../support/Locales.h"
#include "../support/Testsupport.h"

using namespace quillon;

namespace {

struct ToolRun { int status = -1; std::string out; };

// What a shell command writes to its standard output, and its exit status.
ToolRun shell(const std::string &command)
{
    ToolRun result;
    std::FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

// Runs the tool through the shell in a locale; callers pass a fixed "today", so
// two-digit years and year-less dates do not depend on the calendar.
ToolRun run(const std::string &arguments, const std::string &stdinFile = {}, const char *locale = "C")
{
    return shell(std::string("LC_ALL=") + locale + " '" + QUOTE_TOOL + "' " + arguments
                 + (stdinFile.empty() ? "" : " < '" + stdinFile + "'"));
}

std::string data(const char *name)
{
    return std::string(TEST_DATA_DIR) + "/" + name;
}

// A file of its own holding `content`, in a folder removed when the tests end.
std::string writeTemp(const std::string &content)
{
    static const TempFolder folder{"quillon-quote-test"};
    static int files = 0;
    const std::string path = folder.file(std::to_string(++files)).string();
    writeFile(path, content);
    return path;
}

const char *kToday = "--today 12/7/2026";

// A settings directory for one test: XDG_CONFIG_HOME points at it while the
// test runs the tool, and both go away afterwards.
class SettingsDir
{
public:
    explicit SettingsDir(const std::string &ini)
    {
        if (!ini.empty())
            writeFile(m_folder.file("Quillon32.Ini"), ini);
        if (const char *old = std::getenv("XDG_CONFIG_HOME"))
            m_old = old;
        setenv("XDG_CONFIG_HOME", m_folder.path().c_str(), 1);
    }
    ~SettingsDir() { m_old ? setenv("XDG_CONFIG_HOME", m_old->c_str(), 1) : unsetenv("XDG_CONFIG_HOME"); }
    std::string file(const char *name) const { return m_folder.file(name).string(); }

private:
    const TempFolder m_folder{"quillon-pdf"};
    std::optional<std::string> m_old;
};

const char kSettings[] = "[REQUIRED]\nCo=Harbour Office\nAdd1=1 Quay Street\nCity=Portland\nState=ME\nZip=04101\n";

// Quotes typed the way a clerk of each locale types them: 1,234.56 from 3 May to 4 June 2026
// (32 days), and 250 from 1 January 2026 to 31 December 2026 (364 days).
const struct { const char *locale, *csv; } kLocaleBatches[] = {
    {"C", "premium,start,end\n\"$1,234.56\",5/3/2026,6/4/2026\n250,1/1/26,12/31/26\n"},
    {"en_GB.UTF-8", "premium,start,end\n\"1,234.56\",3/5/2026,4/6/2026\n250,1/1/26,31/12/26\n"},
    {"en_CA.UTF-8", "premium,start,end\n1234.56,2026-05-03,2026-06-04\n$250,26-1-1,26-12-31\n"},
    {"de_DE.UTF-8", "premium,start,end\n\"1.234,56\",03.05.2026,04.06.2026\n\"250,00\",1.1.26,31.12.2026\n"},
    {"fr_FR.UTF-8", "premium,start,end\n\"1 234,56\",03/05/2026,04/06/2026\n250,1/1/26,31/12/26\n"},
    {"pt_PT.UTF-8", "premium,start,end\n\"1234,56\",03/05/2026,04/06/2026\n\"$250,0\",1/1/2026,31/12/2026\n"},
    {"ja_JP.UTF-8", "premium,start,end\n\"1,234.56\",2026/5/3,2026年06月04日\n250,2026/1/1,2026/12/31\n"},
};

std::vector<std::vector<std::string>> csvRecords(const std::string &text)
{
    const std::string file = writeTemp(text);
    std::FILE *in = std::fopen(file.c_str(), "rb");
    std::vector<std::vector<std::string>> records;
    CsvReader reader(in);
    std::vector<std::string> fields;
    while (reader.next(fields))
        records.push_back(fields);
    std::fclose(in);
    return records;
}

// A batch of every kind of row: quoted, out of range, unreadable, short,
// and now and then one with a long note, which ends a chunk early.
std::string mixedBatch(int rows)
{
    std::string csv = "premium,start,end\n";
    for (int i = 0; i < rows; ++i) {
        if (i % 997 == 996) {
            csv += "1,1/1/2026,1/2/2026," + std::string(20000, 'n') + "\n";
            continue;
        }
        switch (i % 7) {
        case 0: csv += std::to_string(100 + i) + ".25,1/" + std::to_string(1 + i % 28) + "/2026,12/31/2026\n"; break;
        case 1: csv += "\"$1,000.00\",1/1/2026,1/1/2028\n"; break;
        case 2: csv += "(250),1/2/2026,1/1/2026\n"; break;
        case 3: csv += "abc,1/1/2026,1/2/2026\n"; break;
        case 4: csv += "100,1/1/2026\n"; break;
        case 5: csv += "999999999999.99,2/28/2026,3/1/2026\n"; break;
        default: csv += "0.01,1/1/2026," + std::to_string(1 + i % 12) + "/15/2026\n"; break;
        }
    }
    return csv;
}

} // namespace

TEST(QuoteToolBatch, MixedRowsMatchHandWorkedFiguresAndReportBadRows)
{
    const ToolRun r = run(std::string("--csv '") + data("mixed.csv") + "' " + kToday);
    EXPECT_EQ(r.status, 1) << "rows with unreadable input make the status 1";
    EXPECT_EQ(r.out, readFile(data("mixed.expected.csv")));
}

// One run each, standard error with standard output: the status, and texts
// the output holds or lacks. Input quoted back never reaches the terminal as
// control characters, and a failed run writes no quote.
TEST(QuoteTool, RunsGiveTheirStatusAndTexts)
{
    const SettingsDir settings("");
    const std::string pdf = "'" + settings.file("q.pdf") + "'", mixed = "'" + data("mixed.csv") + "'";
    const auto in = [](const std::string &csv) { return "'" + writeTemp(csv) + "'"; };
    const std::string gapped = in("term_months,12\ndays,earned_percent\n0,0\n5-365,100\n");
    const std::string refused = in("premium,start,end\nabc,1/1/2026,1/2/2026\n");
    const std::string unsafe = in("premium,start,end,type\n\"\033]0;pwned\a\033[2J\",1/1/2026,4/11/2026,\n100,1/1/2026,4/11/2026,"
                                  + std::string(60000, 't') + "\n\x9B\xE2\x80\xAE" "1,1/1/2026,4/11/2026,\n");
    const std::string escaped = "'\\x1B]0;pwned\\x07\\x1B[2J'", cut = "'" + std::string(40, 't') + "\u2026'";
    const struct { const char *name; std::string arguments; int status; std::vector<std::string> shown, absent = {};
                   long lines = -1; /* of output, where counted */ } cases[] = {
        {"standard input, every row quoted; a range message is no failure",
         "--csv < " + in("premium,start,end\n1000,1/1/2026,4/11/2026\n1000,1/1/2000,1/1/2001\n"), 0,
         {"\r\n100,in-range,$274.00,", "\r\n366,over-year,"}},
        // Columns in another order, LF line ends, a quoted date with a comma and a quote in it.
        {"byte-order mark, quotes and header order",
         "--csv " + in("\xEF\xBB\xBF" "end,Premium,start\n4/11/2026,1000,1/1/2026\n\"1,2\"\"\",5,1/1/2026\n"), 1,
         {"\r\n100,in-range,$274.00,", ",\"Line 3: '1,2\"\"' is not a valid date.\"\r\n"}},
        {"one output row per record even for large and broken fields",
         "--csv " + in("premium,start,end\r\n" + std::string(1 << 20, '9') + ",1/1/2026,1/2/2026\r\n" // overflows: unreadable
                       "100,\xFF\xFE,1/2/2026\r\n"   // invalid UTF-8, quoted as \xHH
                       "100,1/1/2026,\"1/2/2026\r\n"), // unterminated quote to the end
         1, {"Line 2: A field is longer than 65536 bytes.", "Line 3: '\\xFF\\xFE' is not a valid date.",
             "Line 4: The row ends inside a quoted field."}, {}, 4},
        {"the window's labels of a refund", "1000 1/1/2026 4/11/2026", 0,
         {"Total Premium", "$1,000.00", "Cancellation Date", "# of Days", "100", "Short Rated Premium", "Pro-Rated Premium",
          "Refund", "Earned", "$620.00", "0.726"}},
        {"the window's labels of an additional premium, without the short-rated figures", "1000 1/1/2026 4/11/2026 --type addl", 0,
         {"Add. Annual Premium", "Change Effective Date", "Amt Due", "Expired", "Not Applicable", "$726.00"}, {"$620.00"}},
        {"unreadable input gets the error display's text", "100 abc 1/2/2026", 1, {"quillon-quote: 'abc' is not a valid date.\n"}, {}, 1},
        {"in a batch the row of a refused premium says why, and the others are quoted",
         "--csv " + in("premium,start,end\n1.5E+06,1/1/2026,1/2/2026\n100,1/1/2026,1/2/2026\n"), 1,
         {",Line 2: '1.5E+06' is not a valid premium.\r\n1,"}},
        {"the range message, and still the quote", "-- -100 1/2/2026 1/1/2026", 0,
         {"You have selected dates less than 0 days. Please try again!", "($100.00)"}},
        {"a negative premium with its dollar sign", "'-$5' 1/1/2026 4/11/2026", 0, {"Total Premium          ($5.00)"}},
        // Refused with status 2.
        {"missing file", "--csv /nonexistent/quotes.csv", 2, {}},
        {"header without the three columns", "--csv " + in("amount,from,to\n1,1/1/2026,1/2/2026\n"), 2, {}},
        {"positional arguments with --csv", "--csv x.csv 1 2", 2, {}},
        {"unknown option", "--bogus", 2, {}},
        {"too few arguments", "100 1/1/2026", 2, {}},
        {"bad --type", "100 1/1/2026 1/2/2026 --type lapse", 2, {}},
        {"a share over 100%", "100 1/1/2026 1/2/2026 --short-rate 110%", 2, {}},
        {"a table with a gap", "100 1/1/2026 1/2/2026 --short-rate " + gapped, 2, {", line 4: days 1 to 4 are missing"}},
        {"a table with a gap, in a batch", "--csv " + mixed + " --short-rate " + gapped, 2, {}},
        {"negative fees", "100 1/1/2026 1/2/2026 --fees -5", 2, {}},
        {"--expires not a date", "100 1/1/2026 1/2/2026 --expires soon", 2, {}},
        {"a refund's rule on an additional premium", "100 1/1/2026 1/2/2026 --type addl --minimum-earned 10", 2, {}},
        // Output that never reached its file is a failure.
        {"help into a full disk", "--help > /dev/full", 2, {"quillon-quote: cannot write the output"}},
        {"version into a full disk", "--version > /dev/full", 2, {"quillon-quote: cannot write the output"}},
        {"a quote into a full disk", "1000 1/1/2026 4/11/2026 > /dev/full", 2, {"quillon-quote: cannot write the output"}},
        {"a batch into a full disk", "--csv " + mixed + " > /dev/full", 2, {"quillon-quote: cannot write the output"}},
        {"a batch into a closed output", "--csv " + mixed + " >&-", 2, {"quillon-quote: cannot write the output"}},
        // A quote that cannot be made or written leaves no file.
        {"pdf: unreadable date", "--pdf " + pdf + " 100 abc 1/2/2026", 1, {"'abc' is not a valid date."}},
        {"pdf: unreadable premium", "--pdf " + pdf + " abc 1/1/2026 1/2/2026", 1, {"'abc' is not a valid premium."}},
        {"pdf: directory missing", "--pdf '" + settings.file("none/q.pdf") + "' 100 1/1/2026 1/2/2026", 2, {"cannot write"}},
        {"policy details without --pdf", "100 1/1/2026 1/2/2026 --client x", 2, {"apply to --pdf"}},
        {"--pdf with --csv", "--csv x.csv --pdf " + pdf, 2, {}},
        {"--pdf without a file", "100 1/1/2026 1/2/2026 --pdf", 2, {"needs a value"}},
        {"--pdf with two positionals", "--pdf " + pdf + " 100 1/1/2026", 2, {"expected PREMIUM START END"}},
        {"a batch whose every row is refused", "--csv " + refused + " --pdf " + pdf, 2, {"q.pdf' was not written: no row could be quoted"}},
        // Input quoted in a message: control characters escaped, a long field cut at 40 bytes.
        {"unsafe premiums in a batch of pages", "--csv " + unsafe + " --pdf " + pdf, 2,
         {"line 2: " + escaped + " is not a valid premium.", "line 3: " + cut + " is not a quotation type"}, {std::string(41, 't')}},
        {"unsafe premiums in a CSV batch", "--csv " + unsafe, 1,
         {"Line 2: " + escaped + " is not a valid", "Line 4: '\\x9B\\xE2\\x80\\xAE1' is not a valid"}, {std::string(41, 't')}},
        {"unsafe premiums in JSON lines", "--csv " + unsafe + " --format json", 1, {"Line 4: '\\\\x9B\\\\xE2\\\\x80\\\\xAE1' is not a valid"}},
        {"an unsafe premium on the command line", "\"$(printf '\\033]0;pwned\\007\\033[2J')\" 1/1/2026 4/11/2026", 1,
         {escaped + " is not a valid premium."}},
        {"a NUL-free cut name of a file", "--csv \"$(printf 'in\\033[2J')\"", 2, {"cannot open 'in\\x1B[2J'"}},
        {"a folder as the input", "--csv /tmp", 2, {"cannot read '/tmp': it is a directory"}},
        {"a folder as standard input", "--csv </tmp", 2, {"cannot read standard input: it is a directory"}},
        {"a closed standard input", "--csv <&-", 2, {"cannot read standard input: it is closed"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Standard error into the pipe first, so that a case may send standard output away.
        const ToolRun r = run(std::string(kToday) + " 2>&1 " + c.arguments);
        EXPECT_EQ(r.status, c.status) << r.out.substr(0, 4000);
        for (const std::string &text : c.shown)
            EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out.substr(0, 4000);
        for (const std::string &text : c.absent)
            EXPECT_EQ(r.out.find(text), std::string::npos) << text;
        EXPECT_EQ(r.out.find('\033'), std::string::npos) << r.out.substr(0, 4000);
        if (c.lines >= 0) {
            EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), c.lines) << "header and a row per record";
        }
        EXPECT_FALSE(std::ifstream(settings.file("q.pdf")).good());
    }
}

// The page carries the company of the settings file (or the placeholder), the policy details, the
// figures and any office rule, and leaves out what does not apply. The tool and the page name one version.
TEST(QuoteToolPdf, WritesTheQuoteOfEachTypeWithTheCompanyOfTheSettingsFile)
{
    EXPECT_EQ(run("--version").out, "quillon-quote " QUILLON_VERSION "\n");
    const std::string batch = "--csv '" + writeTemp("premium,start,end\n1000,1/1/2026,4/11/2026\n") + "'";
    const struct { const char *ini; std::string arguments; std::vector<const char *> shown, absent; } cases[] = {
        {kSettings, "1000 1/1/2026 4/11/2026 --policy-number ab-12c --client 'jane public' --policy-type 'Home owners'",
         {"Harbour Office", "1 Quay Street", "Portland,ME", "AB-12C", "jane public", "Home owners", "REFUND",
          "Total Premium", "$1,000.00", "1/1/2026", "4/11/2026", "100", "$620.00", "$726.00", "0.274",
          "Quillon " QUILLON_VERSION " - licence and manual: " QUILLON_DOCDIR},
         {"ab-12c", "Office rules", "github"}},
        {"", "1000 1/1/2026 4/11/2026 --type addl",
         {"Company Name", "Additional Premium", "Add. Annual Premium", "Amt Due", "Change Effective Date", "$726.00",
          "This Section not applicable"},
         {"$620.00", "$640.00"}},
        {kSettings, "1000 1/1/2026 4/11/2026 --short-rate 90%", {"Office rules: short rate 90% of pro rata"}, {}},
        {kSettings, batch + " --short-rate 90%", {"Office rules: short rate 90% of pro rata"}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments);
        const SettingsDir settings(c.ini);
        const std::string pdf = settings.file("quote.pdf");
        const ToolRun r = run("--pdf='" + pdf + "' " + c.arguments + " " + kToday + " 2>&1");
        EXPECT_EQ(r.status, 0) << r.out;
        const std::string text = pdfText(pdf);
        for (const char *expected : c.shown)
            EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
        for (const char *unexpected : c.absent)
            EXPECT_EQ(text.find(unexpected), std::string::npos) << unexpected;
    }
}

// As the window shows its range box and still prints, the tool says so and still writes the quote.
TEST(QuoteToolPdf, TellsTheRangeMessageAndStillWritesTheQuote)
{
    const SettingsDir settings("");
    const struct { const char *dates, *message; bool linked = false; /* the file has a second name */ } cases[] = {
        {"1/2/2026 1/1/2026", "quillon-quote: You have selected dates less than 0 days. Please try again!\n"},
        {"1/1/2026 1/2/2027", "quillon-quote: You have selected dates greater than 366 days. Please try again!\n"},
        {"1/1/2026 4/11/2026", ""},
        // A file of two names is written, and the name left behind is told.
        {"1/1/2026 4/11/2026", " had 1 other name (a hard link), which still leads to the old contents\n", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.dates);
        const std::string pdf = settings.file("range.pdf");
        std::remove(pdf.c_str());
        std::remove(settings.file("other-name.pdf").c_str());
        if (c.linked) {
            std::ofstream(pdf) << "old";
            ASSERT_EQ(::link(pdf.c_str(), settings.file("other-name.pdf").c_str()), 0);
        }
        const ToolRun r = run("--pdf '" + pdf + "' 1000 " + c.dates + " " + kToday + " 2>&1");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.linked ? "quillon-quote: '" + pdf + "'" + c.message : c.message);
        EXPECT_NE(pdfText(pdf).find("$1,000.00"), std::string::npos);
    }
}

// Every locale gives the C locale's figures for the same quotes; only the separators differ.
TEST(QuoteToolLocales, GiveTheSameFiguresForTheSameQuotesTypedTheLocalesWay)
{
    std::vector<std::vector<std::string>> reference;
    for (const auto &batch : kLocaleBatches) {
        SCOPED_TRACE(batch.locale);
        const std::string file = writeTemp(batch.csv);
        const ToolRun r = run("--csv", file, batch.locale);
        EXPECT_EQ(r.status, 0) << r.out;
        const auto records = csvRecords(r.out);
        ASSERT_EQ(records.size(), 3u) << r.out;
        const LocaleSettings locale = namedLocale(batch.locale);
        std::vector<std::vector<std::string>> figures;
        for (std::size_t row = 1; row < records.size(); ++row) {
            std::vector<std::string> values;
            for (std::size_t column = 0; column < records[row].size(); ++column) {
                const std::string &text = records[row][column];
                const bool word = column == 1 || column + 1 == records[row].size() || text.empty(); // range, message
                const std::optional<long double> value = ParseText(text, locale);
                ASSERT_TRUE(word || value.has_value()) << text;
                values.push_back(word ? text : FormatText(*value, "0.000", LocaleSettings{}));
            }
            figures.push_back(values);
        }
        if (reference.empty())
            reference = figures;
        else
            EXPECT_EQ(figures, reference);
    }
    ASSERT_EQ(reference.size(), 2u);
    EXPECT_EQ(reference[0][0] + " " + reference[1][0], "32.000 364.000");
}

TEST(QuoteToolLocales, EchoesDatesInTheOrderTheLocaleReadsThem)
{
    const struct { const char *locale, *start, *end, *echoed; } cases[] = {
        {"C", "5/3/2026", "6/4/2026", "5/3/2026"},
        {"en_GB.UTF-8", "3/5/2026", "4/6/2026", "3/5/2026"},
        {"en_CA.UTF-8", "2026-05-03", "2026-06-04", "2026-5-3"},
        {"de_DE.UTF-8", "3.5.26", "4.6.26", "3.5.2026"},
        {"ja_JP.UTF-8", "2026年05月03日", "2026/6/4", "2026/5/3"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.locale);
        const ToolRun r = run(std::string("1000 ") + c.start + " " + c.end, {}, c.locale);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find(c.echoed), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("32"), std::string::npos) << r.out;
    }
}

TEST(QuoteToolLocales, RefusesPremiumsThatAreNotAmounts)
{
    const struct { const char *locale, *premium; } cases[] = {
        {"C", "1e5"},      {"C", "abc123"},     {"C", "0x10"},         {"C", "1.000,00"},
        {"C", "1e18"},     {"C", "1.5E+06"},    {"C", "12-3"},         {"C", "1,5"},
        {"de_DE.UTF-8", "1,234.50"}, {"de_DE.UTF-8", "5.50"}, {"fr_FR.UTF-8", "5.5"},
        {"pt_PT.UTF-8", "1.234,5"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.premium);
        const ToolRun r = run(std::string("-- '") + c.premium + "' 1/1/2026 1/2/2026 2>&1", {}, c.locale);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, std::string("quillon-quote: '") + c.premium + "' is not a valid premium.\n");
    }
}

TEST(QuoteToolBatch, EveryNumberOfJobsGivesTheSameOutput)
{
    const std::string file = writeTemp(mixedBatch(20000));
    for (const char *format : {"csv", "json"}) {
        const std::string command = "--csv '" + file + "' --format " + format + " " + kToday + " --jobs ";
        const ToolRun one = run(command + "1");
        EXPECT_EQ(one.status, 1);
        for (const char *jobs : {"2", "3", "8", "999"}) {
            SCOPED_TRACE(std::string(format) + ", jobs " + jobs);
            const ToolRun many = run(command + jobs);
            EXPECT_EQ(many.status, one.status);
            EXPECT_TRUE(many.out == one.out) << "output differs from one job's";
        }
    }
}

// Streams met now and then: closed, the output its own input, a read or write failing part-way.
TEST(QuoteToolBatch, StreamsThatAreClosedTheInputOrFailing)
{
    const SettingsDir dir("");
    const std::string tool = std::string("'") + QUOTE_TOOL + "' " + kToday;
    const std::string batch = mixedBatch(5000);
    std::ofstream(dir.file("rows.csv"), std::ios::binary) << batch;
    std::ofstream(dir.file("first.csv"), std::ios::binary) << batch.substr(0, batch.rfind('\n', 65535) + 1); // read first
    const std::string in = "cd '" + dir.file("") + "' && cp rows.csv in.csv && export LC_ALL=C && ";
    // Under AddressSanitizer its runtime wants to come first; the shim works in either order.
    const std::string failingRead = "LD_PRELOAD='" QUILLON_FAULTSHIM "' QUILLON_FAULT_OP=read QUILLON_FAULT_N=2 "
#if defined(__SANITIZE_ADDRESS__)
                                    "ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" "
#endif
        ;
    const std::string refused = "the input file 'in.csv' is the output file; nothing is written\nstatus 2";
    const struct { const char *name; std::string command, said; } cases[] = {
        {"descriptors 0 to 2 closed",
         in + tool + " --csv '" + data("mixed.csv") + "' --pdf q.pdf <&- >&- 2>&-; echo status $?; head -c 5 q.pdf",
         "status 1\n%PDF-"},
        {"output appended to its input, or emptied by the shell",
         in + "timeout 20 " + tool + " --csv in.csv 2>&1 >>in.csv; echo status $?; cmp in.csv rows.csv && echo kept; " + tool
             + " --csv in.csv 2>&1 >in.csv; echo status $?",
         refused + "\nkept\nquillon-quote: " + refused},
        {"a read failing part-way", in + "for j in 1 2; do " + failingRead + tool + " --csv --jobs $j <in.csv 2>&1 >$j.csv; echo status $?; done",
         "Input/output error\nstatus 2\nquillon-quote: line 1809: cannot read the input: Input/output error\nstatus 2"},
        {"an output failing while the input never ends",
         "(cat '" + dir.file("rows.csv") + "'; sleep 4) | (s=$(date +%s%N); LC_ALL=C " + tool + " --csv --jobs 2 2>&1 >/dev/full; "
         "echo status $?; [ $(( $(date +%s%N) - s )) -lt 2000000000 ] && echo soon)",
         "cannot write the output (no row written): No space left on device\nstatus 2\nsoon"},
        {"standard error, under a locale the system does not have", "LC_ALL=en_UK.UTF-8 " + tool + " 1 1/2 1/3 2>&1",
         "the locale 'en_UK.UTF-8' cannot be loaded; dates are read month first (m/d/yyyy)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun r = shell(c.command);
        EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
    }
    // The rows quoted before the failed read are written, whatever the number of jobs.
    const std::string quotedFirst = run("--csv '" + dir.file("first.csv") + "' " + kToday).out;
    for (const char *output : {"1.csv", "2.csv"})
        EXPECT_EQ(readFile(dir.file(output)).rfind(quotedFirst, 0), 0u) << output;
}

TEST(QuoteToolBatch, JsonLinesCarryTheCsvRowsAndTheirLines)
{
    const std::string file = writeTemp(mixedBatch(50));
    const ToolRun csv = run("--csv '" + file + "' " + kToday);
    const ToolRun json = run("--csv '" + file + "' --format json --jobs 2 " + kToday);
    EXPECT_EQ(json.status, csv.status);
    const auto records = csvRecords(csv.out);
    ASSERT_EQ(records.size(), 51u);
    std::istringstream lines(json.out);
    std::string line;
    std::size_t row = 1;
    while (std::getline(lines, line)) {
        SCOPED_TRACE(line);
        ASSERT_LT(row, records.size());
        const nlohmann::json object = nlohmann::json::parse(line);
        EXPECT_EQ(object.at("line"), row + 1);
        ASSERT_EQ(object.size(), records[0].size() + 1);
        for (std::size_t column = 0; column < records[0].size(); ++column) {
            const nlohmann::json &value = object.at(records[0][column]);
            const std::string text = value.is_null() ? "" : value.is_number() ? std::to_string(value.get<int>())
                                                                               : value.get<std::string>();
            // The day count is a number; the CSV shows it through its format.
            std::string expected = records[row][column];
            if (column == 0 && !expected.empty())
                expected = std::to_string(static_cast<int>(*ParseText(expected, LocaleSettings{})));
            EXPECT_EQ(text, expected) << records[0][column];
        }
        ++row;
    }
    EXPECT_EQ(row, records.size());
}

TEST(QuoteToolSingle, JsonIsOneObjectOfTheBatchColumns)
{
    const ToolRun r = run(std::string("1000 1/1/2026 4/11/2026 --format json ") + kToday);
    EXPECT_EQ(r.status, 0);
    const nlohmann::json object = nlohmann::json::parse(r.out);
    const nlohmann::json expected = {{"days", 100}, {"PR12Earn", "$274.00"}, {"SR6URate", "0.36"}, {"message", ""}};
    for (const auto &[key, value] : expected.items())
        EXPECT_EQ(object.at(key), value) << key;
}

// The working names the numbers behind the figures for every kind of day count, and what each rule did.
TEST(QuoteToolSingle, ExplainShowsTheNumbersBehindEachFigure)
{
    const struct { const char *end; /* and the rules */ int days; std::vector<const char *> shown, absent = {}; } cases[] = {
        {"4/11/2026", 100, {"99-102 days of the 12-month table, which earns 0.38", "99-100 days of the 6-month table, which earns 0.64",
                            ": 274.", ": 546.", "$380.00 (379.99999523162841796875 before display)", "= $274.00"}},
        {"1/1/2026", 0, {"Days: 46023 - 46023 = 0", ": 0.", "which earns 0.00"}},
        {"1/2/2026", 1, {"1000 x 1 / 365", ": 3.", ": 5."}},
        {"7/2/2026", 182, {"1000 x 182 / 183", ": 995."}},
        {"7/3/2026", 183, {"1000 x 183 / 183", ": 1000."}},
        {"7/4/2026", 184, {"184 days is more than the 183-day term"}},
        {"1/1/2027", 365, {"1000 x 365 / 365"}},
        {"1/2/2027", 366, {"more than 365 days, so the message", "366 days is more than the 365-day term", "past the end of the term"}},
        {"12/31/2025", -1, {"fewer than 0 days", "a negative day count earns nothing by the day", "a negative day count is in no band"}},
        {"4/11/2026 --short-rate 90% --fees 25 --minimum-earned 300", 100,
         {"the premium less the fees, $975.00", "so it is raised to it: $300.00", "Short rate: 90% of pro rata: the Refund amount",
          "Earned: $975.00 less that, plus the fees $25.00: $362.94", "Refund: the premium less that = $637.07"}},
        {"4/11/2026 --short-rate TABLES/short-rate-12.csv", 100,
         {"100 days falls in the band 99-102 days of the 12-month table", "Earned: $1,000.00 x 0.38: $380.00",
          "is not for a 6-month term. Its figures are left empty."}},
        {"1/1/2026 --short-rate TABLES/short-rate-12.csv", 0, {"0 days falls in the band 0 days of the 12-month"}},
        {"4/11/2026 --expires 7/1/2026", 100, {"the term runs 46204 - 46023 = 181 days", "$552.00   Not Applicable"}},
        // The additional-premium working leaves out the short rate it does not use.
        {"4/11/2026 --type addl", 100, {"Amt Due: the premium less that = $726.00"}, {"Short rate"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.end);
        std::string args = c.end;
        if (const std::size_t at = args.find("TABLES/"); at != std::string::npos)
            args.replace(at, 6, std::string(TEST_DATA_DIR) + "/../../../data/tables");
        const ToolRun r = run("1000 1/1/2026 " + args + " --explain " + kToday);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("= " + std::to_string(c.days) + ", shown as"), std::string::npos) << r.out;
        for (const char *text : c.shown)
            EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
        for (const char *text : c.absent)
            EXPECT_EQ(r.out.find(text), std::string::npos) << text;
    }
}

TEST(QuoteToolBatch, ProgressShowsOnlyOnATerminal)
{
    const std::string file = writeTemp(mixedBatch(200000));
    // Standard error into the pipe: no progress, and the output is untouched.
    EXPECT_EQ(run("--csv '" + file + "' " + kToday + " 2>&1 >/dev/null").out, "");
    // On a terminal (script gives it one) the line shows, unless --quiet. The rows come late, so
    // the batch runs past the tenth of a second the line waits for however fast it is.
    const std::string command = "(sleep 0.3; cat '" + file + "') | '" + QUOTE_TOOL + "' --csv " + kToday + " >/dev/null";
    const ToolRun terminal = shell("script -qec \"" + command + "\" /dev/null");
    EXPECT_NE(terminal.out.find(" rows/s"), std::string::npos) << terminal.out;
    const ToolRun quiet = shell("script -qec \"" + command + " --quiet\" /dev/null");
    EXPECT_EQ(quiet.out.find(" rows/s"), std::string::npos) << quiet.out;
}

TEST(QuoteToolPdf, ABatchWritesAPagePerQuotedRowInOrder)
{
    const SettingsDir settings(kSettings);
    const std::string pdf = settings.file("batch.pdf");
    const std::string file = writeTemp("premium,start,end,policy_number,client,type\n1000,1/1/2026,4/11/2026,ab-1,First Client,\n"
                                       "abc,1/1/2026,4/11/2026,ab-2,Nobody,\n500,1/1/2026,4/11/2026,ab-3,Third Client,addl\n"
                                       "500,1/1/2026,4/11/2026,ab-4,Fourth,lapse\n");
    const ToolRun r = run("--csv '" + file + "' --pdf '" + pdf + "' " + kToday + " 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "quillon-quote: line 3: 'abc' is not a valid premium.\n"
                     "quillon-quote: line 5: 'lapse' is not a quotation type (refund or addl).\n");
    const ToolRun pages = shell("pdfinfo '" + pdf + "' | grep Pages");
    EXPECT_NE(pages.out.find(" 2\n"), std::string::npos) << pages.out;
    const ToolRun second = shell("pdftotext -f 2 -l 2 '" + pdf + "' -");
    for (const char *text : {"Harbour Office", "AB-3", "Third Client", "Additional Premium", "$363.00"})
        EXPECT_NE(second.out.find(text), std::string::npos) << text << "\n" << second.out;
}

// A batch of pages that cannot finish (interrupted, or its file system full) leaves the earlier
// quote whole and nothing beside it, and says why.
TEST(QuoteToolPdf, ABatchThatCannotFinishLeavesTheEarlierFileAndNothingElse)
{
    const SettingsDir settings("");
    std::string csv = "premium,start,end,client\n"; // rows enough to keep a batch of pages busy for a while
    for (int i = 0; i < 400; ++i)
        csv += std::to_string(1000 + i) + ",1/1/2026,4/11/2026,Client " + std::to_string(i) + "\n";
    const std::string rows = writeTemp(csv);
    const std::string folder = settings.file("out");
    const std::string earlier = "%PDF-1.4 the earlier quote";
    const auto fresh = [&] {
        std::system(("rm -rf '" + folder + "' && mkdir '" + folder + "'").c_str());
        std::ofstream(folder + "/quote.pdf") << earlier;
    };
    const auto listing = [&] { return shell("ls -A '" + folder + "'").out; };
    for (const int signal : {SIGINT, SIGTERM, SIGQUIT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        fresh();
        const std::string pdf = folder + "/quote.pdf";
        const pid_t child = fork();
        if (child == 0) {
            std::freopen("/dev/null", "w", stderr);
            execl(QUOTE_TOOL, QUOTE_TOOL, "--quiet", "--today", "12/7/2026", "--csv", rows.c_str(), "--pdf",
                  pdf.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        // Interrupted once it is writing its temporary file.
        for (int i = 0; i < 3000 && listing().find("quillon-tmp") == std::string::npos; ++i)
            usleep(2000);
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
        EXPECT_EQ(listing(), "quote.pdf\n");
        EXPECT_EQ(readFile(pdf), earlier);
    }
    // A file system of its own, mounted for one shell only; skipped where
    // the machine allows no mount (the fault shim's tests cover a full disk).
    fresh();
    const ToolRun full = shell("unshare -m sh -c 'cd \"$0\" && cp quote.pdf ../keep && "
                               "mount -t tmpfs -o size=96k tmpfs . 2>/dev/null || exit 77; cd . && cp ../keep quote.pdf && "
                               "\"$1\" --quiet --today 12/7/2026 --csv \"$2\" --pdf quote.pdf; echo \"status $?\"; "
                               "cmp -s ../keep quote.pdf && echo kept; ls -A' '" + folder + "' '" + QUOTE_TOOL + "' '" + rows + "' 2>&1");
    if (full.status != 77) {
        EXPECT_EQ(full.out, "quillon-quote: cannot write 'quote.pdf': No space left on device\nstatus 2\nkept\nquote.pdf\n");
    }
}

// A settings file that is there but cannot be read gives "Company Name", and the tool says why.
TEST(QuoteToolPdf, SaysWhenTheCompanyDetailsCannotBeRead)
{
    const SettingsDir settings("");
    ASSERT_EQ(mkdir(settings.file("Quillon32.Ini").c_str(), 0755), 0);
    const ToolRun r = run("--pdf '" + settings.file("q.pdf") + "' 1000 1/1/2026 4/11/2026 " + kToday + " 2>&1");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("the company details could not be read from '" + settings.file("Quillon32.Ini")), r.out.npos) << r.out;
}

// What the rule columns say they applied over the run's --fees 0 (a column overrides the option),
// and the row messages of texts a row cannot have; script/rules-check checks the figures at large.
TEST(QuoteToolBatch, RuleColumnsGiveTheWorkedExamplesAndSayWhatApplied)
{
    struct Row { const char *name, *csv, *column, *figure, *rules, *message; };
    const Row rows[] = {
        {"fees worked off, then earned", "1000,1/1/2026,4/11/2026,90%,,25,", "SR12Earn", "$362.94", "short_rate=90%;fees=25.00", ""},
        {"minimum raises what is below it", "1000,1/1/2026,1/11/2026,,150.00,,", "PR12Earn", "$150.00",
         "minimum_earned=150.00;minimum_raised=PR12Earn SR12Earn PR6Earn", ""},
        {"no table for 228 days", "1000,1/1/2026,4/11/2026,,,,8/17/2026", "SR12Earn", "", "expires=8/17/2026", ""},
        {"past the expiration", "1000,1/1/2026,4/11/2026,,,,3/1/2026", "SR12Earn", "$1,000.00", "expires=3/1/2026",
         "Line 5: You have selected a cancellation date after the expiration date. Please try again!"},
        {"the built-in rules", "1000,1/1/2026,4/11/2026,tables,none,,", "SR12Earn", "$380.00", "", ""},
        {"bad fees", "1000,1/1/2026,4/11/2026,,,abc,", "SR12Earn", "", "",
         "Line 7: 'abc' is not an amount of fees: an amount of 0 or more."},
        {"not a share", "1000,1/1/2026,4/11/2026,90,,,", "SR12Earn", "", "",
         "Line 8: '90' is not a short-rate rule: a share of pro rata from 0% to 100%, or a table file."},
        {"bad minimum", "1000,1/1/2026,4/11/2026,,abc,,", "SR12Earn", "", "",
         "Line 9: 'abc' is not a minimum earned premium: an amount, or a percentage from 0% to 100%"},
    };
    std::string input = "premium,start,end,Short_Rate,minimum_earned,fees,expires\n";
    for (const Row &row : rows)
        input += std::string(row.csv) + "\n";
    const std::string file = writeTemp(input);
    const ToolRun r = run("--csv '" + file + "' --fees 0 " + kToday);
    EXPECT_EQ(r.status, 1);
    const auto records = csvRecords(r.out);
    ASSERT_EQ(records.size(), std::size(rows) + 1) << r.out;
    EXPECT_EQ(records[0].back(), "rules") << "the rules column ends the row";
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].name);
        const auto &record = records[i + 1];
        const auto at = [&](const char *name) {
            return record[std::size_t(std::find(records[0].begin(), records[0].end(), name) - records[0].begin())];
        };
        EXPECT_EQ(at(rows[i].column), rows[i].figure);
        EXPECT_EQ(at("rules"), rows[i].rules);
        EXPECT_EQ(at("message"), rows[i].message);
    }
}

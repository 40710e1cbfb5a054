// quillon-quote end to end: the built tool run as a user runs it.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

struct ToolRun
{
    int status = -1;
    std::string out;
};

// Runs the tool through the shell with a fixed locale and a fixed "today", so
// two-digit years and year-less dates do not depend on the calendar.
ToolRun run(const std::string &arguments, const std::string &stdinFile = {})
{
    std::string command = std::string("LC_ALL=C '") + QUOTE_TOOL + "' " + arguments;
    if (!stdinFile.empty())
        command += " < '" + stdinFile + "'";
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

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string data(const char *name)
{
    return std::string(TEST_DATA_DIR) + "/" + name;
}

std::string writeTemp(const std::string &content)
{
    char path[] = "/tmp/quillon-quote-test-XXXXXX";
    const int fd = mkstemp(path);
    std::FILE *f = fdopen(fd, "wb");
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return path;
}

const char *kToday = "--today 12/7/2026";

} // namespace

TEST(QuoteToolBatch, MixedRowsMatchHandWorkedFiguresAndReportBadRows)
{
    const ToolRun r = run(std::string("--csv '") + data("mixed.csv") + "' " + kToday);
    EXPECT_EQ(r.status, 1) << "rows with unreadable input make the status 1";
    EXPECT_EQ(r.out, readFile(data("mixed.expected.csv")));
}

TEST(QuoteToolBatch, ReadsStandardInputAndGivesZeroWhenEveryRowIsQuoted)
{
    const std::string file = writeTemp("premium,start,end\n1000,1/1/2026,4/11/2026\n1000,1/1/2000,1/1/2001\n");
    const ToolRun r = run(std::string("--csv ") + kToday, file);
    std::remove(file.c_str());
    EXPECT_EQ(r.status, 0) << "a range message is not a failure";
    EXPECT_NE(r.out.find("\r\n100,in-range,$274.00,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\r\n366,over-year,"), std::string::npos) << r.out;
}

TEST(QuoteToolBatch, HandlesByteOrderMarkQuotesAndHeaderOrder)
{
    // Columns in another order, a BOM, LF line ends, a quoted date with a
    // comma and a quote in it.
    const std::string file = writeTemp("\xEF\xBB\xBF" "end,Premium,start\n"
                                       "4/11/2026,1000,1/1/2026\n"
                                       "\"1,2\"\"\",5,1/1/2026\n");
    const ToolRun r = run(std::string("--csv '") + file + "' " + kToday);
    std::remove(file.c_str());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\r\n100,in-range,$274.00,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(",\"'1,2\"\"' is not a valid date.\"\r\n"), std::string::npos) << r.out;
}

TEST(QuoteToolBatch, FailsWithStatusTwo)
{
    struct Case
    {
        const char *name;
        std::string arguments;
    };
    const std::string badHeader = writeTemp("amount,from,to\n1,1/1/2026,1/2/2026\n");
    const Case cases[] = {
        {"missing file", "--csv /nonexistent/quotes.csv"},
        {"header without the three columns", "--csv '" + badHeader + "'"},
        {"positional arguments with --csv", "--csv x.csv 1 2"},
        {"unknown option", "--bogus"},
        {"too few arguments", "100 1/1/2026"},
        {"bad --type", "100 1/1/2026 1/2/2026 --type lapse"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun r = run(c.arguments + " 2>/dev/null");
        EXPECT_EQ(r.status, 2);
    }
    std::remove(badHeader.c_str());
}

TEST(QuoteToolBatch, WritesOneOutputRowPerRecordEvenForLargeAndBrokenFields)
{
    std::string content = "premium,start,end\r\n";
    content += std::string(1 << 20, '9') + ",1/1/2026,1/2/2026\r\n"; // overflows: unreadable
    content += "100,\xFF\xFE,1/2/2026\r\n";                          // invalid UTF-8 passes through
    content += "100,1/1/2026,\"1/2/2026\r\n";                       // unterminated quote to the end
    const std::string file = writeTemp(content);
    const ToolRun r = run(std::string("--csv '") + file + "' " + kToday);
    std::remove(file.c_str());
    EXPECT_EQ(r.status, 1);
    std::istringstream lines(r.out);
    std::string line;
    int count = 0;
    while (std::getline(lines, line))
        ++count;
    EXPECT_EQ(count, 4) << "header and three rows";
    EXPECT_NE(r.out.find("'\xFF\xFE' is not a valid date."), std::string::npos);
}

TEST(QuoteToolSingle, PrintsTheWindowLabelsOfEachQuotationType)
{
    const ToolRun refund = run(std::string("1000 1/1/2026 4/11/2026 ") + kToday);
    EXPECT_EQ(refund.status, 0);
    for (const char *text : {"Total Premium", "$1,000.00", "Cancellation Date", "# of Days", "100",
                             "Short Rated Premium", "Pro-Rated Premium", "Refund", "Earned", "$620.00", "0.726"})
        EXPECT_NE(refund.out.find(text), std::string::npos) << text << "\n" << refund.out;

    const ToolRun addl = run(std::string("1000 1/1/2026 4/11/2026 --type addl ") + kToday);
    EXPECT_EQ(addl.status, 0);
    for (const char *text : {"Add. Annual Premium", "Change Effective Date", "Amt Due", "Expired",
                             "Not Applicable", "$726.00"})
        EXPECT_NE(addl.out.find(text), std::string::npos) << text << "\n" << addl.out;
    EXPECT_EQ(addl.out.find("$620.00"), std::string::npos) << "short-rated figures are not shown";
}

TEST(QuoteToolSingle, ReportsUnreadableInputWithTheErrorDisplayText)
{
    const ToolRun r = run(std::string("100 abc 1/2/2026 ") + kToday + " 2>&1");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "quillon-quote: 'abc' is not a valid date.\n");
}

TEST(QuoteToolSingle, ShowsTheRangeMessageAndStillQuotes)
{
    const ToolRun r = run(std::string(kToday) + " -- -100 1/2/2026 1/1/2026");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("You have selected dates less than 0 days. Please try again!"), std::string::npos);
    EXPECT_NE(r.out.find("($100.00)"), std::string::npos) << r.out;
}

namespace {

// A settings directory for one test: XDG_CONFIG_HOME points at it while the
// test runs the tool, and both go away afterwards.
class SettingsDir
{
public:
    explicit SettingsDir(const std::string &ini)
    {
        char pattern[] = "/tmp/quillon-pdf-XXXXXX";
        m_dir = mkdtemp(pattern);
        if (!ini.empty())
            std::ofstream(m_dir + "/Quillon32.Ini", std::ios::binary) << ini;
        if (const char *old = std::getenv("XDG_CONFIG_HOME"))
            m_old = old;
        setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
    }
    ~SettingsDir()
    {
        if (m_old)
            setenv("XDG_CONFIG_HOME", m_old->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::system(("rm -rf '" + m_dir + "'").c_str());
    }
    std::string file(const char *name) const { return m_dir + "/" + name; }

private:
    std::string m_dir;
    std::optional<std::string> m_old;
};

std::string pdfText(const std::string &path)
{
    std::string text;
    std::FILE *pipe = popen(("pdftotext '" + path + "' - 2>/dev/null").c_str(), "r");
    if (!pipe)
        return text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, n);
    pclose(pipe);
    return text;
}

bool exists(const std::string &path)
{
    return std::ifstream(path).good();
}

const char kSettings[] = "[REQUIRED]\nCo=Harbour Office\nAdd1=1 Quay Street\nCity=Portland\nState=ME\nZip=04101\n";

} // namespace

TEST(QuoteToolPdf, WritesTheQuoteWithTheCompanyOfTheSettingsFile)
{
    const SettingsDir settings(kSettings);
    const std::string pdf = settings.file("quote.pdf");
    const ToolRun r = run("--pdf '" + pdf + "' 1000 1/1/2026 4/11/2026 --policy-number ab-12c --client 'jane public' "
                          "--policy-type 'Home owners' " + kToday + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    const std::string text = pdfText(pdf);
    for (const char *expected : {"Harbour Office", "1 Quay Street", "Portland,ME", "AB-12C", "jane public",
                                 "Home owners", "REFUND", "Total Premium", "$1,000.00", "1/1/2026", "4/11/2026",
                                 "100", "$620.00", "$726.00", "0.274"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_EQ(text.find("ab-12c"), std::string::npos) << "the policy number prints in capitals";
}

TEST(QuoteToolPdf, AdditionalPremiumCoversTheShortRatedFigures)
{
    const SettingsDir settings("");
    const std::string pdf = settings.file("addl.pdf");
    const ToolRun r = run("--pdf='" + pdf + "' --type addl 1000 1/1/2026 4/11/2026 " + kToday);
    EXPECT_EQ(r.status, 0);
    const std::string text = pdfText(pdf);
    for (const char *expected : {"Company Name", "Additional Premium", "Add. Annual Premium", "Amt Due",
                                 "Change Effective Date", "$726.00", "This Section not applicable"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_EQ(text.find("$620.00"), std::string::npos) << "short-rated 12-month refund";
    EXPECT_EQ(text.find("$640.00"), std::string::npos) << "short-rated 6-month earned";
}

TEST(QuoteToolPdf, FailsWithoutWritingAFile)
{
    const SettingsDir settings("");
    struct Case
    {
        const char *name;
        std::string arguments;
        int status;
        const char *message; // expected in the error output
    };
    const std::string pdf = settings.file("q.pdf");
    const Case cases[] = {
        {"unreadable date", "--pdf '" + pdf + "' 100 abc 1/2/2026", 1, "'abc' is not a valid date."},
        {"unreadable premium", "--pdf '" + pdf + "' abc 1/1/2026 1/2/2026", 1, "'abc' is not a valid premium."},
        {"directory missing", "--pdf '" + settings.file("none/q.pdf") + "' 100 1/1/2026 1/2/2026", 2,
         "cannot write"},
        {"policy details without --pdf", "100 1/1/2026 1/2/2026 --client x", 2, "apply to --pdf"},
        {"--pdf with --csv", "--csv x.csv --pdf '" + pdf + "'", 2, ""},
        {"--pdf without a file", "100 1/1/2026 1/2/2026 --pdf", 2, "needs a value"},
        {"--pdf with two positionals", "--pdf '" + pdf + "' 100 1/1/2026", 2, "expected PREMIUM START END"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun r = run(std::string(kToday) + " " + c.arguments + " 2>&1 >/dev/null");
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        EXPECT_FALSE(exists(pdf));
    }
}

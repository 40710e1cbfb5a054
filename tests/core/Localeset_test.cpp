#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Localeset.h"
#include "Shortdate.h"
#include "../support/Environment.h"

using namespace quillon;

namespace {

struct PosixCase { const char *name, *posixFormat, *pattern; char separator; };

const PosixCase kPosixCases[] = {
    {"US order", "%m/%d/%Y", "mm/dd/yyyy", '/'}, {"C locale two-digit year", "%m/%d/%y", "mm/dd/yy", '/'},
    {"day first with dots", "%d.%m.%Y", "dd/mm/yyyy", '.'}, {"year first with dashes", "%Y-%m-%d", "yyyy/mm/dd", '-'},
    {"day first with slashes", "%d/%m/%y", "dd/mm/yy", '/'}, {"unpadded day and month", "%-d.%-m.%Y", "d/m/yyyy", '.'},
    {"space-padded day", "%e-%m-%Y", "d/mm/yyyy", '-'},
    {"month names and spaces keep the separator", "%d %B %Y", "dd mmmm yyyy", '/'},
    {"abbreviated month name", "%d-%b-%Y", "dd/mmm/yyyy", '-'},
    // Bytes of a multi-byte character cannot separate typed numbers.
    {"multi-byte separators keep the default", "%Y\xE5\xB9\xB4" "%m\xE6\x9C\x88" "%d", "yyyy\xE5\xB9\xB4" "mm\xE6\x9C\x88" "dd", '/'},
    {"%D is month, day and two-digit year", "%D", "mm/dd/yy", '/'},
    {"%F is year, month and day", "%F", "yyyy/mm/dd", '-'}, {"year, day, month", "%Y.%d.%m", "yyyy/dd/mm", '.'},
    {"a comma after a name separates no numbers", "%d %b, %Y", "dd mmm, yyyy", '/'},
    {"a weekday's comma is text before the fields", "%A, %B %d, %Y", "dddd/ mmmm dd/ yyyy", ','},
    {"letters of the locale's text are quoted", "%a, %Y.eko %bren %da", "ddd, yyyy/\"eko \"mmm\"ren \"dd\"a\"", '.'},
    {"century and year in the locale's digits", "%OC%Oy %b %Od %A", "yyyy mmm dd dddd", '/'},
    {"an era year without an era", "%d/%m/%Ey", "dd/mm/yy", '/'}, {"padding flags", "%_d.%-m.%0Y", "d/m/yyyy", '.'},
    // Nothing usable: dates would be unreadable, so the settings stay.
    {"empty", "", "dd.mm.yyyy", '.'}, {"weekday only", "%A", "dd.mm.yyyy", '.'}, {"a time", "%H:%M", "dd.mm.yyyy", '.'},
    {"no directive", "abc", "dd.mm.yyyy", '.'},
};

// The one rule every reader and every message takes a character by: the
// shortest form only, no surrogate, nothing past U+10FFFF, nothing cut.
TEST(WellFormedUtf8Length, TakesOnlyWholeShortestForms)
{
    const std::pair<std::string_view, std::size_t> cases[] = {
        {"a", 1}, {"", 0}, {"\x7F", 1}, {"\x80", 0}, {"\xC1\xBF", 0}, {"\xC2\x80", 2}, {"\xDF\xBFz", 2},
        {"\xC2", 0}, {"\xC2z", 0}, {"\xE0\x9F\xBF", 0}, {"\xE0\xA0\x80", 3}, {"\xED\x9F\xBF", 3},
        {"\xED\xA0\x80", 0}, {"\xEF\xBF\xBF", 3}, {"\xE2\x82", 0}, {"\xF0\x8F\xBF\xBF", 0},
        {"\xF0\x90\x80\x80", 4}, {"\xF4\x8F\xBF\xBF", 4}, {"\xF4\x90\x80\x80", 0}, {"\xF5\x80\x80\x80", 0},
        {"\xF0\x90\x80z", 0},
    };
    for (const auto &[text, length] : cases)
        EXPECT_EQ(WellFormedUtf8Length(text), length) << testing::PrintToString(std::string(text));
}

TEST(ApplyPosixDateFormat, TranslatesDirectivesAndSeparator)
{
    for (const PosixCase &c : kPosixCases) {
        SCOPED_TRACE(c.name);
        // Settings it cannot use (a format with no day, month or year) leave these as they were.
        LocaleSettings settings;
        settings.shortDatePattern = "dd.mm.yyyy";
        settings.dateSeparator = '.';
        ApplyPosixDateFormat(settings, c.posixFormat);
        EXPECT_EQ(settings.shortDatePattern, c.pattern);
        EXPECT_EQ(settings.dateSeparator, c.separator);
    }
}

TEST(ApplyPosixDateFormat, ResultReadsAndWritesDatesInThatOrder)
{
    struct Case { const char *posixFormat, *typed, *written; };
    // 4 March 1999 is day 36223.
    const Case cases[] = {
        {"%d.%m.%Y", "4.3.1999", "04.03.1999"}, {"%Y-%m-%d", "1999-3-4", "1999-03-04"},
        {"%m/%d/%Y", "3/4/1999", "03/04/1999"}, {"%Y.%d.%m", "1999.4.3", "1999.04.03"},
        {"%d %b, %Y", "4/3/1999", "04 Mar, 1999"}, {"%A, %B %d, %Y", "3,4,1999", "Thursday, March 04, 1999"},
        {"%a, %Y.eko %bren %da", "1999.3.4", "Thu, 1999.eko Marren 04a"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.posixFormat);
        LocaleSettings settings;
        ApplyPosixDateFormat(settings, c.posixFormat);
        EXPECT_EQ(TryParseShortDate(c.typed, settings, 46024), 36223);
        EXPECT_EQ(FormatShortDate(36223, settings), c.written);
        EXPECT_EQ(TryParseShortDate(c.written, settings, 46024), 36223);
    }
}

// Sets locale variables for one test and puts the previous values back.
class SystemLocaleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *name : kVariables) {
            const char *value = std::getenv(name);
            m_saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
    }
    void TearDown() override
    {
        for (std::size_t i = 0; i < std::size(kVariables); ++i) {
            if (m_saved[i])
                setenv(kVariables[i], m_saved[i]->c_str(), 1);
            else
                unsetenv(kVariables[i]);
        }
    }

    static constexpr const char *kVariables[] = {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG"};

private:
    std::vector<std::optional<std::string>> m_saved;
};

// The C locale by any of its names, no locale variable at all, and a locale the system lacks, even where LC_ALL
// names C over the categories.
TEST_F(SystemLocaleTest, TheCLocaleOrNoneGiveTheDefaults)
{
    const std::vector<std::pair<const char *, const char *>> cases[] = {
        {}, {{"LC_ALL", "C"}}, {{"LC_ALL", "POSIX"}}, {{"LC_ALL", "C.UTF-8"}}, {{"LC_ALL", "C.utf8"}},
        {{"LC_ALL", "xx_NOT_INSTALLED.UTF-8"}},
        {{"LC_TIME", "xx_NOT_INSTALLED.UTF-8"}, {"LC_NUMERIC", "xx_NOT_INSTALLED.UTF-8"},
         {"LANG", "xx_NOT_INSTALLED.UTF-8"}, {"LC_ALL", "C"}},
    };
    for (const auto &variables : cases) {
#ifdef _WIN32
        if (variables.empty())
            continue; // with no variable at all Windows takes the user's own settings
#endif
        for (const char *name : kVariables)
            unsetenv(name);
        std::string set;
        for (const auto &[name, value] : variables) {
            setenv(name, value, 1);
            set += std::string(name) + "=" + value + " ";
        }
        const LocaleSettings settings = ReadSystemLocaleSettings();
        const std::vector<std::string> read = {settings.decimalSeparator, settings.thousandSeparator,
            std::string(1, settings.dateSeparator), settings.shortDatePattern, settings.longMonthNames[0],
            settings.longMonthNames[11], settings.shortMonthNames[2], settings.longDayNames[0], settings.shortDayNames[6]};
        EXPECT_EQ(read, (std::vector<std::string>{".", ",", "/", "m/d/yy", "January", "December", "Mar", "Sunday", "Sat"}))
            << set;
    }
}

} // namespace

#include <gtest/gtest.h>

#include <tuple>

#include <chrono>
#include <optional>
#include <string>

#include "Localeset.h"
#include "Messages.h"
#include "Shortdate.h"

using namespace quillon;

namespace {

using namespace std::chrono;

// Day numbers below are known values (counted from 12/30/1899), not derived from the code under test.
constexpr int kToday2026 = 46024; // 1/2/2026
constexpr int kToday1999 = 36161; // 1/1/1999
constexpr int kTodayYear50 = -675696; // 1/1/0050, a current century of 0

struct KnownDay { const char *name; year_month_day date; int day, weekday; }; // weekday 1 is Sunday

const KnownDay kKnownDays[] = {
    {"day zero was a Saturday", year{1899} / 12 / 30, 0, 7}, {"the day after day zero", year{1899} / 12 / 31, 1, 1},
    {"the day before day zero", year{1899} / 12 / 29, -1, 6}, {"1/1/1900 is day 2", year{1900} / 1 / 1, 2, 2},
    {"1900 has no 29 February", year{1900} / 3 / 1, 61, 5}, {"1/1/2000", year{2000} / 1 / 1, 36526, 7},
    {"leap day 2000", year{2000} / 2 / 29, 36585, 3}, {"leap day 2024", year{2024} / 2 / 29, 45351, 5},
    {"leap day 2400", year{2400} / 2 / 29, 182682, 3}, {"first day of the calendar", year{1} / 1 / 1, -693593, 2},
    {"last day of the calendar", year{9999} / 12 / 31, 2958465, 6},
};

TEST(DayNumber, MatchesKnownDays)
{
    for (const KnownDay &c : kKnownDays) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DayNumber(c.date), c.day);
        EXPECT_EQ(DateOfDayNumber(c.day), c.date);
        EXPECT_EQ(DayOfWeek(c.day), c.weekday);
    }
    EXPECT_EQ(kFirstDayNumber, -693593);
    EXPECT_EQ(kLastDayNumber, 2958465);
}

TEST(DayNumber, LeapCenturies)
{
    for (const auto &[y, leap] : {std::pair{1900, false}, {2000, true}, {2100, false}, {2400, true}, {2024, true},
                                  {2023, false}})
        EXPECT_EQ(IsLeapYear(y), leap) << y;
    for (const auto &[y, m, days] : {std::tuple{1900, 2, 28}, {2000, 2, 29}, {1999, 4, 30}, {9999, 12, 31}})
        EXPECT_EQ(DaysInMonth(y, m), days) << y << "-" << m;
}

LocaleSettings localeWith(const char *pattern, char separator)
{
    LocaleSettings locale;
    locale.shortDatePattern = pattern;
    locale.dateSeparator = separator;
    return locale;
}

// Rows name the pattern, separator and today only where they differ from the default locale in 2026.
struct ParseCase
{
    const char *name, *text;
    std::optional<int> day;
    const char *pattern = "m/d/yy";
    char separator = '/';
    int today = kToday2026;
};

constexpr auto kInvalid = std::nullopt;

const ParseCase kParseCases[] = {
    // Month-day-year, the default locale.
    {"full date", "3/5/1999", 36224}, {"day zero", "12/30/1899", 0},
    {"first day of the calendar needs three digits to stay in year 1", "1/1/100", -657434},
    {"last day of the calendar", "12/31/9999", 2958465}, {"leap day 2024", "2/29/2024", 45351},
    {"leap day 2000", "2/29/2000", 36585}, {"leap day 2400", "2/29/2400", 182682},
    {"no leap day in 1999", "2/29/1999", kInvalid}, {"no leap day in 1900", "2/29/1900", kInvalid},
    {"no leap day in 2100", "2/29/2100", kInvalid}, {"30 February", "2/30/2000", kInvalid},
    {"31 April", "4/31/1999", kInvalid}, {"day 0", "1/0/1999", kInvalid}, {"day 32", "1/32/1999", kInvalid},
    {"month 0", "0/1/1999", kInvalid}, {"month 13", "13/1/1999", kInvalid},

    // Two-digit years go into today's century, with no sliding window.
    {"two-digit year in 2026 lands in 2095", "1/2/95", 71226},
    {"two-digit year in 1999 lands in 1995", "1/2/95", 34701, "m/d/yy", '/', kToday1999},
    {"00 in 1999 is 1900", "1/2/00", 3, "m/d/yy", '/', kToday1999}, {"one-digit year", "1/2/5", 38354},
    // So the field rewrites a typed 1/1/0005 in 2005: the calendar stops at 1/1/0100.
    {"0005 is a year of the current century", "1/1/0005", 38353}, {"99 is still a two-digit year", "12/31/99", 73050},
    {"0095 still counts as a two-digit year", "1/2/0095", 71226}, {"0000 is year 00 of the century", "1/2/0000", 36527},
    {"year 100 is taken as written", "1/2/100", -657433},
    {"year 0 of the first century does not exist", "1/2/0", kInvalid, "m/d/yy", '/', kTodayYear50},
    {"year 50 in the first century", "1/2/50", -675695, "m/d/yy", '/', kTodayYear50},

    // Two numbers take today's year.
    {"month and day in 2026", "7/4", 46207}, {"month and day in 1999", "1/2", 36162, "m/d/yy", '/', kToday1999},
    {"month and day with trailing spaces", "7/4  ", 46207},
    {"month and day then a separator demands a year", "1/2/", kInvalid},
    {"month and day then separator and spaces", "1/2/ ", kInvalid},

    // Digit limits.
    {"leading zeros do not count towards four digits", "01/02/01999", 36162},
    {"five-digit year", "1/2/12345", kInvalid}, {"year 10000", "1/2/10000", kInvalid},
    {"five-digit month", "10000/2/1999", kInvalid},

    // Spaces and separators.
    {"spaces before every number and separator", " 1 / 2 / 1999", 36162}, {"trailing spaces", "1/2/1999   ", 36162},
    {"one trailing separator", "1/2/1999/", 36162},
    {"trailing separator after spaces, then spaces", "1/2/1999 / ", 36162},
    {"two trailing separators", "1/2/1999//", kInvalid},
    {"trailing letter", "1/2/1999a", kInvalid}, {"trailing letter after separator", "1/2/1999/x", kInvalid},
    {"leading separator", "/1/2/1999", kInvalid}, {"leading letter without an era pattern", "AD 1/2/1999", kInvalid},
    {"tab before a number", "\t1/2/1999", kInvalid}, {"tab at the end", "1/2/1999\t", kInvalid},
    {"tab before a separator", "1\t/2/1999", kInvalid}, {"separator of another locale", "1-2-1999", kInvalid},
    {"minus sign", "-1/2/1999", kInvalid}, {"one number", "12", kInvalid},
    {"separator without a second number", "12/", kInvalid}, {"empty text", "", kInvalid},
    {"only spaces", "   ", kInvalid}, {"four numbers", "1/2/1999/3", kInvalid},

    // Day-month-year.
    {"day first", "4/3/1999", 36223, "dd/mm/yyyy"}, {"day first refuses month 25", "4/25/1999", kInvalid, "dd/mm/yyyy"},
    {"day first, two numbers are day and month", "4/3", 46085, "dd/mm/yyyy"},
    {"day first with dots", "25.4.1999", 36275, "dd/mm/yyyy", '.'},
    {"upper-case pattern letters", "4/3/1999", 36223, "DD/MM/YYYY"},

    // Year-month-day.
    {"year first", "1999-03-04", 36223, "yyyy-mm-dd", '-'},
    {"year first, two-digit year", "95-1-2", 71226, "yyyy-mm-dd", '-'},
    {"year first, two numbers are month and day", "3-4", 46085, "yyyy-mm-dd", '-'},
    {"year first, trailing separator", "1999-3-4-", 36223, "yyyy-mm-dd", '-'},
    {"year first refuses the slash", "1999/03/04", kInvalid, "yyyy-mm-dd", '-'},
    {"e counts as a year letter", "1999/3/4", 36223, "e/m/d"},

    // Every order of the three, each field where the pattern writes it; two numbers are day and month in the
    // pattern's order. 3 February 2026.
    {"year, day, month", "2026.03.02", 46056, "yyyy/dd/mm", '.'},
    {"year, day, month: two numbers", "3.2", 46056, "yyyy/dd/mm", '.'},
    {"day, year, month", "3/2026/2", 46056, "d/yyyy/m"}, {"month, year, day", "2/2026/3", 46056, "m/yyyy/d"},
    {"a leading weekday does not put the day first", "2,3,2026", 46056, "dddd/ mmmm dd/ yyyy", ','},

    // The locale's names and text in their places.
    {"weekday, names and text", "Tuesday, February 03, 2026", 46056, "dddd/ mmmm dd/ yyyy", ','},
    {"month name in any case", "3 FEB, 2026", 46056, "dd mmm, yyyy"},
    {"a month name where the day stands", "Feb 3, 2026", kInvalid, "dd mmm, yyyy"},
    {"a month name where the pattern has none", "Feb/3/2026", kInvalid},
    {"spaces part fields the pattern parts with spaces", "feb 03 2026", 46056, "mmm dd yyyy"},
    {"spaces part no numbers the pattern separates", "2 3 2026", kInvalid},
    {"leading text of the pattern", "on 26x02z03", 46056, "\"on \"yy\"x\"mm\"z\"dd"},
    {"text that begins with the separator", "2026.eko Febren 03a", 46056, "yyyy/\"eko \"mmm\"ren \"dd\"a\"", '.'},

    // Order from the first of d, m, y, e; anything else reads month first.
    {"pattern without date letters reads month first", "3/4/1999", 36223, "x"},
    {"month letter first wins over a later d", "3/4/1999", 36223, "mm/dd/yyyy"},

    // An era pattern skips the era's text before the first digit.
    {"era text skipped", "AD 1999/3/4", 36223, "gg yyyy/mm/dd"},
    {"era pattern with no era text", "1999/3/4", 36223, "gg yyyy/mm/dd"},
    {"era pattern with text only", "AD", kInvalid, "gg yyyy/mm/dd"},
};

TEST(TryParseShortDate, ReadsTheLocaleOrder)
{
    for (const ParseCase &c : kParseCases)
        EXPECT_EQ(TryParseShortDate(c.text, localeWith(c.pattern, c.separator), c.today), c.day)
            << c.name << " [" << c.text << "]";
    // The layout kept between reads follows each change of pattern or separator, and back.
    for (const auto &[pattern, separator, text, day] : {std::tuple{"m/d/yyyy", '/', "3/4/1999", 36223},
                                                         {"d/m/yyyy", '/', "3/4/1999", 36253},
                                                         {"d/m/yyyy", '.', "3.4.1999", 36253},
                                                         {"m/d/yyyy", '/', "3/4/1999", 36223}})
        EXPECT_EQ(TryParseShortDate(text, localeWith(pattern, separator), kToday2026), day) << pattern << separator;
}

TEST(ParseShortDate, ReturnsTheDayNumberOrThrowsWithTheTextAsGiven)
{
    EXPECT_EQ(ParseShortDate("2/29/2024", LocaleSettings{}, kToday2026), 45351);
    struct ErrorCase { const char *text, *message; };
    const ErrorCase cases[] = {
        {"abc", "'abc' is not a valid date"}, {"", "'' is not a valid date"},
        {" 2/30/1999 ", "' 2/30/1999 ' is not a valid date"},
    };
    for (const ErrorCase &c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseShortDate(c.text, LocaleSettings{}, kToday2026);
            ADD_FAILURE() << "no error raised";
        } catch (const ConversionError &error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

struct FormatCase { const char *name; int day; const char *pattern; char separator; const char *text; };

const FormatCase kFormatCases[] = {
    {"default pattern", 36224, "m/d/yy", '/', "3/5/99"}, {"default pattern in 2000", 36526, "m/d/yy", '/', "1/1/00"},
    {"leading zeros", 36224, "mm/dd/yyyy", '/', "03/05/1999"},
    {"two-digit parts unpadded when wide", 2958465, "mm/dd/yyyy", '/', "12/31/9999"},
    {"slash becomes the separator", 36224, "dd/mm/yyyy", '.', "05.03.1999"},
    {"other punctuation is copied", 36224, "yyyy-mm-dd", '/', "1999-03-05"},
    {"upper-case letters", 36224, "M/D/YYYY", '/', "3/5/1999"},
    {"full month name", 36224, "mmmm d, yyyy", '/', "March 5, 1999"},
    {"short month name", 36224, "d mmm yyyy", '/', "5 Mar 1999"}, {"day names", 36224, "ddd dddd", '/', "Fri Friday"},
    {"quoted text is copied without quotes", 36224, "'day' d \"of\" mmmm", '/', "day 5 of March"},
    {"quoted slash is not the separator", 36224, "d'/'m", '.', "5/3"},
    {"two-digit year of year 5", -692132, "yy", '/', "05"}, {"four-digit year of year 5", -692132, "yyyy", '/', "0005"},
};

TEST(FormatDatePattern, WritesEachPatternLetter)
{
    for (const FormatCase &c : kFormatCases) {
        EXPECT_EQ(FormatDatePattern(c.day, c.pattern, localeWith("m/d/yy", c.separator)), c.text) << c.name;
        // The short date is the locale's own pattern written so.
        EXPECT_EQ(FormatShortDate(c.day, localeWith(c.pattern, c.separator)), c.text) << c.name;
    }
}

TEST(FormatDatePattern, UsesTheLocaleMonthNames)
{
    LocaleSettings locale;
    locale.longMonthNames[2] = "mars";
    locale.shortMonthNames[2] = "mars.";
    EXPECT_EQ(FormatDatePattern(36224, "d mmmm yyyy", locale), "5 mars 1999");
    EXPECT_EQ(FormatDatePattern(36224, "d mmm yyyy", locale), "5 mars. 1999");
}

// Month-first locales get month and day without zeros and a four-digit year.
TEST(DateFieldText, FollowsTheLocalesOrderOfDayMonthAndYear)
{
    struct OrderCase { const char *pattern; char separator; int day; const char *text; };
    const OrderCase cases[] = {
        {"mm/dd/yy", '/', 36224, "3/5/1999"}, {"mm/dd/yy", '.', 36224, "3.5.1999"},
        // Day 0 and the days either side are dates like any other: a field never blanks one it was given.
        {"mm/dd/yy", '/', 0, "12/30/1899"}, {"mm/dd/yy", '/', 1, "12/31/1899"}, {"mm/dd/yy", '/', -1, "12/29/1899"},
        {"mm/dd/yy", '/', -328717, "12/31/0999"}, {"mm/dd/yy", '/', kFirstWritableDayNumber, "1/1/0100"},
        {"mm/dd/yy", '/', 2958465, "12/31/9999"},
        {"m/d/yy", '/', 46145, "5/3/2026"}, {"dd/mm/yy", '/', 46145, "3/5/2026"},
        {"dd/mm/yyyy", '.', 46145, "3.5.2026"}, {"yyyy/mm/dd", '-', 46145, "2026-5-3"},
        {"yyyy/mm/dd", '-', -657434, "0100-1-1"}, {"dd/mm/yyyy", '/', 0, "30/12/1899"},
        // A pattern that holds literal text instead of a separator keeps the default separator between numbers.
        {"yyyy年mm月dd日", '/', 46145, "2026/5/3"}, {"yyyy/dd/mm", '.', 46145, "2026.3.5"},
        {"dddd/ mmmm dd/ yyyy", ',', 46145, "5,3,2026"}, {"dd mmm, yyyy", '/', 46145, "3/5/2026"},
    };
    for (const OrderCase &c : cases)
        EXPECT_EQ(DateFieldText(c.day, localeWith(c.pattern, c.separator)), c.text) << c.pattern << " " << c.day;
}

// Whatever the field writes must read back as the same day on the next exit, in every order; a day-first
// locale once read 3 May back as 5 March.
TEST(DateFieldText, ReadsBackAsTheSameDayInEveryOrder)
{
    const LocaleSettings locales[] = {
        LocaleSettings{}, localeWith("dd/mm/yy", '/'), localeWith("dd/mm/yyyy", '.'), localeWith("yyyy/mm/dd", '-'),
        localeWith("yyyy年mm月dd日", '/'), localeWith("yyyy/dd/mm", '.'), localeWith("d/yyyy/m", '-'),
    };
    for (const LocaleSettings &locale : locales) {
        SCOPED_TRACE(locale.shortDatePattern);
        for (int day = 36161; day <= 37256; ++day) // 1/1/1999 to 12/31/2001
            ASSERT_EQ(TryParseShortDate(DateFieldText(day, locale), locale, kToday2026), day) << day;
        for (const int day : {kFirstWritableDayNumber, -1, 0, 1, 60, 61, 182682, kLastDayNumber})
            EXPECT_EQ(TryParseShortDate(DateFieldText(day, locale), locale, kToday2026), day) << day;
    }
}

TEST(ShortDate, ReadsTheLocalesOwnPatternWithLiteralText)
{
    // Today's date as the fields first show it, in the locale's own pattern.
    const LocaleSettings japanese = localeWith("yyyy年mm月dd日", '/');
    EXPECT_EQ(FormatShortDate(46363, japanese), "2026年12月07日");
    EXPECT_EQ(TryParseShortDate("2026年12月07日", japanese, kToday2026), 46363);
    EXPECT_EQ(TryParseShortDate("12月7日", japanese, kToday2026), 46363);
    EXPECT_EQ(TryParseShortDate("2026/12/7", japanese, kToday2026), 46363);
    EXPECT_EQ(TryParseShortDate("2026年12月07x", japanese, kToday2026), std::nullopt);

    // Every locale's start-up text reads back as today.
    for (const LocaleSettings &locale : {LocaleSettings{}, localeWith("dd/mm/yy", '/'), japanese,
                                         localeWith("dd mmm yyyy", '/')}) {
        SCOPED_TRACE(locale.shortDatePattern);
        EXPECT_EQ(TryParseShortDate(StartupDateText(46363, locale, kToday2026), locale, kToday2026), 46363);
    }
    EXPECT_EQ(StartupDateText(46363, localeWith("dd mmm yyyy", '/'), kToday2026), "07 Dec 2026");
    // A pattern that cannot be read back gives way to the field's own form.
    EXPECT_EQ(StartupDateText(46363, localeWith("dddd", '/'), kToday2026), "12/7/2026");
}

TEST(ShortDate, ReadsAndWritesYearsInTheLocalesEra)
{
    // The Buddhist era, 543 years ahead: 10/02/2571 is 10 February 2028.
    LocaleSettings thai = localeWith("dd/mm/e", '/');
    thai.eraYearOffset = 543;
    thai.eraName = "BE";
    // 2566 is 2023 (no leap day); 69 is two digits in the era's century; 9999 is 9456.
    const struct { const char *text; std::optional<int> day; } cases[] = {
        {"10/02/2571", 46793}, {"29/02/2567", 45351}, {"29/02/2566", kInvalid}, {"3/2/69", 46056},
        {"31/12/9999", 2760139}, {"31/12/10542", kLastDayNumber}, {"31/12/10543", kInvalid},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TryParseShortDate(c.text, thai, kToday2026), c.day) << c.text;
    EXPECT_EQ(FormatShortDate(46056, thai), "03/02/2569");
    EXPECT_EQ(FormatDatePattern(46056, "g e", thai), "BE 2569");
    EXPECT_EQ(DateFieldText(46056, thai), "3/2/2569");
    EXPECT_EQ(DateFieldText(kFirstWritableDayNumber, thai), "1/1/0643");
    for (const int day : {kFirstWritableDayNumber, 0, 46056, kLastDayNumber})
        EXPECT_EQ(TryParseShortDate(DateFieldText(day, thai), thai, kToday2026), day);
}

TEST(Today, CanBeFixedAndReleased)
{
    SetTodayForTesting(45351);
    EXPECT_EQ(Today(), 45351);
    SetTodayForTesting(0);
    EXPECT_EQ(Today(), 0);
    SetTodayForTesting(std::nullopt);
    // Released, it follows the clock again: the local day is the UTC day or one beside it.
    const auto utcDays = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()).time_since_epoch();
    EXPECT_LE(std::abs(Today() - int(utcDays.count() + 25569)), 1); // 25569: 1/1/1970
}

} // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "Dispfmt.h"
#include "Localeset.h"
#include "../support/Locales.h"

namespace {

struct ParseCase
{
    const char *name;
    std::string_view text;
    std::optional<long double> expected;
};

template<std::size_t N>
void expectReadings(const ParseCase (&cases)[N], const LocaleSettings &locale = {})
{
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<long double> read = ParseText(c.text, locale);
        ASSERT_EQ(read.has_value(), c.expected.has_value()) << "text: " << c.text;
        if (read) {
            EXPECT_EQ(*read, *c.expected);
        }
    }
}

} // namespace

TEST(ParseText, MarksANumberNegativeByAnyMinusOrOpeningParenthesis)
{
    const ParseCase cases[] = {
        {"typed minus", "-100", -100.0L},
        {"displayed negative amount", "($1,234.50)", -1234.5L},
        {"minus between digits", "12-3", -123.0L},
        {"minus at the end", "5-", -5.0L},
        {"two minus signs do not cancel", "--5", -5.0L},
        {"minus and parenthesis do not cancel", "-(5)", -5.0L},
        {"opening parenthesis alone", "(5", -5.0L},
        {"closing parenthesis alone is not a sign", "5)", 5.0L},
    };
    expectReadings(cases);
}

TEST(ParseText, KeepsOnlyDigitsAndPoints)
{
    const ParseCase cases[] = {
        {"displayed amount", "$1,234.50", 1234.5L},
        {"spaces dropped", " 1 234 ", 1234.0L},
        {"leading zeros", "007", 7.0L},
        {"letters around digits", "abc12def", 12.0L},
        // The comma is dropped like the currency sign; it never acts as a point.
        {"comma is not a decimal point", "1,5", 15.0L},
        // The general form's exponent letter is dropped too, so "1E18" reads
        // as its digits; only fixed-form texts read back to their value.
        {"exponent letter dropped", "1E18", 118.0L},
        {"point after the digits", "12.", 12.0L},
        {"point before the digits", ".5", 0.5L},
        {"lone point reads as zero", ".", 0.0L},
        {"lone point with a sign", "(.)", 0.0L},
    };
    expectReadings(cases);
}

TEST(ParseText, RefusesTextWithoutOneReadableNumber)
{
    const ParseCase cases[] = {
        {"empty", "", std::nullopt},
        {"letters only", "abc", std::nullopt},
        {"symbols only", "$(,)-", std::nullopt},
        {"two points", "1.2.3", std::nullopt},
        {"two points apart", "1. 2 .", std::nullopt},
    };
    expectReadings(cases);
}

TEST(ParseText, RefusesAPointUnderACommaDecimalLocale)
{
    const ParseCase cases[] = {
        {"typed point", "1.5", std::nullopt},
        {"lone point", ".", std::nullopt},
        // What the field itself shows under this locale: its grouping point
        // makes it unreadable, so the old figure stays.
        {"displayed grouped amount", "$1.234,50", std::nullopt},
        {"digits only", "1234", 1234.0L},
        // The locale's comma is dropped as well, so $5,50 reads as 550.
        {"displayed small amount", "$5,50", 550.0L},
    };
    expectReadings(cases, commaDecimalLocale());
}

TEST(ParseText, RefusesNumbersBeyondTheExtendedRange)
{
    // The extended range ends near 1.19e4932.
    EXPECT_FALSE(ParseText("1" + std::string(5000, '0'), LocaleSettings{}).has_value());
    EXPECT_FALSE(ParseText("(" + std::string(1 << 20, '9') + ")", LocaleSettings{}).has_value());

    const std::optional<long double> large = ParseText("1" + std::string(4000, '0'), LocaleSettings{});
    ASSERT_TRUE(large.has_value());
    EXPECT_EQ(*large, 1e4000L);
}

TEST(ParseText, ReadsAMegabyteOfDecimals)
{
    // 1.999... with a million nines is nearer to 2 than to any other
    // extended value, so the whole tail has to be taken into account.
    const std::string nines = "1." + std::string(1 << 20, '9');
    const std::optional<long double> read = ParseText(nines, LocaleSettings{});
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(std::isfinite(*read));
    EXPECT_EQ(*read, 2.0L);

    // A million threes after the point differ from 1/3 far below the last
    // bit of the significand.
    const std::optional<long double> third = ParseText("(0." + std::string(1 << 20, '3') + ")",
                                                       LocaleSettings{});
    ASSERT_TRUE(third.has_value());
    EXPECT_EQ(*third, -(1.0L / 3.0L));
}

// Leaving a field reads its displayed text back, so Value becomes the
// displayed, rounded figure, and showing that figure again changes nothing.
TEST(ParseText, ReadsBackTheDisplayedFigure)
{
    struct RoundTrip
    {
        const char *name;
        long double value;
        std::string_view format;
        const char *shown;
        long double readBack;
    };
    const RoundTrip cases[] = {
        {"amount rounded to cents", 1234.567L, kAmountFormat, "$1,234.57", 1234.57L},
        {"negative amount rounded to cents", -1234.567L, kAmountFormat, "($1,234.57)", -1234.57L},
        {"exact half cent", 0.125L, kAmountFormat, "$0.13", 0.13L},
        {"negative half cent", -0.005L, kAmountFormat, "($0.01)", -0.01L},
        {"carry into thousands", 999.995L, kAmountFormat, "$1,000.00", 1000.0L},
        {"rounded away to zero", -0.004L, kAmountFormat, "$0.00", 0.0L},
        {"largest fixed amount", 999999999999999999.0L, kAmountFormat,
         "$999,999,999,999,999,999.00", 999999999999999999.0L},
        {"days", 1234.5L, kDaysFormat, "1,235", 1235.0L},
        {"pro rata rate", 0.0625L, kProRataFormat, "0.063", 0.063L},
    };
    const LocaleSettings locale;
    for (const RoundTrip &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string shown = FormatText(c.value, c.format, locale);
        EXPECT_EQ(shown, c.shown);
        const std::optional<long double> read = ParseText(shown, locale);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, c.readBack);
        EXPECT_EQ(FormatText(*read, c.format, locale), c.shown);
    }
}

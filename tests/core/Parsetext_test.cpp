#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "Dispfmt.h"
#include "Localeset.h"
#include "../support/Locales.h"

using namespace quillon;

namespace {

struct ParseCase { const char *name; std::string_view text; std::optional<long double> expected; };

// Each text read by `parse` (ParseText or ParseAmount) under `locale`.
template<std::size_t N>
void expectReadings(const ParseCase (&cases)[N], const LocaleSettings &locale = {}, decltype(&ParseText) parse = ParseText)
{
    for (const ParseCase &c : cases)
        EXPECT_EQ(parse(c.text, locale), c.expected) << c.name << ", text: " << c.text;
}

constexpr std::nullopt_t kRefused = std::nullopt;

} // namespace

// What a C-locale field's text reads as, or that it is refused.
TEST(ParseText, ReadsOneNumberAndItsSign)
{
    const ParseCase cases[] = {
        // Marks a number negative by any minus or opening parenthesis.
        {"typed minus", "-100", -100.0L}, {"displayed negative amount", "($1,234.50)", -1234.5L},
        {"minus between digits", "12-3", -123.0L}, {"minus at the end", "5-", -5.0L},
        {"two minus signs do not cancel", "--5", -5.0L}, {"minus and parenthesis do not cancel", "-(5)", -5.0L},
        {"opening parenthesis alone", "(5", -5.0L}, {"closing parenthesis alone is not a sign", "5)", 5.0L},
        // Keeps only digits and points.
        {"displayed amount", "$1,234.50", 1234.5L}, {"spaces dropped", " 1 234 ", 1234.0L},
        {"leading zeros", "007", 7.0L}, {"letters around digits", "abc12def", 12.0L},
        // The general form figures of 10^18 and more are shown in reads back as the figure, not its bare digits.
        {"general form", "1E18", 1e18L}, {"general form with decimals", "-1.5E20", -1.5e20L},
        {"point after the digits", "12.", 12.0L}, {"point before the digits", ".5", 0.5L},
        {"lone point reads as zero", ".", 0.0L}, {"lone point with a sign", "(.)", 0.0L},
        // Refuses text without one readable number. A thousands separator out of place could be a mistyped
        // decimal point: refused, never read as a hundred times the amount.
        {"comma where a point was meant", "1,5", kRefused}, {"displayed amount in another locale", "$5,50", kRefused},
        {"group of four", "1,2345.00", kRefused}, {"leading group too long", "1234,567", kRefused},
        {"separator after the point", "1.234,5", kRefused}, {"separator before any digit", ",123", kRefused},
        {"empty", "", kRefused}, {"letters only", "abc", kRefused}, {"symbols only", "$(,)-", kRefused},
        {"two points", "1.2.3", kRefused}, {"two points apart", "1. 2 .", kRefused},
    };
    expectReadings(cases);
}

TEST(ParseText, ReadsTheNotationOfACommaDecimalLocale)
{
    const ParseCase cases[] = {
        {"displayed grouped amount", "$1.234,50", 1234.5L}, {"displayed small amount", "$5,50", 5.5L},
        {"displayed rate", "0,841", 0.841L}, {"displayed negative amount", "($84.100,00)", -84100.0L},
        {"typed with the decimal comma", "1234,5", 1234.5L}, {"lone comma reads as zero", ",", 0.0L},
        {"digits only", "1234", 1234.0L}, {"general form", "1,5E20", 1.5e20L},
        // A point that cannot be a thousands separator where it stands is a decimal point typed out of habit.
        {"point as decimal", "1.5", kRefused}, {"two decimal commas", "1,2,3", kRefused},
    };
    expectReadings(cases, commaDecimalLocale());
}

TEST(ParseText, ReadsLocalesThatGroupWithSpaces)
{
    LocaleSettings french = commaDecimalLocale();
    french.thousandSeparator = "\u202F";
    const ParseCase cases[] = {
        {"displayed amount", "$1\u202F234\u202F567,50", 1234567.5L}, {"typed plain spaces", "1 234 567,50", 1234567.5L},
        {"no-break spaces", "1\u00A0234,5", 1234.5L}, {"space after the sign is spacing", "$ 1\u202F234,00", 1234.0L},
        {"misplaced space", "12 34,5", kRefused}, {"point is neither separator", "5.50", kRefused},
    };
    expectReadings(cases, french);
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
    // 1.999... with a million nines is nearest to 2, so the whole tail has to be taken into account.
    const std::string nines = "1." + std::string(1 << 20, '9');
    const std::optional<long double> read = ParseText(nines, LocaleSettings{});
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(std::isfinite(*read));
    EXPECT_EQ(*read, 2.0L);

    // A million threes after the point differ from 1/3 far below the last bit of the significand.
    const std::optional<long double> third = ParseText("(0." + std::string(1 << 20, '3') + ")", LocaleSettings{});
    ASSERT_TRUE(third.has_value());
    EXPECT_EQ(*third, -(1.0L / 3.0L));

    // 1 + 2^-64 lies halfway between 1 and the next extended value; a digit far down the tail lifts it above.
    const std::string halfway = "1.0000000000000000000542101086242752217003726400434970855712890625";
    const std::string tail = std::string(1 << 16, '0') + "1";
    for (const std::string &text : {halfway, halfway + tail, halfway + tail + "E0"}) {
        const std::optional<long double> reading = ParseText(text, LocaleSettings{});
        ASSERT_TRUE(reading.has_value());
        EXPECT_EQ(*reading, text == halfway ? 1.0L : std::nextafter(1.0L, 2.0L)) << text.size();
    }
}

// Leaving a field reads its displayed text back, so Value becomes the displayed, rounded figure, and showing that
// figure again changes nothing.
TEST(ParseText, ReadsBackTheDisplayedFigure)
{
    struct RoundTrip { const char *name; long double value; std::string_view format; const char *shown; long double back; };
    const RoundTrip cases[] = {
        {"amount rounded to cents", 1234.567L, kAmountFormat, "$1,234.57", 1234.57L},
        {"negative amount rounded to cents", -1234.567L, kAmountFormat, "($1,234.57)", -1234.57L},
        {"exact half cent", 0.125L, kAmountFormat, "$0.13", 0.13L},
        {"negative half cent", -0.005L, kAmountFormat, "($0.01)", -0.01L},
        {"carry into thousands", 999.995L, kAmountFormat, "$1,000.00", 1000.0L},
        {"rounded away to zero", -0.004L, kAmountFormat, "$0.00", 0.0L},
        {"largest fixed amount", 999999999999999999.0L, kAmountFormat,
         "$999,999,999,999,999,999.00", 999999999999999999.0L},
        {"days", 1234.5L, kDaysFormat, "1,235", 1235.0L}, {"pro rata rate", 0.0625L, kProRataFormat, "0.063", 0.063L},
    };
    const LocaleSettings locale;
    for (const RoundTrip &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string shown = FormatText(c.value, c.format, locale);
        EXPECT_EQ(shown, c.shown);
        const std::optional<long double> read = ParseText(shown, locale);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, c.back);
        EXPECT_EQ(FormatText(*read, c.format, locale), c.shown);
    }
}

TEST(ParseAmount, TakesWhatAClerkWritesAsAnAmountAndNothingElse)
{
    const ParseCase cases[] = {
        {"plain", "1000", 1000.0L}, {"cents", "1234.5", 1234.5L}, {"displayed", "$1,234.50", 1234.5L},
        {"negative displayed", "($1,234.50)", -1234.5L}, {"minus", "-100", -100.0L},
        {"minus before the sign", "-$5", -5.0L}, {"minus after the sign", "$-5", -5.0L}, {"plus", "+7", 7.0L},
        {"parentheses", "(250)", -250.0L}, {"spaces around", "  $ 12.00 ", 12.0L}, {"tabs around", "\t12.00\t", 12.0L},
        {"point without decimals", "12.", 12.0L}, {"decimals without integer", ".5", 0.5L},
        // Rounded as the compiler rounds the literal: a short amount is read by one division, a long one through
        // the C library, and both must give the nearest long double.
        {"cents that binary cannot hold", "2.675", 2.675L},
        {"nineteen digits", "1234567890.123456789", 1234567890.123456789L},
        {"twenty digits", "12345678901.123456789", 12345678901.123456789L},
        {"leading zeros are no digits", "0000000000000000000001.5", 1.5L},
        {"twenty-seven decimals", "0.000000000000000000000000001", 1e-27L},
        {"twenty-eight decimals", "0.0000000000000000000000000001", 1e-28L},
        {"nineteen nines", "9999999999999999999", 9999999999999999999.0L}, {"zero with decimals", "0.000", 0.0L},
        // Refuses everything else.
        {"exponent", "1e5", kRefused}, {"exponent with sign", "1.5E+06", kRefused}, {"general form", "1E18", kRefused},
        {"letters before", "abc123", kRefused}, {"hexadecimal", "0x10", kRefused},
        {"other locale's notation", "1.000,00", kRefused}, {"misplaced group", "1,5", kRefused},
        {"two signs", "--5", kRefused}, {"sign and parentheses", "-(5)", kRefused},
        {"unclosed parenthesis", "(5", kRefused}, {"sign at the end", "5-", kRefused},
        {"minus inside", "12-3", kRefused}, {"two currency signs", "$$5", kRefused},
        {"trailing letters", "100abc", kRefused}, {"empty", "", kRefused}, {"lone point", ".", kRefused},
        {"lone sign", "$", kRefused}, {"trailing separator", "1,", kRefused},
        {"space inside digits", "1 000", kRefused},
    };
    expectReadings(cases, {}, ParseAmount);
}

// fa_IR and or_IN write figures with digits of their own; a clerk may type them, or ASCII digits, or both.
TEST(ParseAmount, BothReadersTakeTheLocalesOwnDigits)
{
    LocaleSettings persian;
    persian.altDigits = {"۰", "۱", "۲", "۳", "۴", "۵", "۶", "۷", "۸", "۹"};
    const ParseCase cases[] = {
        {"own digits", "۱,۲۳۴.۵۰", 1234.5L}, {"displayed", "($۹,۸۷۶.۰۵)", -9876.05L},
        {"mixed with ASCII", "۱2۳", 123.0L}, {"a group out of place", "۱۲,۳", kRefused},
    };
    expectReadings(cases, persian, ParseAmount);
    expectReadings(cases, persian);
    persian.thousandSeparator = "\u00A0";
    // A typed space between own digits groups them, in its place or not.
    EXPECT_EQ(ParseText("۱ ۲۳۴", persian), 1234.0L);
    EXPECT_EQ(ParseText("۱ ۲۳", persian), std::nullopt);
}

TEST(ParseAmount, ReadsTheLocalesOwnNotation)
{
    const ParseCase cases[] = {
        {"grouped with decimals", "1.234,50", 1234.5L}, {"displayed", "($1.234,50)", -1234.5L},
        {"decimal comma", "5,5", 5.5L}, {"C notation is another number here", "1,234.50", kRefused},
        {"point as decimal", "5.50", kRefused},
    };
    expectReadings(cases, commaDecimalLocale(), ParseAmount);
}

// Figures are shown in threes; a clerk may also group them as the locale does.
TEST(ParseAmount, BothReadersTakeThreesAndTheLocalesOwnGroups)
{
    const std::tuple<std::vector<int>, const char *, ParseCase> cases[] = {
        {{3, 2}, ",", {"lakhs", "12,34,567.50", 1234567.5L}},
        {{3, 2}, ",", {"a two where a three is due", "1,23,45.50", kRefused}},
        {{4}, ",", {"myriads", "123,4567.50", 1234567.5L}},
        {{2, 2, 2, 3}, "\u202F", {"twos, then threes", "1 234\u202F56 78 90", 1234567890.0L}},
        {{3, 0}, ",", {"nothing grouped beyond the first group", "1234,567", 1234567.0L}},
        {{3}, "\u2019", {"the keyboard's apostrophe for the typographic one", "1'234\u2019567.50", 1234567.5L}},
        {{3}, "\u2019", {"an apostrophe out of place", "1'5", kRefused}},
    };
    for (const auto &[groups, separator, c] : cases) {
        LocaleSettings locale;
        locale.digitGroups = groups;
        locale.thousandSeparator = separator;
        expectReadings({c}, locale, ParseAmount);
        expectReadings({c}, locale);
    }
}

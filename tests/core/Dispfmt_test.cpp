#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "Dispfmt.h"
#include "Localeset.h"
#include "../support/Locales.h"
#include "Messages.h"

using namespace quillon;

namespace {

struct FormatCase { const char *name; long double value; std::string_view format; const char *expected; };

template<std::size_t N>
void expectFormats(const FormatCase (&cases)[N], const LocaleSettings &locale = {})
{
    for (const FormatCase &c : cases)
        EXPECT_EQ(FormatText(c.value, c.format, locale), c.expected) << c.name;
}

} // namespace

TEST(FormatText, ShowsTheGeneralFormForAnEmptyFormat)
{
    const FormatCase cases[] = {
        {"no grouping, no padding", 1234.5L, "", "1234.5"}, {"negative", -1234.5L, "", "-1234.5"},
        {"zero", 0.0L, "", "0"}, {"whole number keeps its zeros", 100.0L, "", "100"},
        {"0.0001 still fixed", 0.0001L, "", "0.0001"}, {"0.00001 in exponent form", 0.00001L, "", "1E-5"},
        {"0.000015 in exponent form", 0.000015L, "", "1.5E-5"},
        {"one third to 15 digits", 1.0L / 3.0L, "", "0.333333333333333"},
        {"two thirds rounded at the 15th digit", 2.0L / 3.0L, "", "0.666666666666667"},
        {"15 integer digits still fixed", 123456789012345.0L, "", "123456789012345"},
        {"16 integer digits in exponent form", 1234567890123456.0L, "", "1.23456789012346E15"},
    };
    expectFormats(cases);
    EXPECT_EQ(FormatGeneral(1234.5L, LocaleSettings{}), "1234.5");
}

TEST(FormatText, UsesTheLocaleSeparators)
{
    const FormatCase cases[] = {
        {"amount", 1234567.5L, kAmountFormat, "$1.234.567,50"},
        {"negative amount", -1234.5L, kAmountFormat, "($1.234,50)"},
        {"days without decimal separator", 1234.5L, kDaysFormat, "1.235"}, {"general form", 1234.5L, "", "1234,5"},
        {"general exponent form", 1.5e18L, kAmountFormat, "1,5E18"},
    };
    expectFormats(cases, commaDecimalLocale());
    // Separators of any length are written whole; four bytes and five take different ways.
    struct SeparatorCase { const char *name, *thousands, *point; std::string_view format; const char *expected; };
    const SeparatorCase separators[] = {
        {"no-break space in UTF-8", "\xC2\xA0", ",", kShortRateFormat, "1\xC2\xA0" "234\xC2\xA0" "567,50"},
        {"four bytes each", "<th>", "<pt>", kAmountFormat, "$1<th>234<th>567<pt>50"},
        {"five-byte thousands", "<th.>", ".", kAmountFormat, "$1<th.>234<th.>567.50"},
        {"five-byte point", ",", "<pt.>", kAmountFormat, "$1,234,567<pt.>50"},
        {"no thousands separator", "", ".", kAmountFormat, "$1234567.50"},
    };
    for (const SeparatorCase &c : separators) {
        SCOPED_TRACE(c.name);
        LocaleSettings locale;
        locale.thousandSeparator = c.thousands;
        locale.decimalSeparator = c.point;
        EXPECT_EQ(FormatText(1234567.5L, c.format, locale), c.expected);
    }
}

// Each value in a format of the program's or one a clerk could set, in the C locale.
TEST(FormatText, WritesEachValueAsItsFormatSays)
{
    const FormatCase cases[] = {
        // Shows the program formats.
        {"amount", 1234.5L, kAmountFormat, "$1,234.50"}, {"amount zero", 0.0L, kAmountFormat, "$0.00"},
        {"amount negative in parentheses, no minus", -1234.5L, kAmountFormat, "($1,234.50)"},
        {"negative zero has no sign", -0.0L, kAmountFormat, "$0.00"}, {"", -0.25L, kAmountFormat, "($0.25)"},
        {"below one keeps a leading zero", 0.5L, kAmountFormat, "$0.50"}, {"", 0.0L, kShortRateFormat, "0.00"},
        {"short rate", 0.25L, kShortRateFormat, "0.25"}, {"", -1234.5L, kShortRateFormat, "(1,234.50)"},
        {"pro rata", 1234.5L, kProRataFormat, "1,234.500"}, {"", -1234.5L, kProRataFormat, "(1,234.500)"},
        {"pro rata zero", 0.0L, kProRataFormat, "0.000"}, {"days in a year", 365.0L, kDaysFormat, "365"},
        {"days grouped", 1234.0L, kDaysFormat, "1,234"}, {"days negative", -5.0L, kDaysFormat, "(5)"},
        {"days zero, no point", 0.0L, kDaysFormat, "0"}, {"below half unsigned", -0.25L, kDaysFormat, "0"},
        // Exact in binary, so these test the rule: ties away from zero (not truncation, not half-even).
        {"0.125 up", 0.125L, kAmountFormat, "$0.13"}, {"-0.125 away from zero", -0.125L, kAmountFormat, "($0.13)"},
        {"2.125 up although 2 is even", 2.125L, kShortRateFormat, "2.13"}, {"", 0.0625L, kProRataFormat, "0.063"},
        {"-0.0625 at three decimals", -0.0625L, kProRataFormat, "(0.063)"}, {"", 2.5L, kDaysFormat, "3"},
        {"-2.5 days away from zero", -2.5L, kDaysFormat, "(3)"}, {"half a day", 0.5L, kDaysFormat, "1"},
        {"-0.5 days, a whole day", -0.5L, kDaysFormat, "(1)"}, {"", 1234.5L, kDaysFormat, "1,235"},
        {"2.12109375 below half stays", 2.12109375L, kShortRateFormat, "2.12"},
        // A hair below the tie in binary (2.675L is 2.674999...996); only the 18-digit step restores it.
        {"2.675 shows 2.68", 2.675L, kAmountFormat, "$2.68"}, {"1.005 shows 1.01", 1.005L, kAmountFormat, "$1.01"},
        {"0.005 a cent", 0.005L, kAmountFormat, "$0.01"}, {"-0.005", -0.005L, kAmountFormat, "($0.01)"},
        {"999.995 carries into a new group", 999.995L, kAmountFormat, "$1,000.00"},
        // The double 2.675 is 2.67499999999999982236: 18 digits keep the shortfall, 15 or 16 would not.
        {"double 2.675 keeps its shortfall", static_cast<long double>(2.675), kAmountFormat, "$2.67"},
        // 18 digits must survive in fixed form, not the general form's 15.
        {"18 integer digits all shown", 123456789012345678.0L, kDaysFormat, "123,456,789,012,345,678"},
        // With 18 integer digits the fraction is the 19th digit: it rounds the units, no cents left.
        {"fraction past the 18th digit", 123456789012345678.9L, kAmountFormat, "$123,456,789,012,345,679.00"},
        // Shows values that round to zero as unsigned zero.
        {"-0.004 is $0.00, not ($0.00)", -0.004L, kAmountFormat, "$0.00"}, {"", 0.004L, kAmountFormat, "$0.00"},
        {"-0.0004 at three decimals", -0.0004L, kProRataFormat, "0.000"},
        {"tiny negative against the zero section", -0.001L, "0.00;(0.00);\"nil\"", "nil"},
        {"negative zero against the zero section", -0.0L, "0.00;(0.00);\"nil\"", "nil"},
        // Carries run through every nine and can add a digit and a group (exact or clearly above half).
        {"exact 999.5 days", 999.5L, kDaysFormat, "1,000"}, {"exact -999.5 days", -999.5L, kDaysFormat, "(1,000)"},
        {"9.996 to ten", 9.996L, kAmountFormat, "$10.00"}, {"", 999999.996L, kAmountFormat, "$1,000,000.00"},
        {"exact 2047/2048 to one", 0.99951171875L, kProRataFormat, "1.000"},
        // Groups integer digits in threes from the point.
        {"three digits, no separator", 999.0L, kDaysFormat, "999"}, {"four digits", 1000.0L, kDaysFormat, "1,000"},
        {"no leading comma", 123456.0L, kDaysFormat, "123,456"}, {"", 1234567.0L, kDaysFormat, "1,234,567"},
        {"with cents", 1234567.25L, kAmountFormat, "$1,234,567.25"}, {"", 100000000.0L, kDaysFormat, "100,000,000"},
        {"comma at the end still groups", 1234.5L, "0.00,", "1,234.50"}, {"", 1234.5L, "$0.00", "$1234.50"},
        // Switches to the general form at ten to the eighteenth.
        {"largest fixed value", 999999999999999999.0L, kAmountFormat, "$999,999,999,999,999,999.00"},
        {"largest fixed negative", -999999999999999999.0L, kAmountFormat, "($999,999,999,999,999,999.00)"},
        {"10^18 itself", 1e18L, kAmountFormat, "1E18"}, {"1.5e18 keeps its point", 1.5e18L, kDaysFormat, "1.5E18"},
        {"-10^18 ignores the negative section", -1e18L, kAmountFormat, "-1E18"},
        {"19 digits cut to 15, rounded", 1234567890123456789.0L, kAmountFormat, "1.23456789012346E18"},
        // Past 15 digits the general form rounds exact halves to even, as the floating unit does.
        {"half after an odd 15th digit rounds up", 12345678901234550.0L, "", "1.23456789012346E16"},
        {"half after an even 15th digit stays", 12345678901234450.0L, "", "1.23456789012344E16"},
        {"2^64", 18446744073709551616.0L, kAmountFormat, "1.84467440737096E19"},
        // 18 digits first: the half at the 19th goes to even; just below 10^18 can round into the general form.
        {"17 integer digits lose the 5 of .25", 12345678901234567.25L, kAmountFormat, "$12,345,678,901,234,567.20"},
        {"a half below 10^18 rounds to it", 999999999999999999.5L, kDaysFormat, "1E18"},
        {"nineteen nines carry into a new digit", 9999999999999999999.0L, kAmountFormat, "1E19"},
        {"far past 128 bits", 1e40L, kAmountFormat, "1E40"}, {"past 256 bits", 1e80L, kAmountFormat, "1E80"},
        {"2^200 to fifteen digits", 0x1p200L, kAmountFormat, "1.60693804425899E60"},
        // Chooses sections by the sign of the rounded value.
        {"one section: negative gets a minus", -1.5L, "0.00", "-1.50"},
        {"empty second section: negative gets a minus", -1.5L, "0.00;", "-1.50"},
        {"empty second section, zero section present", -1.5L, "0.00;;\"nil\"", "-1.50"},
        {"minus goes before literals", -1.5L, "$0.00", "-$1.50"}, {"zero section", 0.0L, "0.00;(0.00);\"nil\"", "nil"},
        {"zero section not used for positives", 1.5L, "0.00;(0.00);\"nil\"", "1.50"},
        {"empty zero section falls back to first", 0.0L, "0.00;(0.00);", "0.00"},
        {"quoted semicolon does not split", 5.0L, "\"a;b\"0;(0)", "a;b5"}, {"", -5.0L, "\"a;b\"0;(0)", "(5)"},
        // Fills placeholders and copies literals.
        {"# grouping pattern", 1234.5L, "#,##0.00", "1,234.50"},
        {"optional decimal shown when significant", 1234.5L, "#,##0.##", "1,234.5"},
        {"no decimals, no point", 1234.0L, "#,##0.##", "1,234"}, {"0.0# pads to the zeros", 1.0L, "0.0#", "1.0"},
        {"0.0# shows the optional digit", 1.25L, "0.0#", "1.25"}, {"# makes no leading zero", 0.5L, "#.##", ".5"},
        {"leading zeros are required", 7.0L, "000", "007"}, {"single-quoted literal", 12.5L, "'USD' 0.00", "USD 12.50"},
        {"placeholders inside quotes are text", 3.0L, "\"0.00\" 0", "0.00 3"},
        {"later points are ignored", 1.25L, "0.0.0", "1.25"}, {"surplus digits", 12345.0L, "0", "12345"},
        {"surplus digits at the first placeholder", 123456.0L, "00-00", "1234-56"},
        // Short literals are copied at fixed sizes, longer ones another way: both sides of the limit.
        {"8 bytes before", 1234.5L, "Premium:0.00", "Premium:1234.50"}, {"9", 1234.5L, "Premium: 0.00", "Premium: 1234.50"},
        {"8 bytes after", 1234.5L, "0.00 dollars", "1234.50 dollars"}, {"9", 1234.5L, "0.00  dollars", "1234.50  dollars"},
        {"both sides, negative section", -1234.5L, "$,0.00 CR;Refund $,0.00", "Refund $1,234.50"},
        // Binary-exact values, so the rows test padding and rounding only.
        {"eighteen required integer digits", 12.5L, "000000000000000000.00", "000000000000000012.50"},
        {"nineteen required integer digits", 12.0L, "0000000000000000000", "0000000000000000012"},
        {"eighteen decimals", 0.5L, "0.000000000000000000", "0.500000000000000000"},
        {"nineteen decimals", 0.5L, "0.0000000000000000000", "0.5000000000000000000"},
        {"seventeen-digit whole number", 99999999999999999.0L, kDaysFormat, "99,999,999,999,999,999"},
        {"its half carries to eighteen digits", 99999999999999999.5L, kDaysFormat, "100,000,000,000,000,000"},
        {"seventeen digits of cents, half up", 999999999999999.875L, kAmountFormat, "$999,999,999,999,999.88"},
        {"10^17 cents", 1e15L, kAmountFormat, "$1,000,000,000,000,000.00"},
        {"negative, seventeen digits", -99999999999999999.0L, kDaysFormat, "(99,999,999,999,999,999)"},
    };
    expectFormats(cases);
}

TEST(DisplayFormat, TakesFormatsOfUpTo224Characters)
{
    const std::string tooLong(kMaxFormatLength + 1, '0');
    try {
        DisplayFormat format(tooLong);
        FAIL() << "a 225-character format was accepted";
    } catch (const ConversionError &error) {
        EXPECT_STREQ(error.what(), "Format string too long");
    }
    EXPECT_THROW(FormatText(1.0L, tooLong, LocaleSettings{}), ConversionError);
    // 222 decimal places, far more than the 18 digits held: all but the first are padding.
    const std::string longest = "0." + std::string(222, '0');
    ASSERT_EQ(longest.size(), kMaxFormatLength);
    EXPECT_EQ(FormatText(1.5L, longest, LocaleSettings{}), "1.5" + std::string(221, '0'));
}

TEST(DisplayFormat, CopyStillFormatsAfterTheOriginalIsReassigned)
{
    // Fields hold their compiled formats by value, so a copy must not depend on the original.
    DisplayFormat original(kAmountFormat);
    const DisplayFormat copy = original;
    original = DisplayFormat("\"overwritten!!\""); // same length as the amount format
    EXPECT_EQ(copy.text(), kAmountFormat);
    EXPECT_EQ(copy.format(1234.5L, LocaleSettings{}), "$1,234.50");
    EXPECT_EQ(copy.format(-1234.5L, LocaleSettings{}), "($1,234.50)");
}

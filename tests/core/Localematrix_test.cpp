// The figures and dates of every locale a clerk may run the program in, read
// from the installed locales themselves: whatever a field shows must read
// back as what it shows, and whatever a date field writes as the same day.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#ifndef _WIN32
#include <locale.h>
#endif
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "Dispfmt.h"
#include "Localeset.h"
#include "Shortdate.h"
#include "../support/Locales.h"

namespace {

constexpr int kToday = 46363; // 12/7/2026

struct LocaleCase
{
    const char *name;
    const char *amount;   // 1234567.5 through the amount format
    const char *date;     // 3 May 2026 in the date field's own text form
    const char *typedDate; // 3 May 2026 as a clerk of the locale types it
};

const LocaleCase kLocales[] = {
    {"C", "$1,234,567.50", "5/3/2026", "5/3/26"},
    {"en_US.UTF-8", "$1,234,567.50", "5/3/2026", "05/03/2026"},
    {"en_GB.UTF-8", "$1,234,567.50", "3/5/2026", "3/5/2026"},
    {"en_CA.UTF-8", "$1,234,567.50", "2026-5-3", "2026-05-03"},
    {"de_DE.UTF-8", "$1.234.567,50", "3.5.2026", "03.05.2026"},
    {"fr_FR.UTF-8", "$1\u202F234\u202F567,50", "3/5/2026", "03/05/2026"},
    // No thousands separator in the locale: grouping must not fall back on
    // the comma, its decimal separator.
    {"pt_PT.UTF-8", "$1\u00A0234\u00A0567,50", "3/5/2026", "03/05/2026"},
    {"ja_JP.UTF-8", "$1,234,567.50", "2026/5/3", "2026年05月03日"},
};

void PrintTo(const LocaleCase &c, std::ostream *out)
{
    *out << c.name;
}

bool installed(const char *name)
{
#ifdef _WIN32
    // Windows carries every locale's conventions.
    static_cast<void>(name);
    return true;
#else
    locale_t locale = newlocale(LC_ALL_MASK, name, nullptr);
    if (locale)
        freelocale(locale);
    return locale != nullptr;
#endif
}

class LocaleMatrix : public ::testing::TestWithParam<LocaleCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(installed(GetParam().name))
            << GetParam().name << " is not installed; script/bootstrap installs locales-all";
        locale = namedLocale(GetParam().name);
    }
    LocaleSettings locale;
};

// Values around every place a figure can go wrong: the worked examples,
// half-cent ties, carries, the thousands boundaries and large figures.
std::vector<long double> figureValues()
{
    std::vector<long double> values = {
        0.0L, 0.004L, 0.005L, -0.005L, 0.125L, 2.675L, 1.005L, 5.5L, 277.0L, 841.0L, 999.995L,
        1000.0L, 1234.5L, -1234.5L, 1234.567L, 12345678.90L, 250000000.0L, 999999999999.99L,
        1e12L, -1e12L, 123456789012345678.0L, 999999999999999999.0L, 999999999999999999.7L,
        1e18L, -1e18L, 1.5e20L, 0.841L, 0.0625L, 1.0L / 3.0L, 2921573.0L, -2921573.0L,
    };
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    for (int exponent = -3; exponent <= 19; ++exponent)
        for (int i = 0; i < 200; ++i)
            values.push_back(static_cast<long double>(mantissa(random)) * std::pow(10.0L, exponent));
    // Exact half cents, which a binary fraction can only approach.
    for (int cents = 0; cents < 400; ++cents)
        values.push_back((cents + 0.5L) / 100.0L);
    return values;
}

TEST_P(LocaleMatrix, EveryFormatsTextReadsBackAsTheSameText)
{
    const std::vector<long double> values = figureValues();
    for (const std::string_view format : {kAmountFormat, kShortRateFormat, kProRataFormat, kDaysFormat}) {
        const DisplayFormat compiled(format);
        for (const long double value : values) {
            const std::string shown = compiled.format(value, locale);
            const std::optional<long double> read = ParseText(shown, locale);
            ASSERT_TRUE(read.has_value()) << format << " shows " << shown;
            // Entering and leaving a field without typing changes nothing.
            ASSERT_EQ(compiled.format(*read, locale), shown) << format << " value " << double(value);
        }
    }
}

TEST_P(LocaleMatrix, GroupsWithACharacterOtherThanTheDecimalSeparator)
{
    EXPECT_NE(locale.thousandSeparator, locale.decimalSeparator);
    EXPECT_EQ(FormatText(1234567.5L, kAmountFormat, locale), GetParam().amount);
}

TEST_P(LocaleMatrix, AmountsAsShownAreAmountsToTheCommandLine)
{
    for (const long double value : figureValues()) {
        const std::string shown = FormatText(value, kAmountFormat, locale);
        if (shown.find('E') != std::string::npos)
            continue; // the general form of huge figures is for display, not for typing
        const std::optional<long double> amount = ParseAmount(shown, locale);
        ASSERT_TRUE(amount.has_value()) << shown;
        EXPECT_EQ(*amount, *ParseText(shown, locale)) << shown;
    }
}

TEST_P(LocaleMatrix, DateFieldTextReadsBackAsTheSameDay)
{
    EXPECT_EQ(DateFieldText(46145, locale), GetParam().date);
    EXPECT_EQ(TryParseShortDate(GetParam().typedDate, locale, kToday), 46145);
    for (int day = kFirstWritableDayNumber; day <= kLastDayNumber; day += 97)
        ASSERT_EQ(TryParseShortDate(DateFieldText(day, locale), locale, kToday), day) << DateFieldText(day, locale);
    for (const int day : {kFirstWritableDayNumber, 0, 46145, 46363, kLastDayNumber})
        EXPECT_EQ(TryParseShortDate(DateFieldText(day, locale), locale, kToday), day);
    // The text the fields start with reads back too.
    for (int day = 46023; day < 46023 + 366; ++day) // every day of 2026
        ASSERT_EQ(TryParseShortDate(StartupDateText(day, locale, kToday), locale, kToday), day)
            << StartupDateText(day, locale, kToday);
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleMatrix, ::testing::ValuesIn(kLocales),
                         [](const ::testing::TestParamInfo<LocaleCase> &param) {
                             std::string name = param.param.name;
                             return name.substr(0, name.find('.'));
                         });

} // namespace

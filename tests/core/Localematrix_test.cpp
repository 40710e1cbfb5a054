// The figures and dates of every locale a clerk may run the program in, read from the installed locales: whatever
// a field shows must read back as what it shows, and whatever a date field writes as the same day.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#ifndef _WIN32
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#endif
#include <random>
#include <string>
#include <vector>

#include "Dispfmt.h"
#include "Localeset.h"
#include "Shortdate.h"
#include "../support/Locales.h"
#include "../support/Testsupport.h"

using namespace quillon;

namespace {

constexpr int kToday = 46363; // 12/7/2026

// 1234567.5 through the amount format; 3 May 2026 in the date field's text form and as a clerk types it.
struct LocaleCase { const char *name, *amount, *date, *typedDate; };

const LocaleCase kLocales[] = {
    {"C", "$1,234,567.50", "5/3/2026", "5/3/26"},
    {"en_US.UTF-8", "$1,234,567.50", "5/3/2026", "05/03/2026"},
    {"en_GB.UTF-8", "$1,234,567.50", "3/5/2026", "3/5/2026"},
    {"en_CA.UTF-8", "$1,234,567.50", "2026-5-3", "2026-05-03"},
    {"de_DE.UTF-8", "$1.234.567,50", "3.5.2026", "03.05.2026"},
    {"fr_FR.UTF-8", "$1\u202F234\u202F567,50", "3/5/2026", "03/05/2026"},
    // No thousands separator in the locale: grouping must not fall back on the comma, its decimal separator.
    {"pt_PT.UTF-8", "$1\u00A0234\u00A0567,50", "3/5/2026", "03/05/2026"},
    // Grouped 12,34,567 and 1’234’567; then legacy character sets (KOI8-R, EUC-JP).
    {"en_IN.UTF-8", "$1,234,567.50", "3/5/2026", "03/05/26"},
    {"de_CH.UTF-8", "$1\u2019234\u2019567.50", "3.5.2026", "03.05.2026"},
    {"ru_RU.koi8r", "$1\u00A0234\u00A0567,50", "3.5.2026", "03.05.2026"},
    {"ja_JP.eucjp", "$1,234,567.50", "2026/5/3", "2026年05月03日"},
    {"ja_JP.UTF-8", "$1,234,567.50", "2026/5/3", "2026年05月03日"},
#ifndef _WIN32
    // As the C library has them (Windows has other patterns); the Buddhist era's year as the locale writes it.
    {"th_TH.UTF-8", "$1,234,567.50", "3/5/2569", "03/05/2569"},
    {"ce_RU.UTF-8", "$1\u202F234\u202F567,50", "2026.3.5", "2026.03.05"}, // year, day, month
    {"en_HK.UTF-8", "$1,234,567.50", "5,3,2026", "Sunday, May 03, 2026"},
    {"ar_EG.UTF-8", "$1,234,567.50", "3/5/2026", "03 ماي, 2026"},
    {"eu_ES.UTF-8", "$1.234.567,50", "2026.5.3", "ig., 2026.eko mairen 03a"},
    {"fa_IR.UTF-8", "$1,234,567.50", "2026/5/3", "۲۶/۰۵/۰۳"}, // Persian digits
    {"bo_CN.UTF-8", "$1,234,567.50", "2026/5/3", "པསྱི་ལོ26ཟལ05ཚེས03"},
#endif
};

QUILLON_PRINTS_BY_NAME(LocaleCase)

#ifndef _WIN32
// A grouped amount as the C library writes it under `locale`, in the locale's own character set.
std::string cLibraryGrouped(locale_t locale, long double value)
{
    char text[64];
    const locale_t previous = uselocale(locale);
    const char *grouped = "%'.2Lf"; // POSIX's flag, which ISO C++ does not know
    std::snprintf(text, sizeof text, grouped, value);
    uselocale(previous);
    return text;
}

bool installed(const char *name)
{
    locale_t locale = newlocale(LC_ALL_MASK, name, nullptr);
    if (locale)
        freelocale(locale);
    return locale != nullptr;
}
#else
bool installed(const char *) { return true; } // Windows carries every locale's conventions
#endif

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

// Values around every place a figure can go wrong: the worked examples, half-cent ties, carries, the thousands
// boundaries and large figures.
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
    for (int cents = 0; cents < 400; ++cents) // exact half cents, which a binary fraction can only approach
        values.push_back((cents + 0.5L) / 100.0L);
    return values;
}

TEST_P(LocaleMatrix, EveryFormatsTextReadsBackAsTheSameText)
{
    // Grouped with a character other than the decimal separator (Windows' fr-FR groups with a no-break
    // space, glibc's with a narrow one).
#ifdef _WIN32
    const bool windowsFrench = std::string_view(GetParam().name) == "fr_FR.UTF-8";
#else
    const bool windowsFrench = false;
#endif
    EXPECT_EQ(FormatText(1234567.5L, kAmountFormat, locale),
              windowsFrench ? "$1\xC2\xA0" "234\xC2\xA0" "567,50" : std::string(GetParam().amount));
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

#ifndef _WIN32
// `value` as the C library groups it under the named locale, in UTF-8.
std::string cLibraryAmount(const char *name, long double value)
{
    const locale_t locale = newlocale(LC_ALL_MASK, name, nullptr);
    std::string text = cLibraryGrouped(locale, value);
    char utf8[256], *in = text.data(), *out = utf8;
    std::size_t inLeft = text.size(), outLeft = sizeof utf8;
    const iconv_t convert = iconv_open("UTF-8", nl_langinfo_l(CODESET, locale));
    iconv(convert, &in, &inLeft, &out, &outLeft);
    iconv_close(convert);
    freelocale(locale);
    return std::string(utf8, out);
}
#endif

TEST_P(LocaleMatrix, AmountsAsShownAreAmountsToTheCommandLine)
{
#ifndef _WIN32
    for (const long double value : {1234567.5L, -123456789012.25L, 0.5L}) // as the C library groups them
        EXPECT_EQ(ParseAmount(cLibraryAmount(GetParam().name, value), locale), value);
#endif
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

#ifndef _WIN32
std::vector<std::string> installedLocales()
{
    std::vector<std::string> names;
    FILE *list = popen("locale -a", "r");
    char line[256];
    while (list && std::fgets(line, sizeof line, list))
        if (const std::string name(line, std::strcspn(line, "\n")); installed(name.c_str()))
            names.push_back(name);
    if (list)
        pclose(list);
    return names;
}

// Every locale the system has, in every character set: its own short date (%x), in the bytes its terminal would
// type, and its own grouped amount read back as what they mean, and the fields' texts as themselves.
TEST(EveryLocale, ReadsItsOwnDatesAndAmountsAsWhatTheyMean)
{
    const std::vector<std::string> names = installedLocales();
    EXPECT_GT(names.size(), 450u) << "script/bootstrap installs locales-all";
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        const LocaleSettings settings = namedLocale(name.c_str());
        const locale_t locale = newlocale(LC_ALL_MASK, name.c_str(), nullptr);
        std::string converted;
        for (int day = 45351; day < 45351 + 4 * 366; day += 13) { // from 29 February 2024
            const std::chrono::year_month_day date = DateOfDayNumber(day);
            std::tm time{};
            time.tm_year = int(date.year()) - 1900;
            time.tm_mon = int(unsigned(date.month())) - 1;
            time.tm_mday = int(unsigned(date.day()));
            time.tm_wday = DayOfWeek(day) - 1;
            char text[256];
            strftime_l(text, sizeof text, "%x", &time, locale);
            ASSERT_EQ(TryParseShortDate(TypedText(text, settings, converted), settings, kToday), day) << text;
            ASSERT_EQ(TryParseShortDate(DateFieldText(day, settings), settings, kToday), day);
            ASSERT_EQ(TryParseShortDate(StartupDateText(day, settings, kToday), settings, kToday), day);
        }
        const std::string amount = cLibraryGrouped(locale, -1234567.5L);
        EXPECT_EQ(ParseAmount(TypedText(amount, settings, converted), settings), -1234567.5L) << amount;
        for (const std::string_view format : {kAmountFormat, kShortRateFormat, kProRataFormat, kDaysFormat})
            for (const long double value : {-1234567.5L, 0.005L, 999999999999.99L, 0.841L})
                EXPECT_EQ(FormatText(*ParseText(FormatText(value, format, settings), settings), format, settings),
                          FormatText(value, format, settings));
        freelocale(locale);
    }
}
#endif

INSTANTIATE_TEST_SUITE_P(Locales, LocaleMatrix, ::testing::ValuesIn(kLocales),
                         [](const ::testing::TestParamInfo<LocaleCase> &param) {
                             std::string name = param.param.name;
                             if (const std::size_t dot = name.find('.'); dot != std::string::npos)
                                 name = name.ends_with(".UTF-8") ? name.substr(0, dot) : name.replace(dot, 1, "_");
                             return name;
                         });

} // namespace

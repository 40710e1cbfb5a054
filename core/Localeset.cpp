#include "Localeset.h"

#include <cctype>
#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

namespace {

// The locale name that governs a category, by the POSIX precedence rules.
std::string effectiveLocaleName(const char *category)
{
    for (const char *variable : {"LC_ALL", category, "LANG"}) {
        const char *value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return "C";
}

bool isDefaultLocale(const std::string &name)
{
    return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

#ifdef _WIN32

// Windows keeps the user's conventions in its own locale settings; a locale
// variable, as the tests set it, still chooses the locale by its POSIX name
// ("de_DE.UTF-8" is "de-DE"), as on Linux.
std::wstring windowsLocaleName(const char *category)
{
    bool named = false;
    for (const char *variable : {"LC_ALL", category, "LANG"}) {
        const char *value = std::getenv(variable);
        named = named || (value && *value);
    }
    if (!named)
        return std::wstring(); // the user's own settings
    const std::string name = effectiveLocaleName(category);
    if (isDefaultLocale(name))
        return L"C";
    std::wstring wide;
    for (const char c : name) {
        if (c == '.' || c == '@')
            break;
        wide += c == '_' ? L'-' : wchar_t(static_cast<unsigned char>(c));
    }
    return IsValidLocaleName(wide.c_str()) ? wide : L"C";
}

std::string info(const std::wstring &locale, LCTYPE item)
{
    const wchar_t *name = locale.empty() ? LOCALE_NAME_USER_DEFAULT : locale.c_str();
    wchar_t value[256];
    const int length = GetLocaleInfoEx(name, item, value, int(std::size(value)));
    if (length <= 1)
        return "";
    const int size = WideCharToMultiByte(CP_UTF8, 0, value, length - 1, nullptr, 0, nullptr, nullptr);
    std::string text(std::size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, value, length - 1, text.data(), size, nullptr, nullptr);
    return text;
}

// "dd.MM.yyyy" (Windows' own pattern letters, with 'quoted' text) in the
// form of a POSIX date format, which ApplyPosixDateFormat reads.
std::string posixDateFormat(const std::string &windows)
{
    std::string posix;
    for (std::size_t i = 0; i < windows.size();) {
        const char c = windows[i];
        std::size_t run = 1;
        while (i + run < windows.size() && windows[i + run] == c)
            ++run;
        if (c == '\'') {
            const std::size_t close = windows.find('\'', i + 1);
            posix += windows.substr(i + 1, (close == std::string::npos ? windows.size() : close) - i - 1);
            i = close == std::string::npos ? windows.size() : close + 1;
            continue;
        }
        switch (c) {
        case 'd': posix += run == 1 ? "%-d" : run == 2 ? "%d" : run == 3 ? "%a" : "%A"; break;
        case 'M': posix += run == 1 ? "%-m" : run == 2 ? "%m" : run == 3 ? "%b" : "%B"; break;
        case 'y': posix += run <= 2 ? "%y" : "%Y"; break;
        case 'g': break; // the era, which no date field shows
        case '%': posix += std::string(run * 2, '%'); break;
        default: posix += std::string(run, c); break;
        }
        i += run;
    }
    return posix;
}

void readNumbers(LocaleSettings &settings)
{
    const std::wstring locale = windowsLocaleName("LC_NUMERIC");
    if (locale == L"C")
        return;
    const std::string decimal = info(locale, LOCALE_SDECIMAL);
    const std::string thousands = info(locale, LOCALE_STHOUSAND);
    if (!decimal.empty())
        settings.decimalSeparator = decimal;
    if (!thousands.empty())
        settings.thousandSeparator = thousands;
    if (settings.thousandSeparator == settings.decimalSeparator)
        settings.thousandSeparator = "\u00A0";
}

void readDates(LocaleSettings &settings)
{
    const std::wstring locale = windowsLocaleName("LC_TIME");
    if (locale == L"C")
        return;
    ApplyPosixDateFormat(settings, posixDateFormat(info(locale, LOCALE_SSHORTDATE)));
    for (int i = 0; i < 12; ++i) {
        settings.longMonthNames[std::size_t(i)] = info(locale, LCTYPE(LOCALE_SMONTHNAME1 + i));
        settings.shortMonthNames[std::size_t(i)] = info(locale, LCTYPE(LOCALE_SABBREVMONTHNAME1 + i));
    }
    // Windows counts the days from Monday, the pattern's names from Sunday.
    for (int i = 0; i < 7; ++i) {
        settings.longDayNames[std::size_t((i + 1) % 7)] = info(locale, LCTYPE(LOCALE_SDAYNAME1 + i));
        settings.shortDayNames[std::size_t((i + 1) % 7)] = info(locale, LCTYPE(LOCALE_SABBREVDAYNAME1 + i));
    }
}

#else

std::string info(locale_t locale, nl_item item)
{
    const char *value = nl_langinfo_l(item, locale);
    return value ? value : "";
}

void readNumbers(LocaleSettings &settings)
{
    if (isDefaultLocale(effectiveLocaleName("LC_NUMERIC")))
        return;
    locale_t locale = newlocale(LC_NUMERIC_MASK, "", nullptr);
    if (!locale)
        return;
    const std::string decimal = info(locale, RADIXCHAR);
    const std::string thousands = info(locale, THOUSEP);
    if (!decimal.empty())
        settings.decimalSeparator = decimal;
    // A locale that does not group keeps the default separator; grouping is
    // the display format's choice, not the locale's.
    if (!thousands.empty())
        settings.thousandSeparator = thousands;
    // Where the default comma is the locale's decimal separator, grouping
    // with it would write 1,234,567,00: group with a no-break space instead,
    // as such locales print large figures.
    if (settings.thousandSeparator == settings.decimalSeparator)
        settings.thousandSeparator = "\u00A0";
    freelocale(locale);
}

void readDates(LocaleSettings &settings)
{
    if (isDefaultLocale(effectiveLocaleName("LC_TIME")))
        return;
    locale_t locale = newlocale(LC_TIME_MASK, "", nullptr);
    if (!locale)
        return;
    ApplyPosixDateFormat(settings, info(locale, D_FMT));
    for (int i = 0; i < 12; ++i) {
        settings.longMonthNames[std::size_t(i)] = info(locale, nl_item(MON_1 + i));
        settings.shortMonthNames[std::size_t(i)] = info(locale, nl_item(ABMON_1 + i));
    }
    for (int i = 0; i < 7; ++i) {
        settings.longDayNames[std::size_t(i)] = info(locale, nl_item(DAY_1 + i));
        settings.shortDayNames[std::size_t(i)] = info(locale, nl_item(ABDAY_1 + i));
    }
    freelocale(locale);
}

#endif

} // namespace

void ApplyPosixDateFormat(LocaleSettings &settings, const std::string &posixFormat)
{
    std::string pattern;
    char separator = 0;
    for (std::size_t i = 0; i < posixFormat.size(); ++i) {
        const char c = posixFormat[i];
        if (c != '%') {
            // The first punctuation between fields is the date separator, which
            // the pattern spells '/'.
            // Only ASCII punctuation qualifies: a byte of a multi-byte character
            // cannot separate typed numbers.
            const auto byte = static_cast<unsigned char>(c);
            if (!separator && byte < 0x80 && std::ispunct(byte))
                separator = c;
            pattern += c == separator ? '/' : c;
            continue;
        }
        if (++i >= posixFormat.size())
            break;
        char directive = posixFormat[i];
        bool padded = true;
        if (directive == '-' && i + 1 < posixFormat.size()) {
            padded = false;
            directive = posixFormat[++i];
        }
        switch (directive) {
        case 'd': pattern += padded ? "dd" : "d"; break;
        case 'e': pattern += "d"; break;
        case 'm': pattern += padded ? "mm" : "m"; break;
        case 'y': pattern += "yy"; break;
        case 'Y': pattern += "yyyy"; break;
        case 'b':
        case 'h': pattern += "mmm"; break;
        case 'B': pattern += "mmmm"; break;
        case 'a': pattern += "ddd"; break;
        case 'A': pattern += "dddd"; break;
        case '%': pattern += '%'; break;
        default: break;
        }
    }
    if (pattern.find_first_of("dDmMyY") == std::string::npos)
        return; // nothing usable: keep the defaults
    settings.shortDatePattern = pattern;
    if (separator)
        settings.dateSeparator = separator;
}

LocaleSettings ReadSystemLocaleSettings()
{
    LocaleSettings settings;
    readNumbers(settings);
    readDates(settings);
    return settings;
}

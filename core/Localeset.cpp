#include "Localeset.h"

#include <cctype>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>

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

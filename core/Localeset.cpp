#include "Localeset.h"

#include "Platform.h"

#include <cctype>
#include <cstdlib>
#include <optional>

namespace {

// The locale name that governs a category, by the POSIX precedence rules,
// or nothing where no variable names one.
std::optional<std::string> namedLocale(const char *category)
{
    for (const char *variable : {"LC_ALL", category, "LANG"}) {
        const char *value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return std::nullopt;
}

bool isDefaultLocale(const std::string &name)
{
    return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

void readNumbers(LocaleSettings &settings)
{
    const std::optional<std::string> name = namedLocale("LC_NUMERIC");
    if (name && isDefaultLocale(*name))
        return;
    const std::optional<quillon::platform::NumberWords> words = quillon::platform::LocaleNumberWords(name);
    if (!words)
        return;
    if (!words->decimal.empty())
        settings.decimalSeparator = words->decimal;
    // A locale that does not group keeps the default separator; grouping is
    // the display format's choice, not the locale's.
    if (!words->thousands.empty())
        settings.thousandSeparator = words->thousands;
    // Where the default comma is the locale's decimal separator, grouping
    // with it would write 1,234,567,00: group with a no-break space instead,
    // as such locales print large figures.
    if (settings.thousandSeparator == settings.decimalSeparator)
        settings.thousandSeparator = "\u00A0";
}

void readDates(LocaleSettings &settings)
{
    const std::optional<std::string> name = namedLocale("LC_TIME");
    if (name && isDefaultLocale(*name))
        return;
    const std::optional<quillon::platform::DateWords> words = quillon::platform::LocaleDateWords(name);
    if (!words)
        return;
    ApplyPosixDateFormat(settings, words->posixFormat);
    settings.longMonthNames = words->longMonths;
    settings.shortMonthNames = words->shortMonths;
    settings.longDayNames = words->longDays;
    settings.shortDayNames = words->shortDays;
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

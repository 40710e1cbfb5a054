#include "Localeset.h"

#include "Platform.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdlib>
#include <optional>

namespace quillon {

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

// Whether `text` is well-formed UTF-8.
bool validUtf8(std::string_view text)
{
    for (std::size_t i = 0, length = 0; i < text.size(); i += length)
        if ((length = WellFormedUtf8Length(text.substr(i))) == 0)
            return false;
    return true;
}

bool isDefaultLocale(const std::string &name)
{
    return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

// Notes a locale the environment names that the system cannot load (a slip
// such as en_UK for en_GB, or one not installed), once.
void noteUnavailable(const std::optional<std::string> &name, std::string &unavailable)
{
    if (name && unavailable.empty())
        unavailable = *name;
}

void readNumbers(LocaleSettings &settings, std::string &unavailable)
{
    const std::optional<std::string> name = namedLocale("LC_NUMERIC");
    if (name && isDefaultLocale(*name))
        return;
    const std::optional<quillon::platform::NumberWords> words = quillon::platform::LocaleNumberWords(name);
    if (!words)
        return noteUnavailable(name, unavailable);
    if (!words->decimal.empty())
        settings.decimalSeparator = words->decimal;
    // A locale that does not group keeps the default separator; grouping is
    // the display format's choice, not the locale's.
    if (!words->thousands.empty()) {
        settings.thousandSeparator = words->thousands;
        if (!words->grouping.empty())
            settings.digitGroups = words->grouping;
    }
    // Where the default comma is the locale's decimal separator, grouping
    // with it would write 1,234,567,00: group with a no-break space instead,
    // as such locales print large figures.
    if (settings.thousandSeparator == settings.decimalSeparator)
        settings.thousandSeparator = "\u00A0";
}

void readDates(LocaleSettings &settings, std::string &unavailable)
{
    const std::optional<std::string> name = namedLocale("LC_TIME");
    if (name && isDefaultLocale(*name))
        return;
    const std::optional<quillon::platform::DateWords> words = quillon::platform::LocaleDateWords(name);
    if (!words)
        return noteUnavailable(name, unavailable);
    // The era and the digits first: the date format is read through them.
    settings.eraYearOffset = words->eraYearOffset;
    settings.eraName = words->eraName;
    settings.altDigits = PlaceDigits(words->altDigits);
    settings.numberWords = NumberWords(words->altDigits);
    ApplyPosixDateFormat(settings, words->posixFormat);
    settings.longMonthNames = words->longMonths;
    settings.shortMonthNames = words->shortMonths;
    settings.longDayNames = words->longDays;
    settings.shortDayNames = words->shortDays;
}

// A POSIX date format as our pattern's pieces: a field's letters ("dd",
// "mmmm", "e") or literal text.
struct DatePiece
{
    std::string text;
    bool literal = false;
    bool numeric = false; // a day, month or year written as a number
};

class DatePieces
{
public:
    explicit DatePieces(bool era) : m_era(era) {}

    void read(std::string_view format)
    {
        for (std::size_t i = 0; i < format.size(); ++i) {
            if (format[i] != '%') {
                literal(std::string(1, format[i]));
                continue;
            }
            // Flags and a width, which change only the padding: "%-d", "%_2m".
            bool padded = true;
            while (i + 1 < format.size() && std::strchr("_-0^#", format[i + 1])) {
                padded = padded && format[i + 1] != '-' && format[i + 1] != '_';
                ++i;
            }
            while (i + 1 < format.size() && format[i + 1] >= '0' && format[i + 1] <= '9')
                ++i;
            char modifier = 0;
            if (i + 1 < format.size() && (format[i + 1] == 'E' || format[i + 1] == 'O'))
                modifier = format[++i];
            if (++i >= format.size())
                break;
            directive(format[i], modifier == 'E' && m_era, padded);
        }
    }
    std::vector<DatePiece> pieces() &&
    {
        // A century stands before its two-digit year ("%C%y", "%OC%Oy"); alone
        // it cannot be read, so it goes.
        std::vector<DatePiece> out;
        for (DatePiece &piece : m_pieces) {
            if (!out.empty() && out.back().text == "C" && piece.text == "yy")
                out.back().text = "yyyy";
            else
                out.push_back(std::move(piece));
        }
        std::erase_if(out, [](const DatePiece &piece) { return !piece.literal && piece.text == "C"; });
        return out;
    }

private:
    void directive(char c, bool era, bool padded)
    {
        switch (c) {
        case 'd': field(padded ? "dd" : "d", true); break;
        case 'e': field("d", true); break;
        case 'm': field(padded ? "mm" : "m", true); break;
        case 'y': field(era ? "e" : "yy", true); break;
        case 'Y':
            if (era)
                read("%EC %Ey");
            else
                field("yyyy", true);
            break;
        case 'C': field(era ? "g" : "C", !era); break;
        case 'b':
        case 'h': field("mmm", false); break;
        case 'B': field("mmmm", false); break;
        case 'a': field("ddd", false); break;
        case 'A': field("dddd", false); break;
        case 'D': read("%m/%d/%y"); break;
        case 'F': read("%Y-%m-%d"); break;
        case '%': literal("%"); break;
        default: break;
        }
    }
    void field(std::string letters, bool numeric) { m_pieces.push_back({std::move(letters), false, numeric}); }
    void literal(const std::string &text)
    {
        if (!m_pieces.empty() && m_pieces.back().literal)
            m_pieces.back().text += text;
        else
            m_pieces.push_back({text, true, false});
    }

    bool m_era;
    std::vector<DatePiece> m_pieces;
};

std::vector<DatePiece> datePieces(const std::string &format, bool era)
{
    DatePieces pieces(era);
    pieces.read(format);
    return std::move(pieces).pieces();
}

// The date separator is the punctuation that first follows a number of the
// date ("%d.%m.%Y", "%d. %m. %y", "%Y.%d.%m"): a comma after a name
// ("%d %b, %Y") or after a weekday ("%A, ...") separates no typed numbers.
char dateSeparator(const std::vector<DatePiece> &pieces)
{
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        if (!pieces[i].numeric || !pieces[i + 1].literal)
            continue;
        const std::string &text = pieces[i + 1].text;
        const std::size_t first = text.find_first_not_of(' ');
        const auto byte = static_cast<unsigned char>(first == std::string::npos ? 0 : text[first]);
        if (byte && byte < 0x80 && std::ispunct(byte) && byte != '\'' && byte != '"')
            return char(byte);
    }
    return '/';
}

// Literal text in our pattern: the separator as '/', and text that holds
// pattern letters, quotes or a slash that is not the separator in quotes
// ("%Y.eko" must not write an era year for its 'e').
std::string patternLiteral(const std::string &text, char separator)
{
    std::string out;
    std::string run;
    auto flush = [&] {
        const bool quote = std::any_of(run.begin(), run.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return (byte < 0x80 && std::isalpha(byte)) || c == '/' || c == '\'' || c == '"';
        });
        if (!quote) {
            out += run;
        } else {
            const char mark = run.find('"') == std::string::npos ? '"' : '\'';
            std::erase(run, mark);
            out += mark + run + mark;
        }
        run.clear();
    };
    for (const char c : text) {
        if (c == separator) {
            flush();
            out += '/';
        } else {
            run += c;
        }
    }
    flush();
    return out;
}

} // namespace

void ApplyPosixDateFormat(LocaleSettings &settings, const std::string &posixFormat)
{
    const std::vector<DatePiece> pieces = datePieces(posixFormat, settings.eraYearOffset.has_value());
    bool placed = false;
    for (const DatePiece &piece : pieces)
        placed = placed || (!piece.literal && piece.text.find_first_of("dmye") != std::string::npos
                            && piece.text != "ddd" && piece.text != "dddd");
    if (!placed)
        return; // nothing usable: keep the defaults
    const char separator = dateSeparator(pieces);
    std::string pattern;
    for (const DatePiece &piece : pieces)
        pattern += piece.literal ? patternLiteral(piece.text, separator) : piece.text;
    settings.shortDatePattern = pattern;
    settings.dateSeparator = separator;
}

std::size_t DigitAt(std::string_view text, std::size_t pos, const LocaleSettings &locale, char &digit)
{
    if (text[pos] >= '0' && text[pos] <= '9') {
        digit = text[pos];
        return 1;
    }
    for (std::size_t k = 0; k < locale.altDigits.size(); ++k) {
        const std::string &form = locale.altDigits[k];
        if (text.compare(pos, form.size(), form) == 0) {
            digit = char('0' + k);
            return form.size();
        }
    }
    return 0;
}

std::vector<std::string> PlaceDigits(const std::vector<std::string> &altDigits)
{
    if (altDigits.size() < 10)
        return {};
    // Zero alone, or twice where the locale pads to two places ("۰۰").
    const std::string &zero = altDigits[0];
    const std::size_t width = WellFormedUtf8Length(zero);
    const bool padded = width < zero.size() && zero == zero.substr(0, width) + zero.substr(0, width);
    const std::string pad = padded ? zero.substr(0, width) : std::string();
    std::vector<std::string> digits;
    for (std::size_t k = 0; k < 10; ++k) {
        const std::string &form = altDigits[k];
        if (form.compare(0, pad.size(), pad) != 0)
            return {};
        std::string digit = form.substr(pad.size());
        if (digit.empty() || WellFormedUtf8Length(digit) != digit.size() || (digit[0] >= '0' && digit[0] <= '9'))
            return {};
        for (const std::string &earlier : digits)
            if (earlier == digit)
                return {};
        digits.push_back(std::move(digit));
    }
    // Ten and on must be written place by place too; Chinese numerals (十,
    // 廿) are words, which no digit-by-digit reading gets right.
    for (std::size_t k = 10; k < altDigits.size() && k < 100; ++k)
        if (altDigits[k] != digits[k / 10] + digits[k % 10])
            return {};
    return digits;
}

std::vector<std::string> NumberWords(const std::vector<std::string> &altDigits)
{
    if (!PlaceDigits(altDigits).empty())
        return {};
    std::vector<std::string> words;
    for (const std::string &word : altDigits) {
        if (word.empty() || std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }))
            break;
        words.push_back(word);
    }
    // A few words are no numbering: a year needs its century's word.
    return words.size() >= 32 ? words : std::vector<std::string>();
}

LocaleSettings ReadSystemLocaleSettings()
{
    std::string unavailable;
    return ReadSystemLocaleSettings(unavailable);
}

LocaleSettings ReadSystemLocaleSettings(std::string &unavailable)
{
    LocaleSettings settings;
    readNumbers(settings, unavailable);
    readDates(settings, unavailable);
    if (const std::optional<std::string> name = namedLocale("LC_CTYPE"); name && !isDefaultLocale(*name))
        settings.typedCharset = quillon::platform::TypedCharset(name);
    return settings;
}

std::size_t WellFormedUtf8Length(std::string_view text)
{
    if (text.empty())
        return 0;
    const unsigned char c = static_cast<unsigned char>(text[0]);
    const std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
        : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0 || length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80)
            return 0;
    if (length > 2) {
        const unsigned char next = static_cast<unsigned char>(text[1]);
        if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next >= 0xA0) || (c == 0xF0 && next < 0x90)
            || (c == 0xF4 && next >= 0x90))
            return 0;
    }
    return length;
}

std::string_view TypedText(std::string_view text, const LocaleSettings &locale, std::string &converted)
{
    if (locale.typedCharset.empty() || validUtf8(text))
        return text;
    std::optional<std::string> utf8 = quillon::platform::CharsetToUtf8(text, locale.typedCharset);
    if (!utf8)
        return text;
    converted = std::move(*utf8);
    return converted;
}

} // namespace quillon

#include "Shortdate.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

#include "Asciicase.h"
#include "Messages.h"
#include "Platform.h"

namespace quillon {

using namespace std::chrono;

namespace {

std::optional<int> g_todayOverride;

enum class Part { Day, Month, Year };

} // namespace

// What the reader takes from a short date pattern: where each field stands
// and what text may stand between them.
struct DateLayout
{
    // The three numbers in the order the pattern writes them; a field the
    // pattern lacks follows in month-day-year order.
    std::array<Part, 3> order{Part::Month, Part::Day, Part::Year};
    int fields = 0;
    // Between the first and second, and the second and third field, the
    // pattern holds only spaces ("mmm dd yyyy"), so spaces separate them.
    std::array<bool, 2> spacedOnly{false, false};
    bool monthNames = false; // mmm or mmmm
    bool weekdays = false;   // ddd or dddd
    bool eraName = false;    // g
    bool eraYear = false;    // e
    bool eraFirst = false;   // the pattern begins with g
    // The pattern's own text between and after its fields, and before them.
    std::vector<std::string> literals;
    std::vector<std::string> leading;
    // Numbers and the separator only ("m/d/yy", "dd.mm.yyyy"): a date typed
    // as plain digits and separators is read without the general scanner.
    bool plain() const { return !monthNames && !weekdays && !eraName && !eraYear && literals.empty() && leading.empty(); }
};

// One number of a date, or a month's name in its place.
struct DateToken
{
    int value = 0;
    bool name = false;
    // Number words that split into two (century and year): their value as
    // a year, -1 where they do not.
    int year = -1;
};

namespace {

bool isPatternLetter(char c)
{
    const char lower = char(c | 0x20);
    return lower == 'd' || lower == 'm' || lower == 'y' || lower == 'e' || lower == 'g';
}

std::size_t runLength(std::string_view pattern, std::size_t i)
{
    const char lower = char(pattern[i] | 0x20);
    std::size_t n = 1;
    while (i + n < pattern.size() && char(pattern[i + n] | 0x20) == lower)
        ++n;
    return n;
}

class LayoutBuilder
{
public:
    explicit LayoutBuilder(char separator) : m_separator(separator) {}

    DateLayout build(std::string_view pattern)
    {
        m_layout.eraFirst = !pattern.empty() && (pattern[0] | 0x20) == 'g';
        for (std::size_t i = 0; i < pattern.size();) {
            const char c = pattern[i];
            if (c == '"' || c == '\'') {
                const std::size_t close = pattern.find(c, i + 1);
                const std::size_t stop = close == std::string_view::npos ? pattern.size() : close;
                m_text.append(pattern.substr(i + 1, stop - i - 1));
                i = stop + 1;
            } else if (isPatternLetter(c)) {
                const std::size_t n = runLength(pattern, i);
                field(char(c | 0x20), n);
                i += n;
            } else {
                m_text += c == '/' ? m_separator : c;
                ++i;
            }
        }
        flush();
        for (const Part part : {Part::Month, Part::Day, Part::Year})
            if (!placed(part))
                m_layout.order[std::size_t(m_layout.fields++)] = part;
        return m_layout;
    }

private:
    void field(char letter, std::size_t n)
    {
        const bool before = m_layout.fields == 0;
        flush(before);
        if (letter == 'g') {
            m_layout.eraName = true;
        } else if (letter == 'd' && n >= 3) {
            m_layout.weekdays = m_layout.weekdays || n <= 4;
        } else {
            const Part part = letter == 'd' ? Part::Day : letter == 'm' ? Part::Month : Part::Year;
            m_layout.monthNames = m_layout.monthNames || (part == Part::Month && n >= 3);
            m_layout.eraYear = m_layout.eraYear || (part == Part::Year && !placed(part) && letter == 'e');
            if (placed(part))
                return;
            if (m_layout.fields > 0 && m_spacesOnly)
                m_layout.spacedOnly[std::size_t(m_layout.fields - 1)] = true;
            m_layout.order[std::size_t(m_layout.fields++)] = part;
            m_spacesOnly = true;
            return;
        }
        m_spacesOnly = false; // a name stands between the numbers
    }
    // Ends the literal text before a field (or the pattern's end): spaces
    // trimmed, kept unless it is only the separator.
    void flush(bool before = false)
    {
        const std::size_t first = m_text.find_first_not_of(' ');
        if (first == std::string::npos) {
            m_text.clear();
            return;
        }
        m_spacesOnly = false;
        std::string literal = m_text.substr(first, m_text.find_last_not_of(' ') - first + 1);
        m_text.clear();
        // The separator between fields is read as the separator; before them
        // ("dddd, mmmm d, yyyy") it is text of the pattern.
        if (before)
            m_layout.leading.push_back(std::move(literal));
        else if (literal != std::string(1, m_separator))
            m_layout.literals.push_back(std::move(literal));
    }
    bool placed(Part part) const
    {
        for (int i = 0; i < m_layout.fields; ++i)
            if (m_layout.order[std::size_t(i)] == part)
                return true;
        return false;
    }

    char m_separator;
    DateLayout m_layout;
    std::string m_text;
    bool m_spacesOnly = false;
};

// Names compare with ASCII letters in either case: a clerk may type "feb".
bool startsWithName(std::string_view text, std::string_view name)
{
    return !name.empty() && EqualAsciiNoCase(text.substr(0, name.size()), name);
}

// Between two numbers: the separator or a text of the pattern (at most one
// of them), names the pattern writes there, and spaces.
struct DateGap
{
    bool mark = false;
    bool separator = false;
    bool spaced = false;
};

class DateScanner
{
public:
    DateScanner(std::string_view text, const LocaleSettings &locale, const DateLayout &layout)
        : m_text(text), m_locale(locale), m_layout(layout)
        , m_names(layout.weekdays || layout.monthNames || layout.eraName)
    {
    }

    void skipSpaces()
    {
        while (m_pos < m_text.size() && m_text[m_pos] == ' ')
            ++m_pos;
    }
    void skipToDigit()
    {
        char digit = 0;
        while (m_pos < m_text.size() && !DigitAt(m_text, m_pos, m_locale, digit))
            ++m_pos;
    }
    // Digits are taken while the value so far is below 1000, so at most 9999
    // can be read and a fifth significant digit is left over (leading zeros
    // do not count); an era year, which runs 543 years ahead, may take five.
    // The locale's own digits count as the digits they stand for.
    bool token(DateToken &token)
    {
        skipSpaces();
        if (m_layout.monthNames) {
            int longMonth = 0, shortMonth = 0;
            const std::size_t n = longestName(m_locale.longMonthNames, longMonth);
            const std::size_t s = longestName(m_locale.shortMonthNames, shortMonth);
            // A month's short name may be a number's word too (十二 under
            // lzh_TW): where the number reads as far, it is a number, and a
            // number stands in any field.
            const std::size_t start = m_pos;
            if (!m_locale.numberWords.empty() && words(token) && m_pos - start >= std::max(n, s))
                return true;
            m_pos = start;
            if (take(std::max(n, s))) {
                token = {n >= s ? longMonth : shortMonth, true};
                return true;
            }
        }
        const int limit = m_layout.eraYear && m_locale.eraYearOffset.value_or(0) > 0 ? 10000 : 1000;
        const std::size_t start = m_pos;
        int n = 0;
        while (m_pos < m_text.size() && n < limit) {
            const char c = m_text[m_pos];
            if (c >= '0' && c <= '9') {
                n = n * 10 + (c - '0');
                ++m_pos;
                continue;
            }
            char digit = 0;
            const std::size_t length = m_locale.altDigits.empty() ? 0 : DigitAt(m_text, m_pos, m_locale, digit);
            if (!length)
                break;
            n = n * 10 + (digit - '0');
            m_pos += length;
        }
        if (m_pos == start)
            return !m_locale.numberWords.empty() && words(token);
        token = {n, false};
        return true;
    }
    // Into a reference: flags returned by value are put together on the
    // stack a byte at a time and read back whole, which stalls the
    // processor, and a batch reads six gaps a row.
    void gap(bool leading, DateGap &gap)
    {
        gap = {};
        for (;;) {
            const std::size_t before = m_pos;
            skipSpaces();
            gap.spaced = gap.spaced || m_pos > before;
            // The pattern's text first: it may begin with the separator (".eko").
            if (!gap.mark && takeLiteral(leading ? m_layout.leading : m_layout.literals))
                gap.mark = true;
            else if (!gap.mark && !leading && m_pos < m_text.size() && m_text[m_pos] == m_locale.dateSeparator)
                gap.mark = gap.separator = take(1);
            else if (!m_names || !takeName())
                return;
        }
    }
    bool atEnd() const { return m_pos >= m_text.size(); }

private:
    std::string_view rest() const { return m_text.substr(m_pos); }
    // The number of the word that is all of `text`, or -1.
    int wordValue(std::string_view text) const
    {
        const auto &words = m_locale.numberWords;
        for (std::size_t i = 0; i < words.size(); ++i)
            if (words[i] == text)
                return int(i);
        return -1;
    }
    // A number in words: the longest run of the words' characters, whole as
    // one word, or split in two as a year writes its century and its own.
    bool words(DateToken &token)
    {
        std::size_t end = m_pos;
        for (bool more = true; more;) {
            more = false;
            const std::string_view at = m_text.substr(end);
            const std::string_view character = at.substr(0, WellFormedUtf8Length(at));
            for (const std::string &word : m_locale.numberWords) {
                if (!character.empty() && word.find(character) != std::string::npos) {
                    end += character.size();
                    more = true;
                    break;
                }
            }
        }
        const std::string_view run = m_text.substr(m_pos, end - m_pos);
        token = {wordValue(run), false, -1};
        // The run is whole characters of the words, each well formed.
        for (std::size_t cut = WellFormedUtf8Length(run), step = cut; step > 0 && cut < run.size();
             step = WellFormedUtf8Length(run.substr(cut)), cut += step) {
            const int century = wordValue(run.substr(0, cut));
            const int year = wordValue(run.substr(cut));
            if (century >= 0 && year >= 0 && year < 100) {
                token.year = century * 100 + year;
                break;
            }
        }
        if (token.value < 0 && token.year < 0)
            return false;
        m_pos = end;
        return true;
    }

    bool take(std::size_t n)
    {
        m_pos += n;
        return n > 0;
    }
    // A weekday or the era's name, where the pattern writes one.
    bool takeName()
    {
        int number = 0;
        const std::size_t weekday = m_layout.weekdays ? std::max(longestName(m_locale.longDayNames, number),
                                                                 longestName(m_locale.shortDayNames, number))
                                                      : 0;
        // A month's name may begin with a weekday's one-letter name (س).
        const std::size_t month = m_layout.monthNames ? std::max(longestName(m_locale.longMonthNames, number),
                                                                 longestName(m_locale.shortMonthNames, number))
                                                      : 0;
        if (weekday > month)
            return take(weekday);
        return m_layout.eraName && startsWithName(rest(), m_locale.eraName) && take(m_locale.eraName.size());
    }
    bool takeLiteral(const std::vector<std::string> &literals)
    {
        for (const std::string &literal : literals)
            if (startsWithName(rest(), literal))
                return take(literal.size());
        return false;
    }
    // The length of the longest of `names` at the position, and its number
    // from 1; 0 for none.
    template <std::size_t N>
    std::size_t longestName(const std::array<std::string, N> &names, int &number) const
    {
        std::size_t best = 0;
        for (std::size_t i = 0; i < N; ++i) {
            if (names[i].size() > best && startsWithName(rest(), names[i])) {
                best = names[i].size();
                number = int(i) + 1;
            }
        }
        return best;
    }

    std::string_view m_text;
    const LocaleSettings &m_locale;
    const DateLayout &m_layout;
    // Whether the pattern writes any name at all: most numeric dates have
    // none to look for between their numbers.
    const bool m_names;
    std::size_t m_pos = 0;
};

std::string twoDigits(unsigned value)
{
    return {char('0' + value / 10 % 10), char('0' + value % 10)};
}

// Built once for each pattern: a batch reads two dates a row in one locale.
std::shared_ptr<const DateLayout> dateLayout(const LocaleSettings &locale)
{
    // One layout for the whole process, shared by a batch's threads. No
    // thread_local: objects with destructors in thread storage crash a
    // MinGW-built program when a batch's worker threads end.
    struct Cached
    {
        std::string pattern;
        char separator = 0;
        std::shared_ptr<const DateLayout> layout;
    };
    static std::mutex mutex;
    static Cached cached;
    const std::lock_guard lock(mutex);
    if (!cached.layout || cached.pattern != locale.shortDatePattern || cached.separator != locale.dateSeparator) {
        cached.layout = std::make_shared<const DateLayout>(LayoutBuilder(locale.dateSeparator).build(locale.shortDatePattern));
        cached.pattern = locale.shortDatePattern;
        cached.separator = locale.dateSeparator;
    }
    return cached.layout;
}

} // namespace

int DayNumber(year_month_day date)
{
    return int((sys_days{date} - kDayZero).count());
}

year_month_day DateOfDayNumber(int day)
{
    return year_month_day{kDayZero + days{day}};
}

int DayOfWeek(int day)
{
    return int(weekday{kDayZero + days{day}}.c_encoding()) + 1;
}

bool IsLeapYear(int year)
{
    return std::chrono::year{year}.is_leap();
}

int DaysInMonth(int year, int month)
{
    const year_month_day_last monthEnd{std::chrono::year{year} / std::chrono::month{unsigned(month)} / std::chrono::last};
    return int(unsigned(monthEnd.day()));
}

ShortDateReader::ShortDateReader(const LocaleSettings &locale)
    : m_locale(locale)
    , m_layout(dateLayout(locale))
    , m_plain(m_layout->plain() && locale.altDigits.empty() && locale.numberWords.empty())
{
}

std::optional<int> TryParseShortDate(std::string_view text, const LocaleSettings &locale, int today)
{
    return ShortDateReader(locale).read(text, today);
}

namespace {

// Two or three runs of ASCII digits, each after the first behind one
// separator: most dates as they are typed and written ("12/31/2026"). They
// give the numbers the general scanner gives them; anything else, and a
// number the scanner would cut at four significant digits, is left to it.
bool plainTokens(std::string_view text, char separator, std::array<DateToken, 3> &tokens, int &count)
{
    std::size_t i = 0;
    for (count = 0; count < 3;) {
        const std::size_t start = i;
        int n = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            if (n >= 1000)
                return false;
            n = n * 10 + (text[i] - '0');
        }
        if (i == start)
            return false;
        tokens[std::size_t(count++)] = {n, false};
        if (i == text.size())
            return count >= 2;
        if (text[i++] != separator)
            return false;
    }
    return false;
}

} // namespace

int ShortDateReader::readDay(std::string_view text, int today) const
{
    const LocaleSettings &locale = m_locale;
    std::array<DateToken, 3> tokens;
    int count = 0;
    if (!m_plain || !plainTokens(text, locale.dateSeparator, tokens, count))
        return scanDay(text, today);
    return dayOf(tokens, count, today);
}

int ShortDateReader::scanDay(std::string_view text, int today) const
{
    std::array<DateToken, 3> tokens;
    const int count = scanTokens(text, tokens);
    return count == 0 ? kNoDay : dayOf(tokens, count, today);
}

int ShortDateReader::scanTokens(std::string_view text, std::array<DateToken, 3> &tokens) const
{
    const LocaleSettings &locale = m_locale;
    const DateLayout &layout = *m_layout;
    DateScanner scan(text, locale, layout);
    DateGap gap;
    if (layout.eraFirst)
        scan.skipToDigit(); // an era name before the date
    else
        scan.gap(true, gap);

    // Two numbers stand apart by a separator, the pattern's text or a month
    // name between them, or spaces where the pattern puts only spaces.
    auto joins = [&](int i) {
        return gap.mark || tokens[std::size_t(i)].name || tokens[std::size_t(i) + 1].name
            || (gap.spaced && layout.spacedOnly[std::size_t(i)]);
    };
    if (!scan.token(tokens[0]))
        return 0;
    scan.gap(false, gap);
    if (!scan.token(tokens[1]) || !joins(0))
        return 0;
    scan.gap(false, gap);
    int count = 2;
    if (scan.token(tokens[2])) {
        if (!joins(1))
            return 0;
        count = 3;
        scan.gap(false, gap);
    } else if (gap.separator) {
        return 0; // a separator after the second number demands a third
    }
    scan.skipSpaces();
    return scan.atEnd() ? count : 0;
}

int ShortDateReader::dayOf(const std::array<DateToken, 3> &tokens, int count, int today) const
{
    const LocaleSettings &locale = m_locale;
    const DateLayout &layout = *m_layout;
    // Two numbers are day and month in the order the pattern writes them.
    std::array<Part, 3> parts = layout.order;
    if (count == 2) {
        const auto at = [&](Part part) { return std::find(parts.begin(), parts.end(), part); };
        parts = at(Part::Day) < at(Part::Month) ? std::array{Part::Day, Part::Month, Part::Year}
                                                : std::array{Part::Month, Part::Day, Part::Year};
    }
    int y = 0, m = 0, d = 0;
    for (int i = 0; i < count; ++i) {
        const DateToken &token = tokens[std::size_t(i)];
        if (token.name && parts[std::size_t(i)] != Part::Month)
            return kNoDay;
        const int value = parts[std::size_t(i)] == Part::Year && token.year >= 0 ? token.year : token.value;
        if (value < 0)
            return kNoDay;
        (parts[std::size_t(i)] == Part::Day ? d : parts[std::size_t(i)] == Part::Month ? m : y) = value;
    }
    // An era year is read as the locale writes it, two digits in the era's
    // current century, and only then turned into the Gregorian year.
    const int offset = layout.eraYear ? locale.eraYearOffset.value_or(0) : 0;
    const auto currentYear = [today] { return int(DateOfDayNumber(today).year()); };
    if (count == 3) {
        // Two-digit years belong to the current century, whatever the digits.
        if (y <= 99)
            y += (currentYear() + offset) / 100 * 100;
        y -= offset;
    } else {
        y = currentYear();
    }
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
        return kNoDay;
    return DayNumber(std::chrono::year{y} / std::chrono::month{unsigned(m)} / std::chrono::day{unsigned(d)});
}

int ParseShortDate(std::string_view text, const LocaleSettings &locale, int today)
{
    if (const std::optional<int> day = TryParseShortDate(text, locale, today))
        return *day;
    throw ConversionError(Messages::InvalidDate(text));
}

std::string FormatDatePattern(int day, std::string_view pattern, const LocaleSettings &locale)
{
    const year_month_day date = DateOfDayNumber(day);
    const int year = int(date.year());
    const unsigned month = unsigned(date.month());
    const unsigned dayOfMonth = unsigned(date.day());
    std::string out;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '"' || c == '\'') {
            std::size_t close = pattern.find(c, i + 1);
            if (close == std::string_view::npos)
                close = pattern.size();
            out.append(pattern.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        const char letter = char(c | 0x20);
        if (!isPatternLetter(c)) {
            out += c == '/' ? locale.dateSeparator : c;
            ++i;
            continue;
        }
        const std::size_t n = runLength(pattern, i);
        switch (letter) {
        case 'y': {
            const std::string four = std::string(4 - std::to_string(year).size(), '0') + std::to_string(year);
            out += n <= 2 ? four.substr(2) : four;
            break;
        }
        case 'e': {
            // The era year as the C library writes it, padded only to the
            // letters' count.
            const std::string eraYear = std::to_string(year + locale.eraYearOffset.value_or(0));
            out += std::string(n > eraYear.size() ? n - eraYear.size() : 0, '0') + eraYear;
            break;
        }
        case 'g':
            out += locale.eraName;
            break;
        case 'm':
            if (n == 1)
                out += std::to_string(month);
            else if (n == 2)
                out += twoDigits(month);
            else if (n == 3)
                out += locale.shortMonthNames[month - 1];
            else
                out += locale.longMonthNames[month - 1];
            break;
        case 'd':
            if (n == 1)
                out += std::to_string(dayOfMonth);
            else if (n == 2)
                out += twoDigits(dayOfMonth);
            else if (n == 3)
                out += locale.shortDayNames[std::size_t(DayOfWeek(day) - 1)];
            else if (n == 4)
                out += locale.longDayNames[std::size_t(DayOfWeek(day) - 1)];
            else
                out += FormatDatePattern(day, locale.shortDatePattern, locale);
            break;
        }
        i += n;
    }
    return out;
}

std::string FormatShortDate(int day, const LocaleSettings &locale)
{
    return FormatDatePattern(day, locale.shortDatePattern, locale);
}

std::string DateFieldPattern(const LocaleSettings &locale)
{
    const std::shared_ptr<const DateLayout> shared = dateLayout(locale);
    const DateLayout &layout = *shared;
    std::string pattern;
    for (const Part part : layout.order) {
        if (!pattern.empty())
            pattern += '/';
        pattern += part == Part::Day ? "d" : part == Part::Month ? "m" : layout.eraYear ? "eeee" : "yyyy";
    }
    return pattern;
}

std::string DateFieldText(int day, const LocaleSettings &locale)
{
    return FormatDatePattern(day, DateFieldPattern(locale), locale);
}

std::string StartupDateText(int day, const LocaleSettings &locale, int today)
{
    std::string text = FormatShortDate(day, locale);
    if (TryParseShortDate(text, locale, today) == day)
        return text;
    return DateFieldText(day, locale);
}

int Today()
{
    if (g_todayOverride)
        return *g_todayOverride;
    const std::tm local = quillon::platform::LocalTime(std::time(nullptr));
    return DayNumber(std::chrono::year{local.tm_year + 1900} / std::chrono::month{unsigned(local.tm_mon + 1)}
                     / std::chrono::day{unsigned(local.tm_mday)});
}

void SetTodayForTesting(std::optional<int> day)
{
    g_todayOverride = day;
}

} // namespace quillon

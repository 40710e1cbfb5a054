#include "Shortdate.h"

#include <ctime>
#include <vector>

#include "Messages.h"
#include "Platform.h"

using namespace std::chrono;

namespace {

std::optional<int> g_todayOverride;

enum class DateOrder { MDY, DMY, YMD };

DateOrder dateOrder(std::string_view pattern)
{
    for (const char c : pattern) {
        switch (c) {
        case 'd': case 'D': return DateOrder::DMY;
        case 'm': case 'M': return DateOrder::MDY;
        case 'y': case 'Y': case 'e': case 'E': return DateOrder::YMD;
        default: break;
        }
    }
    return DateOrder::MDY;
}

bool isFieldLetter(char c)
{
    const char lower = char(c | 0x20);
    return lower == 'd' || lower == 'm' || lower == 'y';
}

// Whether the pattern holds text other than its fields, '/' and spaces.
bool hasLiterals(std::string_view pattern)
{
    for (const char c : pattern)
        if (!isFieldLetter(c) && c != '/' && c != ' ')
            return true;
    return false;
}

// The texts between (and after) the pattern's fields, '/' written as the
// separator and spaces trimmed, skipping those that are only a separator.
std::vector<std::string> patternLiterals(std::string_view pattern, char separator)
{
    std::vector<std::string> literals;
    std::string current;
    auto flush = [&] {
        const std::size_t first = current.find_first_not_of(' ');
        const std::size_t last = current.find_last_not_of(' ');
        if (first != std::string::npos) {
            std::string literal = current.substr(first, last - first + 1);
            if (literal != std::string(1, separator))
                literals.push_back(std::move(literal));
        }
        current.clear();
    };
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (isFieldLetter(c)) {
            flush();
        } else if (c == '"' || c == '\'') {
            const std::size_t close = pattern.find(c, i + 1);
            const std::size_t stop = close == std::string_view::npos ? pattern.size() : close;
            current.append(pattern.substr(i + 1, stop - i - 1));
            i = stop;
        } else {
            current += c == '/' ? separator : c;
        }
    }
    flush();
    return literals;
}

class DateScanner
{
public:
    explicit DateScanner(std::string_view text) : m_text(text) {}

    void skipSpaces()
    {
        while (m_pos < m_text.size() && m_text[m_pos] == ' ')
            ++m_pos;
    }
    void skipToDigit()
    {
        while (m_pos < m_text.size() && !isDigit(m_text[m_pos]))
            ++m_pos;
    }
    // Digits are taken while the value so far is below 1000, so at most 9999
    // can be read and a fifth significant digit is left over (leading zeros
    // do not count). Result fits easily in an int.
    bool number(int &value)
    {
        skipSpaces();
        const std::size_t start = m_pos;
        int n = 0;
        while (m_pos < m_text.size() && isDigit(m_text[m_pos]) && n < 1000) {
            n = n * 10 + (m_text[m_pos] - '0');
            ++m_pos;
        }
        if (m_pos == start)
            return false;
        value = n;
        return true;
    }
    bool separator(char c)
    {
        skipSpaces();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    // The date separator, or any literal text of the locale's pattern that
    // stands between its fields (2026年12月7日), so that a date written in the
    // locale's own pattern always reads back.
    bool separator(char c, std::string_view pattern)
    {
        m_literal = false;
        if (separator(c))
            return true;
        if (!hasLiterals(pattern))
            return false;
        for (const std::string &literal : patternLiterals(pattern, c)) {
            if (m_text.substr(m_pos, literal.size()) == literal) {
                m_pos += literal.size();
                m_literal = true;
                return true;
            }
        }
        return false;
    }
    // Whether the last separator taken was the pattern's literal text, which
    // may also close a date ("12月7日").
    bool tookLiteral() const { return m_literal; }
    bool atEnd() const { return m_pos >= m_text.size(); }

private:
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    std::string_view m_text;
    std::size_t m_pos = 0;
    bool m_literal = false;
};

std::string twoDigits(unsigned value)
{
    return {char('0' + value / 10 % 10), char('0' + value % 10)};
}

std::size_t runLength(std::string_view pattern, std::size_t i)
{
    const char lower = char(pattern[i] | 0x20);
    std::size_t n = 1;
    while (i + n < pattern.size() && char(pattern[i + n] | 0x20) == lower)
        ++n;
    return n;
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

std::optional<int> TryParseShortDate(std::string_view text, const LocaleSettings &locale, int today)
{
    const std::string_view pattern = locale.shortDatePattern;
    const DateOrder order = dateOrder(pattern);
    const char separator = locale.dateSeparator;
    DateScanner scan(text);
    if (!pattern.empty() && (pattern[0] == 'g' || pattern[0] == 'G'))
        scan.skipToDigit(); // an era name before the date

    int n1 = 0, n2 = 0, n3 = 0;
    if (!scan.number(n1) || !scan.separator(separator, pattern) || !scan.number(n2))
        return std::nullopt;
    const int currentYear = int(DateOfDayNumber(today).year());
    int y = 0, m = 0, d = 0;
    bool three = scan.separator(separator, pattern);
    if (three && !scan.number(n3)) {
        scan.skipSpaces();
        if (!scan.tookLiteral() || !scan.atEnd())
            return std::nullopt;
        three = false;
    }
    if (three) {
        switch (order) {
        case DateOrder::MDY: y = n3; m = n1; d = n2; break;
        case DateOrder::DMY: y = n3; m = n2; d = n1; break;
        case DateOrder::YMD: y = n1; m = n2; d = n3; break;
        }
        // Two-digit years belong to the current century, whatever the digits.
        if (y <= 99)
            y += currentYear / 100 * 100;
    } else {
        y = currentYear;
        if (order == DateOrder::DMY) {
            d = n1;
            m = n2;
        } else {
            m = n1;
            d = n2;
        }
    }
    scan.separator(separator, pattern);
    scan.skipSpaces();
    if (!scan.atEnd())
        return std::nullopt;
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
        return std::nullopt;
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
        if (letter != 'y' && letter != 'm' && letter != 'd') {
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

std::string_view DateFieldPattern(const LocaleSettings &locale)
{
    switch (dateOrder(locale.shortDatePattern)) {
    case DateOrder::DMY: return "d/m/yyyy";
    case DateOrder::YMD: return "yyyy/m/d";
    case DateOrder::MDY: break;
    }
    return "m/d/yyyy";
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

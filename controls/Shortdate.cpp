#include "Shortdate.h"

#include <ctime>

#include "Messages.h"

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
    bool atEnd() const { return m_pos >= m_text.size(); }

private:
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    std::string_view m_text;
    std::size_t m_pos = 0;
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
    if (!scan.number(n1) || !scan.separator(separator) || !scan.number(n2))
        return std::nullopt;
    const int currentYear = int(DateOfDayNumber(today).year());
    int y = 0, m = 0, d = 0;
    if (scan.separator(separator)) {
        if (!scan.number(n3))
            return std::nullopt;
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
    scan.separator(separator);
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

std::string DateFieldText(int day, const LocaleSettings &locale)
{
    if (day == 0)
        return {};
    return FormatDatePattern(day, "m/d/yyyy", locale);
}

int Today()
{
    if (g_todayOverride)
        return *g_todayOverride;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return DayNumber(std::chrono::year{local.tm_year + 1900} / std::chrono::month{unsigned(local.tm_mon + 1)}
                     / std::chrono::day{unsigned(local.tm_mday)});
}

void SetTodayForTesting(std::optional<int> day)
{
    g_todayOverride = day;
}

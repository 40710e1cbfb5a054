#include "Ratetable.h"

#include <charconv>

#include "Asciicase.h"
#include "Filewrite.h"
#include "Messages.h"
#include "Platform.h"

namespace quillon {

namespace {

constexpr int kMaxMonths = 60;
constexpr int kMaxDay = 36600; // a hundred years: a bound on the memory a table takes
constexpr std::size_t kMaxFileBytes = std::size_t(1) << 20;

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::optional<int> wholeNumber(std::string_view text, int max)
{
    int value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 0 || value > max)
        return std::nullopt;
    return value;
}

// "a,b" split at its one comma, each side trimmed.
std::optional<std::pair<std::string_view, std::string_view>> twoFields(std::string_view line)
{
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos || line.find(',', comma + 1) != std::string_view::npos)
        return std::nullopt;
    return std::pair{trimmed(line.substr(0, comma)), trimmed(line.substr(comma + 1))};
}

struct DayRangeText
{
    int first;
    int last;
};

std::optional<DayRangeText> dayRange(std::string_view text)
{
    const std::size_t dash = text.find('-');
    const auto first = wholeNumber(trimmed(text.substr(0, dash)), kMaxDay);
    const auto last = dash == std::string_view::npos ? first : wholeNumber(trimmed(text.substr(dash + 1)), kMaxDay);
    if (!first || !last || *last < *first)
        return std::nullopt;
    return DayRangeText{*first, *last};
}

// The lines of a table that carry something, with their 1-based numbers.
class Lines
{
public:
    explicit Lines(std::string_view text) : m_rest(text)
    {
        if (m_rest.starts_with("\xEF\xBB\xBF"))
            m_rest.remove_prefix(3);
    }
    bool next(std::string_view &line)
    {
        while (!m_rest.empty()) {
            const std::size_t end = m_rest.find('\n');
            line = trimmed(m_rest.substr(0, end));
            m_rest = end == std::string_view::npos ? std::string_view() : m_rest.substr(end + 1);
            ++m_number;
            if (!line.empty() && line.front() != '#')
                return true;
        }
        return false;
    }
    int number() const { return m_number; }

private:
    std::string_view m_rest;
    int m_number = 0;
};

TableRead refused(std::string_view source, int line, std::string_view reason)
{
    return TableRead{std::nullopt, Messages::TableError(source, line, reason)};
}

// Each row takes the day after the one before; its factor is the float
// nearest its percentage, as the built-in factors always were (0.05f).
std::optional<std::string> addRow(ShortRateTableFile &table, const DayRangeText &days, int hundredths)
{
    const int expected = table.lastDay() + 1;
    if (expected == 0 && days.first != 0)
        return std::string(Messages::Table::kFirstDay);
    if (days.first > expected)
        return Messages::Table::Gap(expected, days.first - 1);
    if (days.first < expected)
        return Messages::Table::Overlap(days.first);
    const float factor = float(hundredths) / 10000.0f; // both exact: the division rounds once
    if (!table.rows.empty() && factor < table.rows.back().Factor)
        return std::string(Messages::Table::kFalls);
    table.rows.push_back(ShortRateRow{days.first, days.last, factor});
    table.byDay.insert(table.byDay.end(), std::size_t(days.last - days.first + 1), factor);
    return std::nullopt;
}

} // namespace

std::optional<int> ParsePercentHundredths(std::string_view text, std::string_view decimal, int maxHundredths)
{
    std::size_t point = text.find('.');
    std::size_t pointSize = 1;
    if (point == std::string_view::npos && !decimal.empty()) {
        point = text.find(decimal);
        pointSize = decimal.size();
    }
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + pointSize);
    if (whole.empty() || fraction.size() > 2 || (point != std::string_view::npos && fraction.empty()))
        return std::nullopt;
    const auto units = wholeNumber(whole, maxHundredths / 100);
    if (!units)
        return std::nullopt;
    int hundredths = *units * 100;
    if (!fraction.empty()) {
        const auto digits = wholeNumber(fraction, 99);
        if (!digits)
            return std::nullopt;
        hundredths += fraction.size() == 1 ? *digits * 10 : *digits;
    }
    if (hundredths > maxHundredths)
        return std::nullopt;
    return hundredths;
}

int NominalTermDays(int months)
{
    return (365 * months + 6) / 12;
}

TableRead ParseShortRateTable(std::string_view text, std::string_view source)
{
    Lines lines(text);
    std::string_view line;
    ShortRateTableFile table;
    table.source = std::string(source);

    const bool hasTerm = lines.next(line);
    const auto term = hasTerm ? twoFields(line) : std::nullopt;
    const auto months = term && EqualAsciiNoCase(term->first, "term_months")
        ? wholeNumber(term->second, kMaxMonths) : std::nullopt;
    if (!months || *months == 0)
        return refused(source, lines.number(), Messages::Table::kNoTerm);
    table.months = *months;

    const auto header = lines.next(line) ? twoFields(line) : std::nullopt;
    if (!header || !EqualAsciiNoCase(header->first, "days") || !EqualAsciiNoCase(header->second, "earned_percent"))
        return refused(source, lines.number(), Messages::Table::kNoHeader);

    while (lines.next(line)) {
        const auto fields = twoFields(line);
        if (!fields)
            return refused(source, lines.number(), Messages::Table::BadRow(line));
        const auto days = dayRange(fields->first);
        if (!days)
            return refused(source, lines.number(), Messages::Table::BadDays(fields->first));
        const auto hundredths = ParsePercentHundredths(fields->second);
        if (!hundredths)
            return refused(source, lines.number(), Messages::Table::BadPercent(fields->second));
        if (auto fault = addRow(table, *days, *hundredths))
            return refused(source, lines.number(), *fault);
    }
    if (table.rows.empty())
        return refused(source, lines.number(), Messages::Table::kNoRows);
    const int termDays = NominalTermDays(table.months);
    if (table.lastDay() < termDays)
        return refused(source, lines.number(), Messages::Table::TooShort(table.lastDay(), table.months, termDays));
    return TableRead{std::move(table), {}};
}

TableRead LoadShortRateTable(std::string_view name)
{
    std::string contents;
    // Bounded as it is read, and refused with the system's own reason.
    const platform::BoundedRead read = platform::ReadFileUpTo(PathFromBytes(name), kMaxFileBytes, contents);
    if (read.tooLarge)
        return refused(name, 0, Messages::Table::kTooLarge);
    if (read.outcome != platform::FileRead::Read)
        return refused(name, 0, std::string(Messages::Table::kUnreadable) + (read.reason.empty() ? "" : ": " + read.reason));
    return ParseShortRateTable(contents, name);
}

} // namespace quillon

#include "Readback.h"

#include "Platform.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillon {

namespace {

// strtold's work may grow with the square of the digits it is given
// (MinGW-w64's does), and a pasted text may hold any number of them. No
// boundary that rounding decides by (a long double, or the point halfway
// between two) has as many significant digits as this, so the digits past
// it can only say whether the number is above what stands before them, and
// one nonzero digit says so as well.
constexpr std::size_t kSignificantDigits = 12000;

// 10^0 to 10^27, each exact: 5^27 still fits the 64-bit significand.
constexpr int kExactPowers = 28;
constexpr std::array<long double, kExactPowers> kPowersOfTen = [] {
    std::array<long double, kExactPowers> p{};
    p[0] = 1.0L;
    for (int i = 1; i < kExactPowers; ++i)
        p[std::size_t(i)] = p[std::size_t(i - 1)] * 10.0L;
    return p;
}();

// An amount as a clerk types it has a few digits: up to 19 significant ones
// make a whole number that a long double holds exactly, and a power of ten
// up to 10^27 is exact too, so one multiplication or division, which the
// floating unit rounds to nearest as strtold rounds, gives the same value
// without the text strtold needs. The digits are gathered one by one, as a
// reader comes to them.
class ShortNumber
{
public:
    void digit(char c)
    {
        m_fraction += m_point ? 1 : 0;
        if (m_whole == 0 && c == '0')
            return; // leading zeros count for nothing
        if (++m_count <= 19)
            m_whole = m_whole * 10 + std::uint64_t(c - '0');
    }
    void point() { m_point = true; }
    // The number times ten to `exponent`; nothing when its digits are more.
    std::optional<long double> value(std::int64_t exponent) const
    {
        exponent -= m_fraction;
        if (m_count > 19 || exponent <= -kExactPowers || exponent >= kExactPowers)
            return std::nullopt;
        const long double whole = static_cast<long double>(m_whole);
        return exponent < 0 ? whole / kPowersOfTen[std::size_t(-exponent)]
                            : whole * kPowersOfTen[std::size_t(exponent)];
    }

private:
    std::uint64_t m_whole = 0;
    int m_count = 0;    // significant digits
    int m_fraction = 0; // digits after the point
    bool m_point = false;
};

std::optional<long double> readShortNumber(std::string_view digits, std::int64_t exponent)
{
    ShortNumber number;
    for (const char c : digits) {
        if (c == '.')
            number.point();
        else
            number.digit(c);
    }
    return number.value(exponent);
}

// The value of `digits` ("1234.5", at most one point) times ten to
// `exponent`, rounded as strtold rounds it.
std::optional<long double> readNumber(std::string_view digits, bool negative, std::int64_t exponent)
{
    if (const std::optional<long double> value = readShortNumber(digits, exponent))
        return negative ? -*value : *value;
    std::string significant;
    bool beforePoint = true;
    bool dropped = false;
    for (const char c : digits) {
        if (c == '.') {
            beforePoint = false;
        } else if (significant.empty() && c == '0') {
            exponent -= beforePoint ? 0 : 1;
        } else {
            exponent += beforePoint ? 1 : 0;
            if (significant.size() < kSignificantDigits)
                significant += c;
            else
                dropped = dropped || c != '0';
        }
    }
    if (dropped)
        significant += '1';
    const std::string number = (negative ? "-0." : "0.") + (significant.empty() ? "0" : significant) + "e"
        + std::to_string(exponent);
    char *end = nullptr;
    const long double v = quillon::platform::ReadCNumber(number.c_str(), &end);
    if (end != number.c_str() + number.size() || std::isinf(v))
        return std::nullopt;
    return v;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Spaces of every width that locales group digits with. A clerk types the
// plain one where the locale writes a no-break or narrow no-break space.
std::size_t spaceAt(std::string_view text, std::size_t pos)
{
    if (text.substr(pos, 1) == " ")
        return 1;
    if (text.substr(pos, 2) == "\xC2\xA0") // U+00A0
        return 2;
    if (text.substr(pos, 3) == "\xE2\x80\xAF" || text.substr(pos, 3) == "\xE2\x80\x89") // U+202F, U+2009
        return 3;
    return 0;
}

bool isSpaceSeparator(const std::string &separator)
{
    return !separator.empty() && spaceAt(separator, 0) == separator.size();
}

// The length of the locale's decimal separator at pos, or 0.
std::size_t decimalAt(std::string_view text, std::size_t pos, const LocaleSettings &locale)
{
    const std::string &decimal = locale.decimalSeparator;
    if (decimal.size() == 1) // most locales' point, without a call to compare
        return pos < text.size() && text[pos] == decimal[0] ? 1 : 0;
    return !decimal.empty() && text.substr(pos, decimal.size()) == decimal ? decimal.size() : 0;
}

// The length of the locale's thousands separator at pos, or 0. Where the
// locale groups with a space, any of the spaces counts; where it groups with
// a typographic apostrophe (de_CH), the keyboard's apostrophe does too.
std::size_t groupAt(std::string_view text, std::size_t pos, const LocaleSettings &locale)
{
    const std::string &group = locale.thousandSeparator;
    if (group.empty() || group == locale.decimalSeparator)
        return 0;
    if (isSpaceSeparator(group))
        return spaceAt(text, pos);
    if (group == "\u2019" && text.substr(pos, 1) == "'")
        return 1;
    return text.substr(pos, group.size()) == group ? group.size() : 0;
}

// Whether separators after the integer digits counted in `marks` make
// groups of `sizes` (LocaleSettings::digitGroups) in a number of
// `integerDigits` digits: every group whole, counted from the decimal
// point, and one digit up to a whole group before the first separator.
bool groupsFollow(std::span<const std::size_t> marks, std::size_t integerDigits, const std::vector<int> &sizes)
{
    if (marks.empty())
        return true;
    if (sizes.empty())
        return false;
    std::size_t end = integerDigits;
    std::size_t group = 0;
    for (auto mark = marks.rbegin(); mark != marks.rend(); ++mark, ++group) {
        const int size = sizes[std::min(group, sizes.size() - 1)];
        if (size <= 0 || end - *mark != std::size_t(size))
            return false;
        end = *mark;
    }
    const int size = sizes[std::min(group, sizes.size() - 1)];
    return size <= 0 || end <= std::size_t(size);
}

// The digits of a number as read so far, in the runtime's notation, and
// where its thousands separators stood.
class NumberBuilder
{
public:
    void digit(char c)
    {
        m_digits += c;
        m_short.digit(c);
        if (!m_decimal)
            ++m_integerDigits;
        else
            ++m_fractionDigits;
    }
    bool decimalPoint()
    {
        if (m_decimal)
            return false;
        m_decimal = true;
        m_digits += '.';
        m_short.point();
        return true;
    }
    // A separator after the decimal point or before any digit is out of
    // place at once; the others are judged by groupsInPlace.
    bool groupMark()
    {
        if (m_decimal || m_integerDigits == 0)
            return false;
        // An amount has a few separators: those are kept without taking memory.
        if (m_markCount < m_fewMarks.size()) {
            m_fewMarks[m_markCount] = m_integerDigits;
        } else {
            if (m_markCount == m_fewMarks.size())
                m_moreMarks.assign(m_fewMarks.begin(), m_fewMarks.end());
            m_moreMarks.push_back(m_integerDigits);
        }
        ++m_markCount;
        return true;
    }
    bool hasDigits() const { return m_integerDigits + m_fractionDigits > 0; }
    // Groups of three, as figures are shown, or the locale's own
    // (12,34,567 under en_IN), as its C library writes them.
    bool groupsInPlace(const LocaleSettings &locale) const
    {
        static const std::vector<int> threes{3};
        const std::span<const std::size_t> marks = m_markCount <= m_fewMarks.size()
            ? std::span<const std::size_t>(m_fewMarks.data(), m_markCount)
            : std::span<const std::size_t>(m_moreMarks);
        return groupsFollow(marks, m_integerDigits, threes) || groupsFollow(marks, m_integerDigits, locale.digitGroups);
    }
    std::optional<long double> value(bool negative) const
    {
        long double v = 0.0L;
        if (hasDigits()) {
            // Most amounts are short: read as their digits came, without
            // going over them again.
            std::optional<long double> read = m_short.value(0);
            if (!read)
                read = readNumber(m_digits, false, 0);
            if (!read)
                return std::nullopt;
            v = *read;
        }
        return negative ? -v : v;
    }

private:
    std::string m_digits;
    ShortNumber m_short;
    // The integer digits before each separator.
    std::array<std::size_t, 8> m_fewMarks{};
    std::vector<std::size_t> m_moreMarks; // all of them, once there are more
    std::size_t m_markCount = 0;
    std::size_t m_integerDigits = 0;
    std::size_t m_fractionDigits = 0;
    bool m_decimal = false;
};

// The general form: [-]d[<decimal>ddd]E[-]dd, alone in the text.
std::optional<long double> parseGeneralForm(std::string_view text, const LocaleSettings &locale)
{
    const std::size_t e = text.find('E');
    if (e == std::string_view::npos)
        return std::nullopt;
    std::string mantissa;
    std::size_t pos = 0;
    const bool negative = pos < e && text[pos] == '-';
    pos += negative ? 1 : 0;
    const std::size_t digitsStart = pos;
    while (pos < e && isDigit(text[pos]))
        mantissa += text[pos++];
    if (pos == digitsStart)
        return std::nullopt;
    if (const std::size_t n = decimalAt(text, pos, locale); n && pos < e) {
        pos += n;
        mantissa += '.';
        const std::size_t fraction = pos;
        while (pos < e && isDigit(text[pos]))
            mantissa += text[pos++];
        if (pos == fraction)
            return std::nullopt;
    }
    if (pos != e)
        return std::nullopt;
    std::int64_t exponent = 0;
    pos = e + 1;
    const bool negativeExponent = pos < text.size() && text[pos] == '-';
    pos += negativeExponent ? 1 : 0;
    const std::size_t exponentStart = pos;
    while (pos < text.size() && isDigit(text[pos]) && pos - exponentStart < 5)
        exponent = exponent * 10 + (text[pos++] - '0');
    if (pos == exponentStart || pos != text.size())
        return std::nullopt;
    return readNumber(mantissa, negative, negativeExponent ? -exponent : exponent);
}

// Whether a digit, ASCII or the locale's own, ends just before pos.
bool digitBefore(std::string_view text, std::size_t pos, const LocaleSettings &locale)
{
    if (pos > 0 && isDigit(text[pos - 1]))
        return true;
    for (const std::string &form : locale.altDigits)
        if (pos >= form.size() && text.compare(pos - form.size(), form.size(), form) == 0)
            return true;
    return false;
}

constexpr std::size_t kOutOfPlace = std::string_view::npos;

// Takes what stands at pos into the number: a digit, the locale's decimal
// separator or its thousands separator. Returns the bytes taken, 0 for any
// other character, or kOutOfPlace for a separator that cannot stand there.
// A strict reading wants a digit after every thousands separator; otherwise
// a space the locale groups with counts only between digits and is mere
// spacing elsewhere.
std::size_t takeNumberPart(NumberBuilder &number, std::string_view text, std::size_t pos, std::size_t end,
                           const LocaleSettings &locale, bool strict)
{
    if (isDigit(text[pos])) {
        number.digit(text[pos]);
        return 1;
    }
    char digit = 0;
    if (const std::size_t n = DigitAt(text.substr(0, end), pos, locale, digit)) {
        number.digit(digit);
        return n;
    }
    if (const std::size_t n = decimalAt(text, pos, locale))
        return number.decimalPoint() ? n : kOutOfPlace;
    const std::size_t g = groupAt(text, pos, locale);
    if (!g)
        return 0;
    const bool digitFollows = pos + g < end && DigitAt(text.substr(0, end), pos + g, locale, digit);
    if (strict)
        return number.groupMark() && digitFollows ? g : kOutOfPlace;
    const bool betweenDigits = digitBefore(text, pos, locale) && digitFollows;
    if (!betweenDigits && isSpaceSeparator(locale.thousandSeparator))
        return g;
    return number.groupMark() ? g : kOutOfPlace;
}

} // namespace

std::optional<long double> ParseText(std::string_view text, const LocaleSettings &locale)
{
    if (const std::optional<long double> general = parseGeneralForm(text, locale))
        return general;
    bool minus = false;
    bool parenthesis = false;
    NumberBuilder number;
    for (std::size_t pos = 0; pos < text.size();) {
        const char c = text[pos];
        if (const std::size_t taken = takeNumberPart(number, text, pos, text.size(), locale, false)) {
            if (taken == kOutOfPlace)
                return std::nullopt;
            pos += taken;
        } else if (c == '.' || c == ',') {
            // A point or comma that is neither of the locale's separators
            // could mean either; guessing would show another figure.
            return std::nullopt;
        } else {
            minus = minus || c == '-';
            parenthesis = parenthesis || c == '(';
            ++pos;
        }
    }
    if (!number.groupsInPlace(locale))
        return std::nullopt;
    // A lone decimal separator reads as 0; no digit and no separator is nothing.
    if (!number.hasDigits() && text.find(locale.decimalSeparator) == std::string_view::npos)
        return std::nullopt;
    return number.value(minus || parenthesis);
}

std::optional<long double> ParseAmount(std::string_view text, const LocaleSettings &locale)
{
    std::size_t pos = 0;
    std::size_t end = text.size();
    auto skipSpaces = [&] {
        while (pos < end && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
    };
    while (end > pos && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    skipSpaces();

    bool negative = false;
    bool parenthesised = false;
    bool signed_ = false;
    auto sign = [&] {
        if (pos < end && !signed_ && !parenthesised && (text[pos] == '-' || text[pos] == '+')) {
            negative = text[pos] == '-';
            signed_ = true;
            ++pos;
            skipSpaces();
        }
    };
    if (pos < end && text[pos] == '(') {
        if (text[end - 1] != ')')
            return std::nullopt;
        parenthesised = negative = true;
        ++pos;
        --end;
        skipSpaces();
        while (end > pos && (text[end - 1] == ' ' || text[end - 1] == '\t'))
            --end;
    }
    sign();
    if (pos < end && text[pos] == '$') {
        ++pos;
        skipSpaces();
        sign();
    }

    NumberBuilder number;
    while (pos < end) {
        // Most of an amount is ASCII digits, taken here without the call.
        if (isDigit(text[pos])) {
            number.digit(text[pos++]);
            continue;
        }
        const std::size_t taken = takeNumberPart(number, text, pos, end, locale, true);
        if (taken == 0 || taken == kOutOfPlace)
            return std::nullopt;
        pos += taken;
    }
    if (!number.hasDigits() || !number.groupsInPlace(locale))
        return std::nullopt;
    return number.value(negative);
}

} // namespace quillon

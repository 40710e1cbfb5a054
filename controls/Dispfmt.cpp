#include "Dispfmt.h"

#include <cmath>
#include <cstdlib>
#include <locale.h>

#include "Decimal.h"
#include "Messages.h"

namespace {

constexpr int kFixedPrecision = 18;
constexpr int kGeneralPrecision = 15;
constexpr int kLargestFixedExponent = 18; // 18 integer digits, i.e. below 10^18

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

// Index just past the quoted run that starts at i (or the end when unclosed).
std::size_t skipQuoted(std::string_view text, std::size_t i)
{
    const char quote = text[i];
    const std::size_t close = text.find(quote, i + 1);
    return close == std::string_view::npos ? text.size() : close + 1;
}

bool startsExponent(std::string_view text, std::size_t i)
{
    return (text[i] == 'E' || text[i] == 'e') && i + 1 < text.size()
        && (text[i + 1] == '+' || text[i + 1] == '-');
}

void appendDigitsWithGrouping(std::string &out, const std::string &digits, int fromPos, int toPos,
                              bool grouping, const LocaleSettings &locale)
{
    // digits[L-1-p] is the digit of 10^p; writes positions fromPos down to toPos.
    const int length = int(digits.size());
    for (int p = fromPos; p >= toPos; --p) {
        out += digits[std::size_t(length - 1 - p)];
        if (grouping && p > 0 && p % 3 == 0)
            out += locale.thousandSeparator;
    }
}

void appendInfOrNan(std::string &out, const DecimalDigits &d)
{
    if (d.kind == DecimalDigits::Kind::NotANumber) {
        out += "NAN";
        return;
    }
    if (d.negative)
        out += '-';
    out += "INF";
}

void appendGeneral(std::string &out, long double value, const LocaleSettings &locale)
{
    const DecimalDigits d = ToDecimalDigits(value, kGeneralPrecision);
    if (d.kind != DecimalDigits::Kind::Finite) {
        appendInfOrNan(out, d);
        return;
    }
    if (d.count == 0) {
        out += '0';
        return;
    }
    if (d.negative)
        out += '-';
    if (d.exponent > kGeneralPrecision || d.exponent < -3) {
        out += d.digits[0];
        if (d.count > 1) {
            out += locale.decimalSeparator;
            out.append(d.digits + 1, std::size_t(d.count - 1));
        }
        out += 'E';
        out += std::to_string(d.exponent - 1);
        return;
    }
    if (d.exponent <= 0) {
        out += '0';
        out += locale.decimalSeparator;
        out.append(std::size_t(-d.exponent), '0');
        out.append(d.digits, std::size_t(d.count));
        return;
    }
    for (int i = 0; i < d.exponent; ++i)
        out += i < d.count ? d.digits[i] : '0';
    if (d.count > d.exponent) {
        out += locale.decimalSeparator;
        out.append(d.digits + d.exponent, std::size_t(d.count - d.exponent));
    }
}

} // namespace

DisplayFormat::DisplayFormat(std::string_view format)
    : m_text(format)
{
    if (format.size() > kMaxFormatLength)
        throw ConversionError(std::string(Messages::kFormatTooLong));
    splitSections();
}

DisplayFormat::DisplayFormat(const DisplayFormat &other)
    : m_text(other.m_text)
{
    splitSections();
}

DisplayFormat &DisplayFormat::operator=(const DisplayFormat &other)
{
    if (this != &other) {
        m_text = other.m_text;
        splitSections();
    }
    return *this;
}

void DisplayFormat::splitSections()
{
    m_sections = {};
    m_sectionCount = 0;
    const std::string_view text = m_text;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size() && m_sectionCount < 3) {
        if (isQuote(text[i])) {
            i = skipQuoted(text, i);
            continue;
        }
        if (text[i] == ';') {
            m_sections[std::size_t(m_sectionCount++)] = analyse(text.substr(start, i - start));
            start = ++i;
            continue;
        }
        ++i;
    }
    if (m_sectionCount < 3)
        m_sections[std::size_t(m_sectionCount++)] = analyse(text.substr(start));
}

DisplayFormat::Section DisplayFormat::analyse(std::string_view text)
{
    Section s;
    s.text = text;
    bool afterPoint = false;
    int firstZero = -1;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (isQuote(c)) {
            i = skipQuoted(text, i);
            continue;
        }
        if (startsExponent(text, i)) {
            s.scientific = true;
            break; // the exponent's own digits are not mantissa placeholders
        }
        if (c == '0' || c == '#') {
            if (afterPoint) {
                ++s.decimals;
                if (c == '0')
                    s.minDecimals = s.decimals;
            } else {
                if (c == '0' && firstZero < 0)
                    firstZero = s.integerPlaceholders;
                ++s.integerPlaceholders;
            }
        } else if (c == '.') {
            afterPoint = true;
        } else if (c == ',') {
            s.grouping = true;
        }
        ++i;
    }
    if (firstZero >= 0)
        s.minIntegerDigits = s.integerPlaceholders - firstZero;
    return s;
}

void DisplayFormat::appendFixed(std::string &out, const Section &section, const DecimalDigits &d,
                                const LocaleSettings &locale) const
{
    // Integer digits of the rounded value, at least minIntegerDigits of them.
    std::string integer;
    for (int i = 0; i < d.exponent; ++i)
        integer += i < d.count ? d.digits[i] : '0';
    if (int(integer.size()) < section.minIntegerDigits)
        integer.insert(0, std::size_t(section.minIntegerDigits) - integer.size(), '0');
    const int length = int(integer.size());

    // Decimals: one per placeholder, then the optional ones trimmed of zeros.
    char fraction[kMaxFormatLength + 1];
    int fractionLength = section.decimals;
    for (int i = 0; i < section.decimals; ++i) {
        const int index = d.exponent + i;
        fraction[i] = index >= 0 && index < d.count ? d.digits[index] : '0';
    }
    while (fractionLength > section.minDecimals && fraction[fractionLength - 1] == '0')
        --fractionLength;

    const std::string_view text = section.text;
    const int placeholders = section.integerPlaceholders;
    int integerIndex = 0;
    int fractionIndex = 0;
    bool afterPoint = false;
    bool integerWritten = placeholders > 0 || length == 0;
    auto writeLooseInteger = [&] {
        // No integer placeholder at all: the digits still have to go somewhere.
        if (!integerWritten) {
            appendDigitsWithGrouping(out, integer, length - 1, 0, section.grouping, locale);
            integerWritten = true;
        }
    };
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (isQuote(c)) {
            const std::size_t end = skipQuoted(text, i);
            const std::size_t innerEnd = end > i + 1 && text[end - 1] == c ? end - 1 : end;
            out.append(text.substr(i + 1, innerEnd - (i + 1)));
            i = end;
            continue;
        }
        if (c == '0' || c == '#') {
            if (afterPoint) {
                writeLooseInteger();
                if (fractionIndex < fractionLength)
                    out += fraction[fractionIndex];
                ++fractionIndex;
            } else {
                const int position = placeholders - 1 - integerIndex;
                if (integerIndex == 0 && length > placeholders)
                    appendDigitsWithGrouping(out, integer, length - 1, placeholders, section.grouping, locale);
                if (position < length)
                    appendDigitsWithGrouping(out, integer, position, position, section.grouping, locale);
                ++integerIndex;
            }
        } else if (c == '.') {
            if (!afterPoint) {
                afterPoint = true;
                writeLooseInteger();
                if (fractionLength > 0)
                    out += locale.decimalSeparator;
            }
        } else if (c != ',') {
            out += c;
        }
        ++i;
    }
    writeLooseInteger();
}

void DisplayFormat::appendScientific(std::string &out, const Section &section, long double magnitude,
                                     const LocaleSettings &locale) const
{
    // Mantissa with the section's integer and decimal placeholders, exponent
    // with as many digits as the '0's after "E+"/"E-".
    const int integerDigits = section.integerPlaceholders > 0 ? section.integerPlaceholders : 1;
    int significant = integerDigits + section.decimals;
    if (significant > kFixedPrecision)
        significant = kFixedPrecision;
    DecimalDigits d = ToDecimalDigits(magnitude, significant);
    int exponent = 0;
    if (d.count > 0) {
        exponent = d.exponent - integerDigits;
        d.exponent = integerDigits;
    }
    std::string_view text = section.text;
    std::size_t e = 0;
    while (!startsExponent(text, e)) {
        e = isQuote(text[e]) ? skipQuoted(text, e) : e + 1;
    }
    Section mantissa = section;
    mantissa.text = text.substr(0, e);
    mantissa.scientific = false;
    appendFixed(out, mantissa, d, locale);

    out += text[e];
    const bool plus = text[e + 1] == '+';
    if (exponent < 0)
        out += '-';
    else if (plus)
        out += '+';
    std::size_t j = e + 2;
    int minDigits = 0;
    while (j < text.size() && (text[j] == '0' || text[j] == '#')) {
        if (text[j] == '0')
            ++minDigits;
        ++j;
    }
    std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
    if (int(digits.size()) < minDigits)
        digits.insert(0, std::size_t(minDigits) - digits.size(), '0');
    out += digits;
    // Whatever follows the exponent is literal text.
    Section tail;
    tail.text = text.substr(j);
    DecimalDigits none;
    appendFixed(out, tail, none, locale);
}

void DisplayFormat::appendTo(std::string &out, long double value, const LocaleSettings &locale) const
{
    if (m_text.empty()) {
        appendGeneral(out, value, locale);
        return;
    }
    DecimalDigits d = ToDecimalDigits(value, kFixedPrecision);
    if (d.kind != DecimalDigits::Kind::Finite) {
        appendInfOrNan(out, d);
        return;
    }
    if (d.exponent > kLargestFixedExponent) {
        appendGeneral(out, value, locale);
        return;
    }
    const Section &first = m_sections[0];
    auto sectionOr = [&](int index) -> const Section & {
        return index < m_sectionCount && !m_sections[std::size_t(index)].empty()
            ? m_sections[std::size_t(index)] : first;
    };
    const bool isZero = d.count == 0;
    const Section *section = isZero ? &sectionOr(2) : d.negative ? &sectionOr(1) : &first;
    if (section->empty()) {
        appendGeneral(out, value, locale);
        return;
    }
    if (section->scientific) {
        if (d.negative && !isZero && section == &first)
            out += '-';
        appendScientific(out, *section, std::fabs(value), locale);
        return;
    }
    RoundToDecimals(d, section->decimals);
    bool minus = d.negative && section == &first;
    if (d.count == 0) {
        // Zero, or rounded away to nothing: shown as zero, never with a sign.
        minus = false;
        if (!isZero) {
            section = &sectionOr(2);
            if (section->scientific) {
                appendScientific(out, *section, 0.0L, locale);
                return;
            }
        }
    }
    if (minus)
        out += '-';
    appendFixed(out, *section, d, locale);
}

std::string DisplayFormat::format(long double value, const LocaleSettings &locale) const
{
    std::string out;
    out.reserve(32);
    appendTo(out, value, locale);
    return out;
}

std::string FormatText(long double value, std::string_view format, const LocaleSettings &locale)
{
    return DisplayFormat(format).format(value, locale);
}

std::string FormatGeneral(long double value, const LocaleSettings &locale)
{
    std::string out;
    appendGeneral(out, value, locale);
    return out;
}

#include "Dispfmt.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>

#include "Decimal.h"
#include "Messages.h"

namespace quillon {

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

// "000" to "999", for writing digits three at a time.
constexpr std::array<char, 3000> kDigitTriplesTable = [] {
    std::array<char, 3000> table{};
    for (int i = 0; i < 1000; ++i) {
        table[std::size_t(3 * i)] = char('0' + i / 100);
        table[std::size_t(3 * i + 1)] = char('0' + i / 10 % 10);
        table[std::size_t(3 * i + 2)] = char('0' + i % 10);
    }
    return table;
}();
constexpr const char *kDigitTriples = kDigitTriplesTable.data();

// Separators longer than this (in bytes) go the digit way.
constexpr std::size_t kShortPiece = 4;

// Writes a separator just before `to` without a call: one byte mostly, up to
// three in UTF-8. Returns where it begins.
char *putBefore(char *to, std::string_view piece)
{
    to -= piece.size();
    switch (piece.size()) {
    case 4: to[3] = piece[3]; [[fallthrough]];
    case 3: to[2] = piece[2]; [[fallthrough]];
    case 2: to[1] = piece[1]; [[fallthrough]];
    case 1: to[0] = piece[0]; [[fallthrough]];
    default: break;
    }
    return to;
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
    markPlain(s);
    return s;
}

void DisplayFormat::markPlain(Section &s)
{
    // With no integer placeholder the integer digits land wherever the point
    // or the end falls, so such sections keep to appendFixed.
    if (s.scientific || s.integerPlaceholders == 0 || s.decimals > kFixedPrecision
        || s.minIntegerDigits > kFixedPrecision)
        return;
    const std::string_view text = s.text;
    if (text.find_first_of("\"'") != std::string_view::npos)
        return;
    const std::size_t first = text.find_first_of("0#.,");
    const std::size_t last = text.find_last_of("0#.,");
    // A literal between placeholders splits the digits: left to appendFixed.
    // Commas and later points write nothing wherever they stand.
    if (text.substr(first, last + 1 - first).find_first_not_of("0#.,") != std::string_view::npos)
        return;
    const std::string_view prefix = text.substr(0, first);
    const std::string_view suffix = text.substr(last + 1);
    if (prefix.size() > s.prefix.size() || suffix.size() > s.suffix.size())
        return;
    s.plain = true;
    prefix.copy(s.prefix.data() + s.prefix.size() - prefix.size(), prefix.size()); // right-aligned
    suffix.copy(s.suffix.data(), suffix.size());
    s.prefixLength = int(prefix.size());
    s.suffixLength = int(suffix.size());
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

const DisplayFormat::Section &DisplayFormat::sectionOr(int index) const
{
    return index < m_sectionCount && !m_sections[std::size_t(index)].empty() ? m_sections[std::size_t(index)]
                                                                              : m_sections[0];
}

bool DisplayFormat::planPlain(const long double &value, const LocaleSettings &locale, PlainPlan &plan) const
{
    // The same choices as appendByDigits, made on the rounded whole number;
    // whatever RoundToDecimalUnits does not decide goes back to the digit way
    // before anything is written.
    if (m_text.empty())
        return false;
    const ExtendedBits bits = BitsOf(value);
    const bool negative = bits.negative();
    const bool isZero = bits.isZero();
    const Section *section = isZero ? &sectionOr(2) : negative ? &sectionOr(1) : &m_sections[0];
    if (!section->plain || locale.thousandSeparator.size() > kShortPiece
        || locale.decimalSeparator.size() > kShortPiece)
        return false;
    std::uint64_t units = RoundToDecimalUnits(bits, section->decimals);
    if (units == kNotDecided)
        units = RoundLargeToDecimalUnits(bits, section->decimals);
    if (units == kNotDecided)
        return false;
    bool minus = negative && section == &m_sections[0];
    if (units == 0) {
        minus = false;
        if (!isZero)
            section = &sectionOr(2);
        if (!section->plain)
            return false;
    }
    // Optional decimals that are zeros go; the integer part shows at least
    // its required digits, grouped in threes from the point.
    int fraction = section->decimals;
    while (fraction > section->minDecimals && units % 10 == 0) {
        units /= 10;
        --fraction;
    }
    const int integerDigits = std::max(DecimalDigitCount(units) - fraction, section->minIntegerDigits);
    const int groups = integerDigits > 0 ? (integerDigits - 1) / 3 : 0;
    plan.m_section = section;
    plan.m_units = units;
    plan.m_fraction = fraction;
    plan.m_minus = minus;
    plan.m_grouped = section->grouping && groups > 0;
    plan.m_prefix = std::string_view(section->prefix.data() + section->prefix.size() - std::size_t(section->prefixLength),
                                     std::size_t(section->prefixLength));
    plan.m_suffix = std::string_view(section->suffix.data(), std::size_t(section->suffixLength));
    plan.m_size = plan.m_prefix.size() + (minus ? 1 : 0) + std::size_t(integerDigits)
        + (plan.m_grouped ? std::size_t(groups) * locale.thousandSeparator.size() : 0)
        + (fraction > 0 ? locale.decimalSeparator.size() + std::size_t(fraction) : 0) + plan.m_suffix.size();
    return true;
}

char *DisplayFormat::writePlanned(const PlainPlan &plan, char *to, const LocaleSettings &locale)
{
    // Written backwards from the end. Digits come three at a time from a
    // table and the suffix is copied as a whole 8-byte array, past the end;
    // nothing is read back here: a wide read of bytes just stored one or two
    // at a time stalls the processor, and this runs seventeen times a batch
    // row.
    const Section &section = *plan.m_section;
    char *const end = to + plan.m_size;
    char *p = end - plan.m_suffix.size();
    std::memcpy(p, section.suffix.data(), section.suffix.size());

    std::uint64_t units = plan.m_units;
    for (int i = 0; i < plan.m_fraction; ++i, units /= 10)
        *--p = char('0' + units % 10);
    if (plan.m_fraction > 0)
        p = putBefore(p, locale.decimalSeparator);

    // Whole groups while more digits (or required zeros) are left above
    // them, then the leading one to three.
    int written = 0;
    while (units >= 1000 || section.minIntegerDigits - written > 3) {
        const std::uint64_t above = units / 1000;
        p -= 3;
        std::memcpy(p, kDigitTriples + 3 * (units - 1000 * above), 3);
        units = above;
        written += 3;
        if (section.grouping)
            p = putBefore(p, locale.thousandSeparator);
    }
    const int digits = units >= 100 ? 3 : units >= 10 ? 2 : units > 0 ? 1 : 0;
    const int leading = std::max(digits, std::min(section.minIntegerDigits - written, 3));
    const char *triple = kDigitTriples + 3 * units;
    switch (leading) {
    case 3: *--p = triple[2]; *--p = triple[1]; *--p = triple[0]; break;
    case 2: *--p = triple[2]; *--p = triple[1]; break;
    case 1: *--p = triple[2]; break;
    default: break;
    }
    for (std::size_t i = plan.m_prefix.size(); i > 0; --i)
        *--p = plan.m_prefix[i - 1];
    if (plan.m_minus)
        *--p = '-';
    return end;
}

void DisplayFormat::appendTo(std::string &out, const long double &value, const LocaleSettings &locale) const
{
    PlainPlan plan;
    if (!planPlain(value, locale, plan)) {
        appendByDigits(out, value, locale);
        return;
    }
    std::array<char, kPlainRoom> room;
    out.append(room.data(), std::size_t(writePlanned(plan, room.data(), locale) - room.data()));
}

void DisplayFormat::appendByDigits(std::string &out, long double value, const LocaleSettings &locale) const
{
    // 10^18 and more has that many digits whatever it rounds to, so it takes
    // the general form without its eighteen digits being worked out first
    // (the C library's work, for the largest).
    if (m_text.empty() || std::fabs(value) >= 1e18L) {
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

} // namespace quillon

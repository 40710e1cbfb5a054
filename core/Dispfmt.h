#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Localeset.h"
#include "Readback.h"

namespace quillon {

// Display formats: how a field turns its extended Value into text, and how it
// reads a number back out of whatever text it holds.
//
// A format has up to three sections separated by ';' (positive; negative;
// zero). In a section '0' is a required digit, '#' an optional one, the first
// '.' places the decimal separator, a ',' anywhere turns on grouping, quoted
// text is copied without its quotes, "E+"/"E-" selects scientific form and
// every other character is copied where it stands.

inline constexpr std::size_t kMaxFormatLength = 224;

// The formats of the program's fields.
inline constexpr std::string_view kAmountFormat = "$,0.00;($,0.00)"; // premium and amounts; the default
inline constexpr std::string_view kShortRateFormat = ",0.00;(,0.00)";
inline constexpr std::string_view kProRataFormat = ",0.000;(,0.000)";
inline constexpr std::string_view kDaysFormat = ",0.;(,0.)";

class DisplayFormat
{
    struct Section;

public:
    // Throws ConversionError("Format string too long") past kMaxFormatLength characters.
    explicit DisplayFormat(std::string_view format);
    // Sections view into m_text, so copies rebuild them over their own text.
    DisplayFormat(const DisplayFormat &other);
    DisplayFormat &operator=(const DisplayFormat &other);

    // Rounds |value| to 18 significant digits (nearest), then to the
    // section's decimals, half away from zero. Values of 10^18 and more, and
    // every value under an empty format, take the general form (15 digits).
    std::string format(long double value, const LocaleSettings &locale) const;
    // By reference, so that a value already in memory (a quote's figure) is
    // read where it lies: one just stored whole for the call and read back
    // in parts stalls the processor.
    void appendTo(std::string &out, const long double &value, const LocaleSettings &locale) const;

    // The plain way, which decides most figures from a rounded whole
    // number, in two steps for a writer that places the text straight into
    // a buffer of its own (a batch writes seventeen a row): first what the
    // text will be, then the text, as appendTo would append it.
    class PlainPlan
    {
    public:
        std::size_t size() const { return m_size; }
        // The text's bytes besides its digits and a minus: the literal text
        // before and after the number, and the locale's separators where
        // the text holds them.
        std::string_view prefix() const { return m_prefix; }
        std::string_view suffix() const { return m_suffix; }
        bool grouped() const { return m_grouped; }
        bool point() const { return m_fraction > 0; }

    private:
        friend class DisplayFormat;
        const Section *m_section = nullptr;
        std::uint64_t m_units = 0; // without the decimals dropped as trailing zeros
        int m_fraction = 0;        // decimals shown
        bool m_minus = false;
        bool m_grouped = false;
        std::size_t m_size = 0;
        std::string_view m_prefix, m_suffix;
    };
    // False for a value the plain way does not decide, which takes the
    // digit way: only appendTo writes that.
    bool planPlain(const long double &value, const LocaleSettings &locale, PlainPlan &plan) const;
    // Writes a planned text at `to`, plan.size() bytes, and returns its
    // end; up to kPlainSpill bytes after it may be written over as well.
    static char *writePlanned(const PlainPlan &plan, char *to, const LocaleSettings &locale);
    static constexpr std::size_t kPlainSpill = 8;
    // Room for the longest planned text and what may be written past it:
    // an 8-byte prefix, a minus, 18 digits in six groups parted by 4-byte
    // separators, a 4-byte point, 18 decimals and an 8-byte suffix.
    static constexpr std::size_t kPlainRoom = 96;

    const std::string &text() const { return m_text; }

private:
    struct Section
    {
        std::string_view text;
        int integerPlaceholders = 0;
        int minIntegerDigits = 0; // placeholders from the first '0' up to the point
        int decimals = 0;         // placeholders after the point
        int minDecimals = 0;      // up to and including the last '0' after the point
        bool grouping = false;
        bool scientific = false;
        // Up to 8 bytes of literal text, then nothing but placeholders,
        // commas and points, then up to 8 bytes of literal text, no quotes,
        // at most 18 decimals and 18 required integer digits: written
        // straight from a rounded whole number of units, never through digits.
        bool plain = false;
        std::array<char, 8> prefix{}; // right-aligned, copied whole
        std::array<char, 8> suffix{}; // left-aligned, copied whole
        int prefixLength = 0;
        int suffixLength = 0;
        bool empty() const { return text.empty(); }
    };

    void splitSections();
    static Section analyse(std::string_view text);
    static void markPlain(Section &section);
    const Section &sectionOr(int index) const;
    // The digit way, which decides every value and every format; the tests
    // hold the plain way to it.
    void appendByDigits(std::string &out, long double value, const LocaleSettings &locale) const;
    friend struct DisplayFormatByDigits;
    void appendFixed(std::string &out, const Section &section, const struct DecimalDigits &digits,
                     const LocaleSettings &locale) const;
    void appendScientific(std::string &out, const Section &section, long double magnitude,
                          const LocaleSettings &locale) const;

    std::string m_text;
    std::array<Section, 3> m_sections{};
    int m_sectionCount = 0;
};

// One-off conversion; throws as DisplayFormat does.
std::string FormatText(long double value, std::string_view format, const LocaleSettings &locale);

// The general form: up to 15 significant digits, the locale's decimal
// separator, no grouping; exponent form ("1E18", "1.5E-5") past 15 integer
// digits or below 0.0001.
std::string FormatGeneral(long double value, const LocaleSettings &locale);

} // namespace quillon

// Display formats' shortcut (RoundToDecimalUnits in integer arithmetic, plain sections written from it) held
// to the digit way that stays the definition (ToDecimalDigits to 18 digits, then RoundToDecimals), on millions
// of values chosen where the two could part; and the date reader's plain-digit shortcut to its general scanner.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "Decimal.h"
#include "Dispfmt.h"
#include "Localeset.h"
#include "Readback.h"
#include "Shortdate.h"
#include "../support/Locales.h"
#include "../support/Testsupport.h"

using namespace quillon;

namespace quillon {

// Reaches the general scanner that the plain-digit shortcut stands in for.
struct ShortDateReaderByScanner
{
    static std::optional<int> read(const ShortDateReader &reader, std::string_view text, int today)
    {
        const int day = reader.scanDay(text, today);
        return day == ShortDateReader::kNoDay ? std::nullopt : std::optional<int>(day);
    }
};

// Reaches the digit way that DisplayFormat keeps private.
struct DisplayFormatByDigits
{
    static std::string format(const DisplayFormat &format, long double value, const LocaleSettings &locale)
    {
        std::string out;
        format.appendByDigits(out, value, locale);
        return out;
    }
};

} // namespace quillon

namespace {

using Random = std::mt19937_64;

std::string show(long double value)
{
    char text[96];
    std::snprintf(text, sizeof text, "%La (%.25Lg)", value, value);
    return text;
}

// The digit way's figure as a whole number of units; nullopt where it does not fit 64 bits.
std::optional<std::uint64_t> unitsByDigits(long double value, int decimals)
{
    DecimalDigits d = ToDecimalDigits(value, 18);
    RoundToDecimals(d, decimals);
    if (d.count == 0)
        return 0;
    const int zeros = d.exponent + decimals - d.count;
    if (zeros < 0 || d.exponent + decimals > 19)
        return std::nullopt;
    std::uint64_t units = 0;
    for (int i = 0; i < d.count; ++i)
        units = units * 10 + std::uint64_t(d.digits[i] - '0');
    for (int i = 0; i < zeros; ++i)
        units *= 10;
    return units;
}

long double fromText(const std::string &text) { return std::strtold(text.c_str(), nullptr); }

long double nudged(long double value, int ulps)
{
    const long double toward = (ulps < 0 ? -1 : 1) * std::numeric_limits<long double>::infinity();
    for (int i = 0; i < std::abs(ulps); ++i)
        value = std::nextafter(value, toward);
    return value;
}

int pick(Random &random, int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

std::uint64_t pick64(Random &random, std::uint64_t low, std::uint64_t high)
{
    return std::uniform_int_distribution<std::uint64_t>(low, high)(random);
}

long double withRandomSign(Random &random, long double value) { return random() & 1 ? -value : value; }

// A whole number of `digits` digits, as text.
std::string wholeText(Random &random, int digits)
{
    std::string text(1, char('1' + pick(random, 0, 8)));
    while (int(text.size()) < digits)
        text += char('0' + pick(random, 0, 9));
    return text;
}

// Doubles of every magnitude from 1e-6 to 1e18, as figures read from a file or computed in double arrive.
long double randomDouble(Random &random)
{
    const double mantissa = std::uniform_real_distribution<double>(1.0, 10.0)(random);
    return withRandomSign(random, static_cast<long double>(mantissa * std::pow(10.0, pick(random, -6, 17))));
}

// Extended values with all 64 significand bits random, 2^-21 to 2^60.
long double randomExtended(Random &random)
{
    const std::uint64_t significand = random() | (std::uint64_t(1) << 63);
    return withRandomSign(random, std::ldexp(static_cast<long double>(significand), pick(random, -21, 60) - 63));
}

// The nearest extended value (or double) to a decimal with a 5 just past the cent, mill or unit, such as
// 2.675: a hair off the tie in binary, which only the 18-digit figure puts back on it; and ulps either side.
long double decimalNearTie(Random &random)
{
    const int decimals = pick(random, 0, 3);
    const std::string text = wholeText(random, pick(random, 1, 16 - decimals)) + "5e-" + std::to_string(decimals + 1);
    long double value = random() & 1 ? fromText(text) : static_cast<long double>(std::strtod(text.c_str(), nullptr));
    return withRandomSign(random, nudged(value, pick(random, -3, 3)));
}

// Exact halves at 0, 2 or 3 decimals (j / 2, j / 8, j / 16 with j odd), and their neighbours.
long double exactCutTie(Random &random)
{
    const int decimals = pick(random, 0, 3);
    const std::uint64_t odd = pick64(random, 0, std::uint64_t(1) << pick(random, 1, 56)) | 1;
    const long double value = std::ldexp(static_cast<long double>(odd), -(decimals + 1));
    return withRandomSign(random, nudged(value, pick(random, -2, 2)));
}

// Values whose exact expansion has 19 significant digits ending in 5, a tie for the 18-digit rounding:
// j / 2^s with j x 5^s of 19 digits, from about 1e17 down to 1e-9.
long double eighteenDigitTie(Random &random)
{
    const int s = pick(random, 1, 27);
    std::uint64_t power = 1;
    for (int i = 0; i < s; ++i)
        power *= 5;
    const std::uint64_t low = (std::uint64_t(1000000000000000000u) + power - 1) / power;
    const std::uint64_t high = (std::uint64_t(10000000000000000000u) - 1) / power;
    std::uint64_t j = pick64(random, low, high) | 1;
    if (j > high)
        j -= 2; // high is even; j x 5^s must keep 19 digits
    return withRandomSign(random, nudged(std::ldexp(static_cast<long double>(j), -s), pick(random, -1, 1)));
}

// The boundary itself: with I of K digits and d decimals, the value nearest to (I + 1/2 - 10^(K-18) / 2) / 10^d,
// and ulps either side. Below it the figure keeps I, above it I + 1.
long double besideTheThreshold(Random &random)
{
    const int decimals = pick(random, 0, 3);
    const int k = pick(random, 0, 17);
    const std::string whole = k == 0 ? std::string() : wholeText(random, k);
    const int r = 18 - k;
    const std::string text =
        whole + "4" + std::string(std::size_t(r - 1), '9') + "5e-" + std::to_string(r + 1 + decimals);
    return withRandomSign(random, nudged(fromText(text), pick(random, -4, 4)));
}

// Figures as the quote makes them: cents times single-precision factors, permille x 0.001 x premium,
// days x (1/365), 1 - f.
long double quoteFigure(Random &random)
{
    const long double premium = static_cast<long double>(pick64(random, 0, 10000000000u)) / 100.0L;
    const float factor = float(pick(random, 0, 100)) / 100.0f;
    const int days = pick(random, 0, 365);
    switch (pick(random, 0, 4)) {
    case 0: return premium * factor;
    case 1: return premium - premium * factor;
    case 2: return static_cast<long double>(int(std::lround(1000.0L * days * (1.0L / 365.0L)))) * 0.001L * premium;
    case 3: return (1.0L / 183.0L) * days;
    default: return 1.0L - factor;
    }
}

// Tiny, huge and odd encodings, where the shortcut must either agree or leave the value to the digit way.
long double extreme(Random &random)
{
    using limits = std::numeric_limits<long double>;
    const long double anchors[] = {
        limits::denorm_min(), limits::min(), 1e-30L, std::ldexp(1.0L, -64), std::ldexp(1.0L, -70),
        1e-7L, 1e14L, 1e15L, 1e17L, 1e16L, std::ldexp(1.0L, 63), 1e18L, 1e19L, limits::max(),
        0.0L, limits::infinity(), limits::quiet_NaN(),
    };
    const long double anchor = anchors[pick(random, 0, int(std::size(anchors)) - 1)];
    const bool plain = std::isfinite(anchor) && anchor != 0.0L;
    return withRandomSign(random, plain ? nudged(anchor, pick(random, -3, 3)) : anchor);
}

struct Family { const char *name; long double (*next)(Random &); };

QUILLON_PRINTS_BY_NAME(Family)

const Family kFamilies[] = {
    {"random doubles", randomDouble}, {"random extended values", randomExtended}, {"decimal near-ties", decimalNearTie},
    {"exact halves at the cut", exactCutTie}, {"ties at the 18th digit", eighteenDigitTie},
    {"beside the threshold", besideTheThreshold}, {"quote figures", quoteFigure}, {"extremes", extreme},
};

constexpr int kProgramDecimals[] = {0, 2, 3};

// Compares `count` values of a family at every decimals given; stops after a handful of mismatches so a
// fault reads as a few lines. Returns how many values the shortcut decided.
template<std::size_t N>
long compareUnits(const Family &family, int count, const int (&decimalsList)[N], std::uint64_t seed)
{
    Random random(seed);
    int failures = 0;
    long decided = 0;
    for (int i = 0; i < count && failures < 5; ++i) {
        const long double value = family.next(random);
        for (const int decimals : decimalsList) {
            const std::uint64_t fast = RoundToDecimalUnits(value, decimals);
            if (fast == kNotDecided)
                continue;
            ++decided;
            const std::optional<std::uint64_t> reference = unitsByDigits(value, decimals);
            failures += fast != reference;
            EXPECT_EQ(fast, reference) << family.name << ": " << show(value) << " at " << decimals << " decimals";
        }
    }
    return decided;
}

struct FormatRun { const char *name; std::string_view format; int values = 20000; };

// The program's four formats get most of the values; the rest cover the other plain shapes and formats that
// must go the digit way.
const FormatRun kFormatRuns[] = {
    {"amount", kAmountFormat, 150000}, {"short rate", kShortRateFormat, 150000}, {"pro rata", kProRataFormat, 150000},
    {"days", kDaysFormat, 150000}, {"optional digits", "#,##0.##"}, {"optional decimal after a zero", "0.0#"},
    {"no leading zero", "#.##;-#.##"}, {"padded whole", "000"}, {"point without decimals", ",0."},
    {"literal after", "0.00 \"each\""}, {"text both sides, no grouping", "USD 0.00 net;USD 0.00 credit"},
    {"nine decimals", "0.000000000"}, {"eighteen optional decimals", "0.##################"},
    {"nineteen decimals", "0.0000000000000000000"}, {"zero section", "0.00;(0.00);\"nil\""},
    {"plain zero section", "0.00;(0.00);0.0000"}, {"long zero section", "0.00;(0.00);0.00000000000000000000000"},
    {"no integer placeholder", ".00"}, {"literal between placeholders", "00-00"}, {"second point", "0.0.0"},
    {"quoted text", "'$'#,##0.00"}, {"scientific", "0.00E+00"}, {"empty negative section", "0.00;"},
    {"eight bytes each side", "Premium:0.00 dollars"}, {"nine bytes before", "Premium: 0.00"},
    {"eighteen required digits", "000000000000000000.00"}, {"nineteen required digits", "0000000000000000000"},
};

// The locale of separators `thousands` and `point` (four bytes each still go the plain way; five the digit way).
LocaleSettings separated(const char *thousands, const char *point)
{
    LocaleSettings locale;
    locale.thousandSeparator = thousands;
    locale.decimalSeparator = point;
    return locale;
}

// A date as a clerk might type it in a locale of plain digits: one to five digits a number (leading zeros,
// out-of-range values too), two or three numbers, now and then a space, a wrong, doubled or trailing
// separator or a letter.
std::string typedDate(Random &random, char separator)
{
    std::string text;
    const int numbers = pick(random, 1, 4);
    for (int i = 0; i < numbers; ++i) {
        if (i > 0)
            text += pick(random, 0, 30) ? separator : "/.- "[pick(random, 0, 3)];
        const int digits = pick(random, 0, 99) < 90 ? pick(random, 1, 4) : pick(random, 0, 6);
        const int zeros = pick(random, 0, 9) ? 0 : pick(random, 1, 3);
        text += std::string(std::size_t(zeros), '0');
        for (int d = 0; d < digits; ++d)
            text += char('0' + pick(random, 0, 9));
    }
    switch (pick(random, 0, 15)) {
    case 0: text += separator; break;
    case 1: text.insert(std::size_t(pick(random, 0, int(text.size()))), " "); break;
    case 2: text.insert(std::size_t(pick(random, 0, int(text.size()))), std::string(1, separator)); break;
    case 3: text += 'x'; break;
    default: break;
    }
    return text;
}

} // namespace

// Expected figures worked from the exact binary values by hand: round to 18 significant digits (ties to even),
// then to the decimals, half away from zero; what the shortcut does not decide it leaves to the digit way.
TEST(RoundToDecimalUnits, GivesTheFigureOfTheDoubleRounding)
{
    using limits = std::numeric_limits<long double>;
    struct Case { const char *name; long double value; int decimals; std::uint64_t units; };
    const Case cases[] = {
        // Exact in binary, so these test the rule and not the representation.
        {"1/8 half up at the cent", 0.125L, 2, 13}, {"1/16 half up at the mill", 0.0625L, 3, 63},
        {"2.5 half up to 3", 2.5L, 0, 3}, {"-2.5 by magnitude", -2.5L, 0, 3}, {"zero", 0.0L, 2, 0},
        {"negative zero", -0.0L, 2, 0}, {"2^-64 is no cent", 0x1p-64L, 2, 0},
        {"2.675L reaches the tie", 2.675L, 2, 268}, // 2.67499999999999999995663...: 18 digits are 2.675
        {"double 2.675 stays below", static_cast<long double>(2.675), 2, 267}, // 2.67499999999999982236...
        {"1.005L", 1.005L, 2, 101}, {"0.005L is a cent", 0.005L, 2, 1}, {"999.995L carries", 999.995L, 2, 100000},
        {"0.2739726...L at the mill", 0.27397260273972602739L, 3, 274},
        {"0.5 - 2^-61 rounds up", 0.5L - 0x1p-61L, 0, 1}, // 0.49999999999999999956...: 18 digits give 0.5
        {"0.5 - 2^-60 stays", 0.5L - 0x1p-60L, 0, 0},     // 0.49999999999999999913...: 18 digits give 0.499...9
        // 17 integer digits leave one decimal to the 18-digit rounding: .4453125 is .4, .4501953125 is .5 then 1.
        {"17 digits, .4453125 stays", 12345678901234567.4453125L, 0, 12345678901234567},
        {"17 digits, .4501953125 goes up", 12345678901234567.4501953125L, 0, 12345678901234568},
        {"largest whole figure decided", 99999999999999999.0L, 0, 99999999999999999},
        {"its half carries to 10^17", 99999999999999999.5L, 0, 100000000000000000},
        // The ulps around 2.675 - 5e-18, where 18 digits of 267.49999... turn from ...9999 to 267.5.
        {"2.67499999999999999497 stays", 0xab3333333333331cp-62L, 2, 267},
        {"2.67499999999999999519 goes up", 0xab3333333333331dp-62L, 2, 268},
        {"10^17 units", 1e17L, 0, kNotDecided}, {"10^17 units at two decimals", 1e15L, 2, kNotDecided},
        {"2^63", 0x1p63L, 0, kNotDecided}, {"10^18, the general form", 1e18L, 2, kNotDecided},
        {"largest value", limits::max(), 2, kNotDecided}, {"infinity", limits::infinity(), 2, kNotDecided},
        {"minus infinity", -limits::infinity(), 2, kNotDecided}, {"NaN", limits::quiet_NaN(), 2, kNotDecided},
        {"subnormal", limits::denorm_min(), 2, kNotDecided},
        {"19 decimals", 1.5L, 19, kNotDecided}, {"negative decimals", 1.5L, -1, kNotDecided},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RoundToDecimalUnits(c.value, c.decimals), c.units) << c.name;
}

// Past 10^17 units the 18 digits end at the units or above: worked by hand from values exact in binary.
TEST(RoundLargeToDecimalUnits, RoundsToEighteenDigitsOnly)
{
    struct Case { const char *name; long double value; int decimals; std::uint64_t units; };
    const Case cases[] = {
        {"18 digits whole", 123456789012345678.0L, 0, 123456789012345678u},
        {"the 19th digit's half goes to even", 12345678901234567.25L, 2, 1234567890123456720u},
        {"and up from an odd 18th", 12345678901234567.75L, 2, 1234567890123456780u},
        {"20 digits in 64 bits", 123456789012345678.0L, 2, 12345678901234567800u},
        {"below 10^17 units: RoundToDecimalUnits'", 99999999999999999.0L, 0, kNotDecided},
        {"rounding up to 10^18 is the general form", 999999999999999999.5L, 0, kNotDecided},
        {"past 64 bits", 190000000000000000.0L, 2, kNotDecided}, {"10^18 itself", 1e18L, 0, kNotDecided},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(RoundLargeToDecimalUnits(BitsOf(c.value), c.decimals), c.units) << c.name;
        EXPECT_EQ(RoundLargeToDecimalUnits(BitsOf(-c.value), c.decimals), c.units) << c.name << ", by magnitude";
    }
}

// One test per family so a fault names where it lives. 400,000 values each at 0, 2 and 3 decimals: about ten
// million comparisons in all.
class RoundToDecimalUnitsAgrees : public testing::TestWithParam<Family> {};

TEST_P(RoundToDecimalUnitsAgrees, WithTheDigitWayAtTheProgramDecimals)
{
    const Family &family = GetParam();
    const long decided = compareUnits(family, 400000, kProgramDecimals, 20260512);
    // The shortcut must actually take the ordinary values, not hand them all back.
    if (std::string_view(family.name) != "extremes") {
        EXPECT_GT(decided, 400000L * 3 * 3 / 4) << family.name;
    }
}

TEST_P(RoundToDecimalUnitsAgrees, WithTheDigitWayAtOtherDecimals)
{
    compareUnits(GetParam(), 40000, {1, 4, 6, 9, 12, 15, 18}, 77);
}

INSTANTIATE_TEST_SUITE_P(Families, RoundToDecimalUnitsAgrees, testing::ValuesIn(kFamilies),
                         [](const testing::TestParamInfo<Family> &tested) {
                             std::string name;
                             for (const char *c = tested.param.name; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

TEST(DisplayFormat, WritesWhatTheDigitWayWritesInEveryFormat)
{
    const LocaleSettings locales[] = {
        LocaleSettings{}, commaDecimalLocale(), separated("\xE2\x80\xAF", ","), // narrow no-break space, three bytes
        separated("", "."), separated("<th>", "<pt>"), separated("<th.>", "."), separated(",", "<pt.>"),
    };
    Random random(4242);
    for (const FormatRun &run : kFormatRuns) {
        SCOPED_TRACE(run.name);
        const DisplayFormat format(run.format);
        int failures = 0;
        std::string fast;
        for (int i = 0; i < run.values && failures < 5; ++i) {
            const Family &family = kFamilies[std::size_t(i) % std::size(kFamilies)];
            const long double value = family.next(random);
            const LocaleSettings &locale = locales[std::size_t(i / 7) % std::size(locales)];
            fast.clear();
            format.appendTo(fast, value, locale);
            const std::string reference = DisplayFormatByDigits::format(format, value, locale);
            failures += fast != reference;
            EXPECT_EQ(fast, reference) << family.name << ": " << show(value);
        }
    }
}

// appendTo adds to what the string holds; the plain way must not disturb it.
TEST(DisplayFormat, AppendsAfterWhatTheTextHolds)
{
    const DisplayFormat amount(kAmountFormat);
    std::string text = "Earned: ";
    amount.appendTo(text, 1234.5L, {});
    amount.appendTo(text += ", refund: ", -0.125L, {});
    EXPECT_EQ(text, "Earned: $1,234.50, refund: ($0.13)");
}

// ToDecimalDigits works most values in integer arithmetic and leaves the rest to the C library; both must give
// the library's digits. Values from 10^15 (a premium's cents fill the general form's fifteen digits) to 2^255
// (past the integer way's reach) and below, at every precision a format asks for, with ties at the last digit.
TEST(ToDecimalDigits, GivesTheCLibrarysDigitsAtEveryPrecision)
{
    Random random(20261208);
    const auto libraryDigits = [](long double value, int precision) {
        char text[64];
        std::snprintf(text, sizeof text, "%.*Le", precision - 1, value);
        const char *e = std::strchr(text, 'e');
        std::string digits(text, std::size_t(e - text));
        std::erase(digits, '.');
        digits.erase(digits.find_last_not_of('0') + 1);
        return digits + " e" + std::to_string(std::atoi(e + 1) + 1);
    };
    int failures = 0;
    for (int i = 0; i < 600000 && failures < 5; ++i) {
        const int precision = 1 + i % 18;
        long double value;
        switch (i / 18 % 4) {
        case 0: // anywhere from 10^15 to 2^255, by exponent
            value = std::ldexp(std::uniform_real_distribution<long double>(1.0L, 2.0L)(random), pick(random, 49, 254));
            break;
        case 1: { // precision digits and a 5 after them
            const std::uint64_t low = static_cast<std::uint64_t>(std::pow(10.0L, precision - 1));
            const std::uint64_t digits = std::uniform_int_distribution<std::uint64_t>(low, low * 10 - 1)(random);
            value = static_cast<long double>(digits * 10 + 5) * std::pow(10.0L, pick(random, -precision, 60));
            break;
        }
        case 2: value = std::pow(10.0L, pick(random, 12, 76)); break; // powers of ten
        default: // below, down to the integer way's lower edge
            value = std::ldexp(std::uniform_real_distribution<long double>(1.0L, 2.0L)(random), pick(random, -150, 49));
            break;
        }
        // The value itself or a unit either side of it.
        value = std::nextafter(value, pick(random, 0, 2) == 0 ? 0.0L : value * pick(random, 1, 2));
        const DecimalDigits d = ToDecimalDigits(value, precision);
        const std::string ours = std::string(d.digits, std::size_t(d.count)) + " e" + std::to_string(d.exponent);
        const std::string theirs = libraryDigits(value, precision);
        failures += ours != theirs;
        EXPECT_EQ(ours, theirs) << show(value) << " to " << precision << " digits";
    }
}

// Every plain order, separator and year width, read against a day in a leap year and one in a century year;
// 300,000 texts per pattern.
TEST(ShortDateReader, ReadsPlainDigitsAsTheGeneralScannerDoes)
{
    struct Pattern { const char *pattern; char separator; };
    const Pattern patterns[] = {
        {"m/d/yy", '/'}, {"m/d/yyyy", '/'}, {"mm/dd/yyyy", '/'}, {"d/m/yy", '/'}, {"dd.mm.yyyy", '.'},
        {"d.m.yy", '.'}, {"yyyy-mm-dd", '-'}, {"yy/m/d", '/'}, {"yyyy/d/m", '/'}, {"d-m-yyyy", '-'},
        {"m d yyyy", ' '}, {"m/d", '/'},
    };
    const int todays[] = {45351, 73051}; // 2/29/2024, 12/31/2099
    Random random(20260608);
    for (const Pattern &p : patterns) {
        SCOPED_TRACE(p.pattern);
        LocaleSettings locale;
        locale.shortDatePattern = p.pattern;
        locale.dateSeparator = p.separator;
        const ShortDateReader reader(locale);
        int failures = 0, dates = 0;
        for (int i = 0; i < 300000 && failures < 5; ++i) {
            const std::string text = typedDate(random, p.separator);
            const int today = todays[i % 2];
            const std::optional<int> fast = reader.read(text, today);
            dates += fast.has_value();
            const std::optional<int> scanned = ShortDateReaderByScanner::read(reader, text, today);
            failures += fast != scanned;
            EXPECT_EQ(fast, scanned) << "\"" << text << "\"";
        }
        EXPECT_GT(dates, 300000 / 40) << "too few texts were dates to compare";
    }
}

// The readers work a number of up to nineteen digits and a power of ten up to 10^27 in one multiplication or
// division and leave the rest to strtold; both must give strtold's value. Plain amounts for ParseAmount, and the
// general form (1.5E20, 1E-5) the fields show for ParseText, across both edges.
TEST(ShortNumber, ReadsAsTheCLibraryReads)
{
    Random random(20261209);
    const LocaleSettings c;
    int failures = 0;
    for (int i = 0; i < 300000 && failures < 5; ++i) {
        std::string digits(std::size_t(pick(random, 0, 2) == 0 ? pick(random, 1, 4) : 0), '0');
        for (int n = pick(random, 1, 24); n > 0; --n)
            digits += char('0' + pick(random, 0, 9));
        const bool general = i % 2 == 1;
        std::string text = digits;
        if (general)
            text = std::string(1, char('1' + pick(random, 0, 8))) + (digits.size() > 1 ? "." + digits.substr(1) : "")
                + "E" + (pick(random, 0, 1) ? "" : "-") + std::to_string(pick(random, 0, 40));
        else if (pick(random, 0, 2) != 0)
            text.insert(std::size_t(pick(random, 0, int(text.size()) - 1)), ".");
        const std::optional<long double> read = general ? ParseText(text, c) : ParseAmount(text, c);
        const long double expected = std::strtold(text.c_str(), nullptr);
        if (!read || *read != expected) {
            ADD_FAILURE() << text << " reads as " << (read ? show(*read) : "nothing") << ", not " << show(expected);
            ++failures;
        }
    }
}

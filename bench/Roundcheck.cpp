// The long run of the display formats' shortcut: RoundToDecimalUnits and the
// plain way of DisplayFormat against the digit way, and the digit way's
// 18-digit figure against the C library's, on as many values as asked.
//
//     quillon_roundcheck [MILLIONS [SEED]]     (default 20 million, seed 1)
//
// Prints what it compared and every mismatch (the first twenty), and exits
// with 1 when there was any. Not part of the test run: it takes minutes.

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "Decimal.h"
#include "Dispfmt.h"
#include "Localeset.h"

using namespace quillon;

namespace quillon {

// Reaches the digit way that DisplayFormat keeps private.
struct DisplayFormatByDigits
{
    static void appendTo(const DisplayFormat &format, std::string &out, long double value,
                         const LocaleSettings &locale)
    {
        format.appendByDigits(out, value, locale);
    }
};

} // namespace quillon

namespace {

using Random = std::mt19937_64;

int pick(Random &random, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(random);
}

long double nudged(long double value, int ulps)
{
    const long double toward = ulps < 0 ? -std::numeric_limits<long double>::infinity()
                                        : std::numeric_limits<long double>::infinity();
    for (int i = 0; i < std::abs(ulps); ++i)
        value = std::nextafter(value, toward);
    return value;
}

std::string wholeText(Random &random, int digits)
{
    std::string text(1, char('1' + pick(random, 0, 8)));
    while (int(text.size()) < digits)
        text += char('0' + pick(random, 0, 9));
    return text;
}

// One value from a mix of the shapes where the shortcut and the digit way
// could part: any bits, decimal near-ties, exact halves, 18-digit ties, the
// threshold itself, quote figures, and the edges of the decided range.
long double nextValue(Random &random)
{
    const int decimals = pick(random, 0, 3);
    long double value = 0.0L;
    switch (pick(random, 0, 7)) {
    case 0: {
        const std::uint64_t significand = random() | (std::uint64_t(1) << 63);
        value = std::ldexp(static_cast<long double>(significand), pick(random, -70, 64) - 63);
        break;
    }
    case 1: {
        const double mantissa = std::uniform_real_distribution<double>(1.0, 10.0)(random);
        value = static_cast<long double>(mantissa * std::pow(10.0, pick(random, -8, 18)));
        break;
    }
    case 2: {
        const std::string text = wholeText(random, pick(random, 1, 17 - decimals)) + "5e-"
            + std::to_string(decimals + 1);
        value = random() & 1 ? std::strtold(text.c_str(), nullptr)
                             : static_cast<long double>(std::strtod(text.c_str(), nullptr));
        break;
    }
    case 3: {
        const std::uint64_t odd = (random() >> pick(random, 1, 63)) | 1;
        value = std::ldexp(static_cast<long double>(odd), -(decimals + 1));
        break;
    }
    case 4: {
        const int s = pick(random, 1, 27);
        std::uint64_t power = 1;
        for (int i = 0; i < s; ++i)
            power *= 5;
        const std::uint64_t low = (UINT64_C(1000000000000000000) + power - 1) / power;
        const std::uint64_t high = (UINT64_C(10000000000000000000) - 1) / power;
        std::uint64_t j = std::uniform_int_distribution<std::uint64_t>(low, high)(random) | 1;
        if (j > high)
            j -= 2;
        value = std::ldexp(static_cast<long double>(j), -s);
        break;
    }
    case 5: {
        const int k = pick(random, 0, 17);
        const int r = 18 - k;
        const std::string text = (k == 0 ? std::string() : wholeText(random, k)) + "4"
            + std::string(std::size_t(r - 1), '9') + "5e-" + std::to_string(r + 1 + decimals);
        value = std::strtold(text.c_str(), nullptr);
        break;
    }
    case 6: {
        const long double premium = static_cast<long double>(random() % 100000000000u) / 100.0L;
        const float factor = float(pick(random, 0, 100)) / 100.0f;
        value = pick(random, 0, 1) ? premium * factor : premium - premium * factor;
        break;
    }
    default: {
        const long double anchors[] = {1e17L, 1e16L, 1e15L, 1e14L, 0x1p63L, 1e18L, 0x1p-64L, 1.0L, 0.5L, 0.1L};
        value = anchors[pick(random, 0, int(std::size(anchors)) - 1)];
        break;
    }
    }
    value = nudged(value, pick(random, -3, 3));
    return random() & 1 ? -value : value;
}

std::uint64_t unitsByDigits(long double value, int decimals)
{
    DecimalDigits d = ToDecimalDigits(value, 18);
    RoundToDecimals(d, decimals);
    std::uint64_t units = 0;
    for (int i = 0; i < d.count; ++i)
        units = units * 10 + std::uint64_t(d.digits[i] - '0');
    for (int i = d.count; i < d.exponent + decimals; ++i)
        units *= 10;
    return units;
}

// The C library prints the exact binary value rounded to 18 digits, ties to
// even: an oracle that shares no code with ToDecimalDigits.
bool digitsMatchTheLibrary(long double value)
{
    const DecimalDigits d = ToDecimalDigits(value, 18);
    if (d.kind != DecimalDigits::Kind::Finite || d.count == 0)
        return true;
    char text[64];
    std::snprintf(text, sizeof text, "%.17Le", std::fabs(value));
    std::string digits;
    const char *p = text;
    for (; *p != 'e'; ++p) {
        if (*p != '.')
            digits += *p;
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    return digits == std::string(d.digits, std::size_t(d.count)) && std::atoi(p + 1) + 1 == d.exponent;
}

struct Tally
{
    long compared = 0;
    long decided = 0;
    long mismatches = 0;

    void mismatch(const char *what, long double value, const std::string &fast, const std::string &reference)
    {
        if (++mismatches <= 20)
            std::printf("MISMATCH %s: %La (%.25Lg): %s against %s\n", what, value, value, fast.c_str(),
                        reference.c_str());
    }
};

} // namespace

int main(int argc, char **argv)
{
    const long millions = argc > 1 ? std::atol(argv[1]) : 20;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const long count = millions * 1000000;
    Random random(seed);
    const DisplayFormat formats[] = {DisplayFormat(kAmountFormat), DisplayFormat(kShortRateFormat),
                                     DisplayFormat(kProRataFormat), DisplayFormat(kDaysFormat)};
    const LocaleSettings locale;
    Tally units, texts, library;
    std::string fast, reference;
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i) {
        const long double value = nextValue(random);
        for (int decimals = 0; decimals <= 18; decimals += (decimals < 4 ? 1 : 7)) {
            ++units.compared;
            const std::uint64_t decided = RoundToDecimalUnits(value, decimals);
            if (decided == kNotDecided)
                continue;
            ++units.decided;
            const std::uint64_t expected = unitsByDigits(value, decimals);
            if (decided != expected)
                units.mismatch("units", value, std::to_string(decided) + " at " + std::to_string(decimals),
                               std::to_string(expected));
        }
        const DisplayFormat &format = formats[i % 4];
        fast.clear();
        reference.clear();
        format.appendTo(fast, value, locale);
        DisplayFormatByDigits::appendTo(format, reference, value, locale);
        ++texts.compared;
        if (fast != reference)
            texts.mismatch(format.text().c_str(), value, fast, reference);
        if (i % 8 == 0) {
            ++library.compared;
            if (!digitsMatchTheLibrary(value))
                library.mismatch("18 digits against the C library", value, "", "");
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("values %ld (seed %llu) in %.1f s\n", count, static_cast<unsigned long long>(seed), seconds);
    std::printf("units:   %ld compared, %ld decided by the shortcut, %ld mismatches\n", units.compared,
                units.decided, units.mismatches);
    std::printf("texts:   %ld compared, %ld mismatches\n", texts.compared, texts.mismatches);
    std::printf("library: %ld compared, %ld mismatches\n", library.compared, library.mismatches);
    return units.mismatches + texts.mismatches + library.mismatches == 0 ? 0 : 1;
}

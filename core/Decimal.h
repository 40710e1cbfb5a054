#pragma once

#include <cstdint>
#include <cstring>

namespace quillon {

// Exact conversion of an extended value to a limited number of significant
// decimal digits, the first step of every display format.

struct DecimalDigits
{
    enum class Kind { Finite, Infinite, NotANumber };
    Kind kind = Kind::Finite;
    bool negative = false;
    // value = 0.d1 d2 d3 ... x 10^exponent; zero has no digits.
    int exponent = 0;
    int count = 0;     // significant digits held, trailing zeros removed
    char digits[20]{}; // '0'..'9', not terminated
};

// Rounds |value| to `precision` (1 to 18) significant digits, to nearest with
// ties to even, as the floating unit does, from the value's exact binary expansion.
DecimalDigits ToDecimalDigits(long double value, int precision);

// Rounds to `decimals` places after the point, half away from zero, working on
// the digits alone: a first dropped digit of 5 or more raises the last kept one.
void RoundToDecimals(DecimalDigits &digits, int decimals);

// The stored fields of an x86 extended value.
struct ExtendedBits
{
    std::uint64_t significand = 0; // with its explicit integer bit, bit 63
    std::uint16_t signExponent = 0; // the sign bit, then the 15-bit biased exponent
    bool negative() const { return (signExponent >> 15) != 0; }
    bool isZero() const { return (signExponent & 0x7fff) == 0 && significand == 0; }
};

// By reference: a value in memory is read where it lies (see DisplayFormat::appendTo).
inline ExtendedBits BitsOf(const long double &value)
{
    static_assert(sizeof(long double) >= 10, "x86 extended precision");
    ExtendedBits bits;
    std::memcpy(&bits.significand, &value, sizeof bits.significand);
    std::memcpy(&bits.signExponent, reinterpret_cast<const char *>(&value) + 8, sizeof bits.signExponent);
    return bits;
}

// What RoundToDecimalUnits returns for a value it leaves to the digit way.
inline constexpr std::uint64_t kNotDecided = ~std::uint64_t(0);

// |value| rounded as ToDecimalDigits(value, 18) followed by RoundToDecimals(
// digits, decimals) rounds it, as a whole number of units of 10^-decimals:
// 2.675L with 2 decimals gives 268. Decides every normal value whose
// |value| x 10^decimals is below 10^17, with 0 to 18 decimals, in integer
// arithmetic and without producing digits; zero and magnitudes below 2^-64
// give 0. Anything else (not finite, subnormal, larger, more decimals) gives
// kNotDecided, and the caller goes the digit way. (Not an optional: GCC
// builds one on the stack a byte at a time and reads it back whole, a stall
// on every call, and the batch calls this seventeen times a row.)
std::uint64_t RoundToDecimalUnits(ExtendedBits value, int decimals);
inline std::uint64_t RoundToDecimalUnits(long double value, int decimals)
{
    return RoundToDecimalUnits(BitsOf(value), decimals);
}

// The same rounding for what RoundToDecimalUnits leaves for being too
// large: |value| below 10^18 whose |value| x 10^decimals reaches 10^17,
// and whose units fit 64 bits. kNotDecided for anything else, and
// where the 18 digits round |value| up to 10^18, which takes the general
// form.
std::uint64_t RoundLargeToDecimalUnits(ExtendedBits value, int decimals);

// The decimal digits of n: none for 0.
int DecimalDigitCount(std::uint64_t n);

} // namespace quillon

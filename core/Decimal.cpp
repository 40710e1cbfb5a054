#include "Decimal.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quillon {

namespace {

using u64 = std::uint64_t;
__extension__ typedef unsigned __int128 u128; // GCC and Clang on x86-64

// A 256-bit unsigned integer in little-endian 64-bit limbs: wide enough for a
// 64-bit significand times any power of ten up to 10^57.
struct U256
{
    std::array<u64, 4> limb{};
};

constexpr int kMaxPow10 = 57;

struct Pow10Table
{
    std::array<std::array<u64, 3>, kMaxPow10 + 1> value{};
    constexpr Pow10Table()
    {
        value[0] = {1, 0, 0};
        for (int i = 1; i <= kMaxPow10; ++i) {
            u128 carry = 0;
            for (int j = 0; j < 3; ++j) {
                const u128 product = u128(value[i - 1][j]) * 10u + carry;
                value[i][j] = u64(product);
                carry = product >> 64;
            }
        }
    }
};

constexpr Pow10Table kPow10;

U256 multiply(u64 m, const std::array<u64, 3> &p)
{
    U256 r;
    u128 carry = 0;
    for (int j = 0; j < 3; ++j) {
        const u128 product = u128(m) * p[j] + carry;
        r.limb[j] = u64(product);
        carry = product >> 64;
    }
    r.limb[3] = u64(carry);
    return r;
}

// Bits [shift, shift+64) of x, for 0 < shift < 256.
u64 bitsFrom(const U256 &x, int shift)
{
    const int word = shift / 64;
    const int bit = shift % 64;
    u64 low = x.limb[word];
    u64 high = word + 1 < 4 ? x.limb[word + 1] : 0;
    return bit == 0 ? low : (low >> bit) | (high << (64 - bit));
}

// Compares the low `shift` bits of x with 2^(shift-1): -1 below half, 0 at half, 1 above.
int compareRemainderWithHalf(const U256 &x, int shift)
{
    const int halfWord = (shift - 1) / 64;
    const int halfBit = (shift - 1) % 64;
    const u64 halfMask = u64(1) << halfBit;
    const u64 lowMask = halfMask - 1;
    if (!(x.limb[halfWord] & halfMask))
        return -1;
    bool anyBelow = (x.limb[halfWord] & lowMask) != 0;
    for (int w = 0; w < halfWord && !anyBelow; ++w)
        anyBelow = x.limb[w] != 0;
    return anyBelow ? 1 : 0;
}

struct Extended80
{
    u64 significand; // explicit integer bit at bit 63
    int exponent;    // unbiased
};

Extended80 decompose(long double value)
{
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &value, sizeof bytes);
    Extended80 e{};
    std::memcpy(&e.significand, bytes, 8);
    std::uint16_t signExp = 0;
    std::memcpy(&signExp, bytes + 8, 2);
    e.exponent = int(signExp & 0x7fff) - 16383;
    return e;
}

// 10^n for 0 <= n <= 19, all of which fit 64 bits.
constexpr std::array<u64, 20> kPow10u64 = [] {
    std::array<u64, 20> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 10;
    return p;
}();

void storeDigits(DecimalDigits &d, u64 n, int precision, int exponent)
{
    // n has exactly `precision` digits.
    for (int i = precision - 1; i >= 0; --i) {
        d.digits[i] = char('0' + n % 10);
        n /= 10;
    }
    d.count = precision;
    while (d.count > 0 && d.digits[d.count - 1] == '0')
        --d.count;
    d.exponent = exponent;
}

// The fast path for normal values from about 1e-40 up to 10^precision: the
// value is m / 2^q, scaled by 10^s into [10^(p-1), 10^p) and rounded
// exactly. A value with more integer digits than wanted is the C library's:
// only a premium of nineteen digits or more has one, and a batch of such
// premiums is no one's daily work.
bool fastDigits(long double magnitude, int precision, DecimalDigits &d)
{
    const Extended80 e = decompose(magnitude);
    if (!(e.significand >> 63) || e.exponent >= 255 || e.exponent < -140)
        return false;
    const int q = 63 - e.exponent; // value = significand / 2^q, -63 <= q <= 203
    // floor(log10(2^(e+1))) overestimates floor(log10 value) by at most one.
    int k = int(std::floor((e.exponent + 1) * 0.30102999566398120));
    const u64 low = kPow10u64[std::size_t(precision - 1)];
    const u64 high = low * 10;
    u64 n = 0;
    // Rounding up to 10^p carries into one more place: the digits become
    // 10^(p-1), one place higher.
    const auto store = [&](u64 digits) {
        int exponent = k + 1;
        if (digits == high) {
            digits = low;
            ++exponent;
        }
        storeDigits(d, digits, precision, exponent);
        return true;
    };
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int s = precision - 1 - k;
        if (s < 0) {
            // The estimate may be one too high; below it the value is too
            // large to scale.
            if (attempt > 0)
                return false;
            --k;
            continue;
        }
        if (s > kMaxPow10 || q < 1)
            return false;
        const U256 scaled = multiply(e.significand, kPow10.value[std::size_t(s)]);
        // Everything above bit q+64 must be zero for the quotient to fit 64 bits.
        if (q + 64 < 256 && bitsFrom(scaled, q + 64) != 0) {
            ++k;
            continue;
        }
        n = bitsFrom(scaled, q);
        if (n < low) {
            --k;
            continue;
        }
        if (n >= high) {
            ++k;
            continue;
        }
        const int half = compareRemainderWithHalf(scaled, q);
        if (half > 0 || (half == 0 && (n & 1)))
            ++n;
        return store(n);
    }
    return false;
}

// Everything else (very large, very small or subnormal) goes through the C
// library, which prints the exact expansion rounded to nearest, ties to even.
void slowDigits(long double magnitude, int precision, DecimalDigits &d)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*Le", precision - 1, magnitude);
    int count = 0;
    const char *p = buffer;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            d.digits[count++] = *p;
    }
    const int exp10 = *p == 'e' ? std::atoi(p + 1) : 0;
    d.count = count;
    while (d.count > 0 && d.digits[d.count - 1] == '0')
        --d.count;
    d.exponent = exp10 + 1;
}

constexpr int kFixedPrecision = 18;
constexpr u64 kUnitsLimit = 100000000000000000u; // 10^17

// Whether delta x t < half, where delta < 2^127 and t < 2^64: the product
// takes up to 191 bits, so it is formed as high x 2^64 + low.
bool productBelow(u128 delta, u64 t, u128 half)
{
    const u128 low = u128(u64(delta)) * t;
    const u128 high = (delta >> 64) * t + (low >> 64);
    const u128 halfHigh = half >> 64;
    return high < halfHigh || (high == halfHigh && u64(low) < u64(half));
}

} // namespace

// With Y = |value| x 10^decimals = P / 2^q exactly (P = significand x
// 10^decimals, q = 63 - exponent), and I = floor(Y) of K digits:
// - The 18-digit rounding of |value| rounds Y to r = 18 - K places after its
//   point (r = 18 when I is 0: a Y below 0.1 cannot reach the half anyway).
// - The rounding to decimals then raises I exactly when that r-place figure
//   is at least I + 1/2. I + 1/2 is itself an r-place figure, so that holds
//   exactly when frac(Y) > 1/2 - 10^-r / 2. Equality would be a tie at the
//   18th digit, but 1/2 - 10^-r / 2 has a factor 5^-r that no binary value
//   has, so it never happens and ties to even play no part here.
// - With F = frac(Y) x 2^q and half = 2^(q-1): F >= half raises I; otherwise
//   with delta = half - F the condition reads delta x 10^r < half.
std::uint64_t RoundToDecimalUnits(ExtendedBits value, int decimals)
{
    if (decimals < 0 || decimals > kFixedPrecision)
        return kNotDecided;
    if (value.isZero())
        return 0;
    const int exponent = int(value.signExponent & 0x7fff) - 16383;
    // Subnormals, unnormals, infinities and NaNs, and values from 2^63 on.
    if (!(value.significand >> 63) || exponent == -16383 || exponent >= 63)
        return kNotDecided;
    const int q = 63 - exponent;
    if (q >= 128)
        return 0; // Y < 2^124 / 2^128, far below the half
    const u128 scaled = u128(value.significand) * kPow10u64[std::size_t(decimals)]; // below 2^124
    const u128 whole = scaled >> q;
    if (whole >= kUnitsLimit)
        return kNotDecided;
    const u64 units = u64(whole);
    const u128 half = u128(1) << (q - 1);
    const u128 fraction = scaled & ((half << 1) - 1);
    if (fraction >= half)
        return units + 1;
    const u128 delta = half - fraction;
    // Most figures end here: with r >= 1, delta >= half / 8 gives
    // delta x 10^r > half.
    if (delta >= half >> 3)
        return units;
    const int r = units == 0 ? kFixedPrecision : kFixedPrecision - DecimalDigitCount(units);
    return units + (productBelow(delta, kPow10u64[std::size_t(r)], half) ? 1 : 0);
}

// With |value| below 10^18 and Y of K = 18 to 20 integer digits, the
// 18-digit rounding of |value| rounds Y to a multiple of 10^(K-18), to
// nearest with ties to even, and leaves the rounding to decimals nothing to
// drop: the 18 digits reach no further than the units of 10^-decimals.
std::uint64_t RoundLargeToDecimalUnits(ExtendedBits value, int decimals)
{
    if (decimals < 0 || decimals > kFixedPrecision)
        return kNotDecided;
    const int exponent = int(value.signExponent & 0x7fff) - 16383;
    // Normal values below 2^60, which 10^18 is below: the significand times
    // 10^decimals fits 125 bits.
    if (!(value.significand >> 63) || exponent == -16383 || exponent >= 60)
        return kNotDecided;
    const int q = 63 - exponent;
    if (q >= 100)
        return kNotDecided; // Y far below 10^17
    const u128 scaled = u128(value.significand) * kPow10u64[std::size_t(decimals)];
    const u128 whole = scaled >> q;
    const u128 limit18 = u128(kUnitsLimit) * 10; // 10^18
    if (whole < kUnitsLimit || whole >= limit18 * 100)
        return kNotDecided; // RoundToDecimalUnits' range, or past 64 bits
    const u64 step = whole < limit18 ? 1 : whole < limit18 * 10 ? 10 : 100;
    const u128 divisor = u128(step) << q;
    const u128 n = scaled / divisor;
    const u128 twice = (scaled - n * divisor) << 1;
    const u128 units = (n + (twice > divisor || (twice == divisor && (n & 1)) ? 1 : 0)) * step;
    // 18 digits that round up to 10^18 take the general form.
    const u128 general = limit18 * kPow10u64[std::size_t(decimals)];
    if (units >= general || units > ~u64(0))
        return kNotDecided;
    return u64(units);
}

DecimalDigits ToDecimalDigits(long double value, int precision)
{
    DecimalDigits d;
    d.negative = std::signbit(value);
    if (std::isnan(value)) {
        d.kind = DecimalDigits::Kind::NotANumber;
        return d;
    }
    if (std::isinf(value)) {
        d.kind = DecimalDigits::Kind::Infinite;
        return d;
    }
    if (value == 0.0L)
        return d;
    const long double magnitude = std::fabs(value);
    if (!fastDigits(magnitude, precision, d))
        slowDigits(magnitude, precision, d);
    return d;
}

void RoundToDecimals(DecimalDigits &d, int decimals)
{
    if (d.kind != DecimalDigits::Kind::Finite || d.count == 0)
        return;
    const int keep = d.exponent + decimals; // digits left of the cut
    if (keep >= d.count)
        return;
    if (keep < 0) {
        d.count = 0;
        d.exponent = 0;
        return;
    }
    const bool up = d.digits[keep] >= '5';
    d.count = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[i] == '9')
            --i;
        if (i < 0) {
            // All nines (or nothing kept): the carry makes a new leading 1.
            d.digits[0] = '1';
            d.count = 1;
            d.exponent += 1;
            return;
        }
        d.digits[i] += 1;
        d.count = i + 1;
    }
    while (d.count > 0 && d.digits[d.count - 1] == '0')
        --d.count;
    if (d.count == 0)
        d.exponent = 0;
}

int DecimalDigitCount(std::uint64_t n)
{
    if (n == 0)
        return 0;
    // bits * 1233 / 4096 is floor(log10(2^bits)) for bits <= 64, so this is
    // the count or one less.
    const int guess = ((64 - __builtin_clzll(n)) * 1233) >> 12;
    return guess + (n >= kPow10u64[std::size_t(guess)] ? 1 : 0);
}

} // namespace quillon

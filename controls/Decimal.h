#pragma once

#include <cstdint>

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

#pragma once

#include <limits>

namespace quillon {

// Amounts and rates are 80-bit extended values and short-rate factors are
// IEEE single precision. Every figure the program shows depends on these
// exact widths, so a platform that maps the types differently must not build.
static_assert(std::numeric_limits<long double>::digits == 64,
              "long double must be the x87 80-bit extended type (64-bit significand)");
static_assert(std::numeric_limits<long double>::max_exponent == 16384,
              "long double must have the 15-bit exponent of the 80-bit extended type");
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<float>::digits == 24,
              "float must be IEEE 754 single precision");

} // namespace quillon

#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace quillon {

// Names that files spell in any case (settings sections and keys, the
// columns of a batch) match the same way in every locale. The C library's
// tolower follows the process's locale, and under tr_TR or az_AZ it does not
// take 'I' to 'i', so [Required] would be another section there. These fold
// A to Z only and leave every other byte as it is.

constexpr char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

inline std::string AsciiLowered(std::string_view text)
{
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), AsciiLower);
    return lowered;
}

constexpr bool EqualAsciiNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

} // namespace quillon

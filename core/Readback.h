#pragma once

#include <optional>
#include <string_view>

#include "Localeset.h"

namespace quillon {

// Reading figures back out of text, in the locale's own notation: its decimal
// separator is the decimal point and its thousands separator groups the
// integer digits, in threes as figures are shown or in the locale's own
// groups (12,34,567.50 under en_IN). A text whose reading would be ambiguous in the locale (a
// point that is neither separator, a thousands separator out of place, a
// second decimal separator) is refused rather than read as another number.

// A field's read-back: negative when the text holds a '-' anywhere, or else
// a '('; the currency sign, parentheses, spaces and other characters are
// dropped. The general form that very large figures are shown in ("1E18",
// "-1,5E20") reads back as the figure it shows. A lone decimal separator
// reads as 0. Returns nothing when the text holds no readable number or one
// beyond the extended range.
std::optional<long double> ParseText(std::string_view text, const LocaleSettings &locale);

// What a clerk means by an amount, and nothing else: optional spaces around,
// a sign ('-' or '+') or enclosing parentheses for a negative amount, an
// optional "$", then digits with thousands separators in their places and an
// optional decimal part in the locale's notation. "-$5", "$-5", "($1,234.50)"
// and "1234.5" are amounts; "1e5", "abc123", "0x10" and "1,5" (in a locale
// that groups with the comma) are not.
std::optional<long double> ParseAmount(std::string_view text, const LocaleSettings &locale);

} // namespace quillon

// Feeds arbitrary bytes to the two text readers a clerk can reach: the
// premium read-back and the short date. Nothing may crash, and whatever reads
// must survive a trip through its display form unchanged.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Dispfmt.h"
#include "Shortdate.h"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    static const LocaleSettings locale;
    static const DisplayFormat amount(kAmountFormat);
    constexpr int today = 46363; // 12/7/2026

    if (const auto value = ParseText(text, locale); value && *value > -1e17L && *value < 1e17L) {
        // The displayed figure is a fixed point: reading it back and showing
        // it again gives the same text. From 10^18 up the figure is shown in
        // exponent form, which the field's read-back keeps only the digits of
        // ("1E18" reads as 118), so those are left out.
        const std::string shown = amount.format(*value, locale);
        const auto reread = ParseText(shown, locale);
        check(reread.has_value());
        check(amount.format(*reread, locale) == shown);
    }

    if (const auto day = TryParseShortDate(text, locale, today)) {
        check(*day >= kFirstDayNumber && *day <= kLastDayNumber);
        const std::string field = DateFieldText(*day, locale);
        if (!field.empty())
            check(TryParseShortDate(field, locale, today) == day);
    }
    return 0;
}

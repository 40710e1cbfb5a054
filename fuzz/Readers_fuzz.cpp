// Feeds arbitrary bytes to the text readers a clerk can reach: the field's
// read-back, the command line's amount and the short date, in two locales. Nothing may crash, and whatever reads
// must survive a trip through its display form unchanged.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Dispfmt.h"
#include "Shortdate.h"

using namespace quillon;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Whatever a reader takes must survive a trip through its display form.
void checkLocale(std::string_view text, const LocaleSettings &locale)
{
    static const DisplayFormat amount(kAmountFormat);
    constexpr int today = 46363; // 12/7/2026

    for (const auto &value : {ParseText(text, locale), ParseAmount(text, locale)}) {
        if (!value)
            continue;
        // The displayed figure is a fixed point: reading it back and showing
        // it again gives the same text, the exponent form of huge figures too.
        const std::string shown = amount.format(*value, locale);
        const auto reread = ParseText(shown, locale);
        check(reread.has_value());
        check(amount.format(*reread, locale) == shown);
    }

    if (const auto day = TryParseShortDate(text, locale, today)) {
        check(*day >= kFirstDayNumber && *day <= kLastDayNumber);
        if (*day >= kFirstWritableDayNumber)
            check(TryParseShortDate(DateFieldText(*day, locale), locale, today) == day);
    }
}

LocaleSettings dayFirstCommaLocale()
{
    LocaleSettings locale;
    locale.decimalSeparator = ",";
    locale.thousandSeparator = "\u202F";
    locale.shortDatePattern = "dd/mm/yyyy";
    locale.dateSeparator = '.';
    return locale;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    static const LocaleSettings plain;
    static const LocaleSettings european = dayFirstCommaLocale();
    checkLocale(text, plain);
    checkLocale(text, european);
    return 0;
}

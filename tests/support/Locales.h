#pragma once

#include "Localeset.h"

// A locale that writes 1.234,50: comma for decimals, point for thousands.
inline LocaleSettings commaDecimalLocale()
{
    LocaleSettings locale;
    locale.decimalSeparator = ",";
    locale.thousandSeparator = ".";
    return locale;
}

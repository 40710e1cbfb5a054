#pragma once

#include <cstdlib>

#include "Environment.h"
#include "Localeset.h"

// A locale that writes 1.234,50: comma for decimals, point for thousands.
inline quillon::LocaleSettings commaDecimalLocale()
{
    quillon::LocaleSettings locale;
    locale.decimalSeparator = ",";
    locale.thousandSeparator = ".";
    return locale;
}

// The settings of an installed locale, read as the program reads them at
// start-up; the process goes back to the C locale afterwards.
inline quillon::LocaleSettings namedLocale(const char *name)
{
    setenv("LC_ALL", name, 1);
    quillon::LocaleSettings settings = quillon::ReadSystemLocaleSettings();
    setenv("LC_ALL", "C", 1);
    return settings;
}

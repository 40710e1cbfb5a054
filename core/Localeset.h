#pragma once

#include <array>
#include <string>

// The user's number and date conventions, read once at start-up and passed to
// every conversion. The defaults are those of the C/POSIX locale.
struct LocaleSettings
{
    std::string decimalSeparator = ".";
    std::string thousandSeparator = ",";
    char dateSeparator = '/';
    // Pattern letters: d dd ddd dddd, m mm mmm mmmm, yy yyyy, and '/' for the
    // date separator; anything else is copied.
    std::string shortDatePattern = "m/d/yy";
    std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> longMonthNames{"January", "February", "March", "April",
                                               "May", "June", "July", "August",
                                               "September", "October", "November", "December"};
    std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> longDayNames{"Sunday", "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
};

// Reads the settings of the locale the environment selects (LC_ALL, LC_NUMERIC,
// LC_TIME, LANG). A C or POSIX locale, or one that is not installed, gives the
// defaults. Reads the environment but does not change the process's locale.
LocaleSettings ReadSystemLocaleSettings();

// Turns a POSIX date format (nl_langinfo(D_FMT), e.g. "%d.%m.%Y") into our
// pattern and separator ("dd/mm/yyyy" and '.'). Unknown directives are dropped.
void ApplyPosixDateFormat(LocaleSettings &settings, const std::string &posixFormat);

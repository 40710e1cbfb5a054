#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The user's number and date conventions, read once at start-up and passed to
// every conversion. The defaults are those of the C/POSIX locale.
struct LocaleSettings
{
    std::string decimalSeparator = ".";
    std::string thousandSeparator = ",";
    // The sizes of the locale's digit groups, counted from the decimal point,
    // the last one repeating: {3} for 1,234,567, {3, 2} for 12,34,567. A last
    // size of 0 leaves the digits beyond the groups before it ungrouped.
    // Figures are shown in threes whatever the locale does; a figure typed
    // in either grouping reads back.
    std::vector<int> digitGroups{3};
    char dateSeparator = '/';
    // Pattern letters: d dd ddd dddd, m mm mmm mmmm, yy yyyy, e (the year in
    // the locale's era), g (the era's name), and '/' for the date separator;
    // quoted text and anything else is copied.
    std::string shortDatePattern = "m/d/yy";
    // Where the short date counts years in an era of its own (the Buddhist
    // era, 543 years ahead), the era year is the Gregorian year plus this.
    std::optional<int> eraYearOffset;
    std::string eraName;
    // The digits zero to nine of a locale that writes numbers with digits of
    // its own (Persian, Oriya), one character each; empty for ASCII only.
    std::vector<std::string> altDigits;
    // Where the locale writes a date's numbers as words instead (Chinese
    // numerals under lzh_TW: 十 is 10, 廿五 25), the words from zero on, as
    // many as it has; a year is its century's word and then its own ("廿廿五"
    // is 2025, "廿五" 2005).
    std::vector<std::string> numberWords;
    // The character set text is typed in where it is not UTF-8 (the
    // locale's LC_CTYPE: ISO-8859-1, KOI8-R, EUC-JP); empty for UTF-8.
    std::string typedCharset;
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
// The same, with the name of a locale the environment names that could not be
// loaded in `unavailable` (empty when every one was), for a caller to say
// that its defaults stand in for it.
LocaleSettings ReadSystemLocaleSettings(std::string &unavailable);

// The length in bytes of the well-formed UTF-8 character `text` begins with:
// a lead byte with its continuation bytes, no overlong form, surrogate or
// value past U+10FFFF. 0 for anything else (a lone or cut byte, empty text).
std::size_t WellFormedUtf8Length(std::string_view text);

// `text` as the readers take it: in UTF-8. Text of a locale whose character
// set is another, as its terminal types it, is converted into `converted`;
// text that is UTF-8 already is returned as it is.
std::string_view TypedText(std::string_view text, const LocaleSettings &locale, std::string &converted);

// The length of the digit at `pos` of `text`, an ASCII digit or one of the
// locale's own, with its value in `digit` ('0' to '9'); 0 for anything else.
std::size_t DigitAt(std::string_view text, std::size_t pos, const LocaleSettings &locale, char &digit);

// The locale's own digits from its alternative digits as the C library lists
// them (alt_digits: zero, one, ... up to 99, perhaps zero-padded): the ten
// characters it writes numbers with place by place, or nothing where its
// numbers are words (Chinese numerals) or it has none.
std::vector<std::string> PlaceDigits(const std::vector<std::string> &altDigits);
// The same list's words, where the numbers are words rather than digits
// placed: up to the first that is written in ASCII digits; nothing where
// PlaceDigits reads them.
std::vector<std::string> NumberWords(const std::vector<std::string> &altDigits);

// Turns a POSIX date format (nl_langinfo(D_FMT), e.g. "%d.%m.%Y") into our
// pattern and separator ("dd/mm/yyyy" and '.'). %D and %F stand for their
// fields; %E and %O take the era (the settings' eraYearOffset and eraName,
// set first) and the locale's digits; weekday names, other directives and
// literal text are kept for writing and skipped in reading. The separator is
// the punctuation that first follows a numeric field ('/' where none does).
// Unknown directives are dropped.
void ApplyPosixDateFormat(LocaleSettings &settings, const std::string &posixFormat);

} // namespace quillon

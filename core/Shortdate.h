#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Localeset.h"

namespace quillon {

// Day numbers and the date conversions shared by the whole program.
//
// A day number counts whole days from 30 December 1899 (day 0) on the
// Gregorian calendar, for years 1 to 9999: 1 January 1900 is day 2,
// 1 January 0001 is day -693593 and 31 December 9999 is day 2958465.

inline constexpr std::chrono::sys_days kDayZero =
    std::chrono::sys_days{std::chrono::year{1899} / std::chrono::December / 30};
inline constexpr int kFirstDayNumber = -693593; // 1/1/0001
inline constexpr int kLastDayNumber = 2958465;  // 12/31/9999
// 1/1/0100. A year below 100 reads back in the current century, so the
// calendar stops here and nothing writes an earlier date into a field.
inline constexpr int kFirstWritableDayNumber = -657434;

int DayNumber(std::chrono::year_month_day date);
std::chrono::year_month_day DateOfDayNumber(int day);
// 1 (Sunday) to 7 (Saturday).
int DayOfWeek(int day);
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Reads a date typed in the locale's short date order: day, month and year
// in the places the pattern gives them (any of the six orders; a weekday
// never counts), parted by the date separator or the pattern's own text,
// which may also stand before and after them. Where the pattern names the
// month, its name may stand for its number; weekday names are skipped; the
// locale's own digits count as digits. Spaces may precede each number and
// separator; one separator and spaces may follow the last number. Two
// numbers are day and month in the pattern's order and take the year of
// `today`; a year of 0 to 99 is put in the century of `today` (no sliding
// window). A year in the locale's era ('e') is read as an era year and
// turned into the Gregorian one. Returns nothing for anything else.
std::optional<int> TryParseShortDate(std::string_view text, const LocaleSettings &locale, int today);

struct DateLayout;
struct DateToken;

// Reads dates as TryParseShortDate does, with the locale's date pattern
// worked out once: for a batch, which reads two dates a row on several
// threads at once. `locale` must outlive it.
class ShortDateReader
{
public:
    explicit ShortDateReader(const LocaleSettings &locale);
    std::optional<int> read(std::string_view text, int today) const
    {
        const int day = readDay(text, today);
        return day == kNoDay ? std::nullopt : std::optional<int>(day);
    }

private:
    // The tests hold the plain-digit shortcut to the general scanner.
    friend struct ShortDateReaderByScanner;
    // A plain number out, the optional made where it is used: one returned
    // from a call is put together on the stack in parts and read back
    // whole, which stalls the processor.
    static constexpr int kNoDay = kFirstDayNumber - 1;
    int readDay(std::string_view text, int today) const;
    // The general scanner alone, which the plain-digit shortcut stands in for.
    int scanDay(std::string_view text, int today) const;
    // The two or three numbers of a date read by the pattern: their count, 0 for none.
    int scanTokens(std::string_view text, std::array<DateToken, 3> &tokens) const;
    int dayOf(const std::array<DateToken, 3> &tokens, int count, int today) const;

    const LocaleSettings &m_locale;
    std::shared_ptr<const DateLayout> m_layout;
    bool m_plain; // the layout and the locale write dates in ASCII digits and separators only
};

// As above; throws ConversionError("'<text>' is not a valid date").
int ParseShortDate(std::string_view text, const LocaleSettings &locale, int today);

// Writes a day number through a date pattern: m mm mmm mmmm, d dd ddd dddd,
// yy yyyy, e (the era year, zero-padded to the letters' count), g (the era's
// name), '/' as the locale's date separator, quoted text without quotes,
// every other character copied.
std::string FormatDatePattern(int day, std::string_view pattern, const LocaleSettings &locale);

// The locale's short date pattern.
std::string FormatShortDate(int day, const LocaleSettings &locale);

// A date field's own text form: day, month and year in the locale's reading
// order, no leading zeros, a four-digit year (in the locale's era where its
// short date counts years in one), the locale's separator between them
// ("m/d/yyyy", "d/m/yyyy", "yyyy/d/m", ... with '/' standing for it). It
// always reads back as the same day, for every date from 1/1/0100 on; years
// below 100 would read back in the current century.
std::string DateFieldPattern(const LocaleSettings &locale);
std::string DateFieldText(int day, const LocaleSettings &locale);

// Today's date as the date fields first show it: the locale's short date
// pattern, unless that pattern cannot be read back (month names, say), when
// the field's own text form stands in.
std::string StartupDateText(int day, const LocaleSettings &locale, int today);

// Today's local date as a day number, unless a test has fixed it.
int Today();
// Fixes (or with nullopt, releases) the date Today() returns.
void SetTodayForTesting(std::optional<int> day);

} // namespace quillon

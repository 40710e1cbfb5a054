#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "Urefund.h"

namespace quillon {

// Texts the window program and the command-line tool share. Many a text
// that one window or reader alone shows stays beside the code that finds
// the fault instead.

// A text that cannot be converted (a date, a number, a format). Code that
// reports the failure itself uses the non-throwing readers instead.
class ConversionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

namespace Messages {

inline constexpr std::string_view kApplicationTitle = "Quillon Insurance Refund Calculator";
inline constexpr std::string_view kFormatTooLong = "Format string too long";
inline constexpr std::string_view kOverYear =
    "You have selected dates greater than 366 days. Please try again!";
inline constexpr std::string_view kNegativeDays =
    "You have selected dates less than 0 days. Please try again!";
inline constexpr std::string_view kRangeCaption = "Error";
inline constexpr std::string_view kInvalidDatePrefix = "Invalid Date: ";

// The wording of each quotation type, shared by the window, the printed
// quote and the command-line tool.
struct QuotationCaptions
{
    const char *title;    // the quote's heading: "REFUND" or "Additional Premium"
    const char *unearned; // row caption of the unearned figures
    const char *earned;   // row caption of the earned figures (window only; the quote says "Used")
    const char *premium;
    const char *start;
    const char *end;
    const char *premiumHint;
    const char *daysHint;
};

const QuotationCaptions &CaptionsFor(bool additionalPremium);

// The message the main window shows for an out-of-range day count, or empty.
std::string_view ForRange(DayRange range);

// "'<text>' is not a valid date", the text exactly as given.
std::string InvalidDate(std::string_view text);
// "'<text>' is not a valid premium"
std::string InvalidPremium(std::string_view text);

// The office rules and their short-rate table files. A table's refusal names
// its source and the first line at fault: "<source>, line 7: <reason>".
std::string TableError(std::string_view source, int line, std::string_view reason);
namespace Table {
inline constexpr std::string_view kNoTerm = "the table must begin with term_months,N, N a number of months from 1 to 60";
inline constexpr std::string_view kNoHeader = "the line after term_months must be days,earned_percent";
inline constexpr std::string_view kNoRows = "the table has no rows";
inline constexpr std::string_view kFirstDay = "the first row must begin at day 0";
inline constexpr std::string_view kFalls = "the earned percentage is below the row before's: it may never fall";
inline constexpr std::string_view kUnreadable = "the file cannot be read";
inline constexpr std::string_view kTooLarge = "the file is larger than 1 MiB, far more than any table";
std::string BadRow(std::string_view text);     // not two fields
std::string BadDays(std::string_view text);    // not a day count or range
std::string BadPercent(std::string_view text); // not 0 to 100, two decimals
std::string Gap(int first, int last);          // days missing between rows
std::string Overlap(int day);
std::string TooShort(int lastDay, int months, int termDays);
} // namespace Table

namespace Rules {
inline constexpr std::string_view kFeesOverPremium =
    "The fully earned fees are more than the premium. Please check the fees";
inline constexpr std::string_view kExpirationNotAfter =
    "The expiration date must be after the policy effective date";
inline constexpr std::string_view kAfterExpiration =
    "You have selected a cancellation date after the expiration date. Please try again!";
std::string BadShortRate(std::string_view text);
std::string BadMinimumEarned(std::string_view text);
std::string BadFees(std::string_view text);
// Why the short rate of a term is left empty.
std::string NoTableForDays(int termDays);                // not whole months
std::string NoTableForMonths(std::string_view source, int months);
std::string TableEndsEarly(std::string_view source, int lastDay, int termDays);
} // namespace Rules

// A piece of the user's input as a message may quote it: at most its first
// 40 bytes, never splitting a character, marked "…" when cut; and control
// characters (C0, DEL, C1), the characters that reorder text (U+202E and
// the other bidirectional controls) and every byte that is not well-formed
// UTF-8 written as \xHH of their bytes, so that input can never drive the
// terminal, cut a message short at a NUL or turn it round.
std::string QuotedInput(std::string_view text);
// The same escaping without the cut, for names of files.
std::string PrintableText(std::string_view text);

// The text of the general error display: the message with a full stop added
// when its last character sorts after the full stop, so "…date" gains one and
// "…again!" or "…end." do not.
std::string ErrorDisplayText(std::string_view message);

// The writer's reasons beyond the system's own words (core/Filewrite).
// Names of files come as the bytes the file system knows them by, and
// appear with control characters escaped.

// A save makes a new file beside the one it replaces, so a folder that
// refuses new files refuses the save, however writable the file is.
std::string NoNewFileIn(std::string_view folder, std::string_view reason);
// A link another user put in a shared folder such as /tmp, which the
// writer does not follow, as the kernel would not.
std::string ForeignLinkInSharedFolder(std::string_view link);
// An attribute of the old file (an ACL, a user.* attribute) that the
// replacement cannot take over.
std::string AttributeNotKept(std::string_view attribute, std::string_view reason);
// After replacing a file that had other names (hard links): they still lead
// to the old contents.
std::string OtherNamesKeepOldContents(std::string_view file, unsigned long long otherNames);

} // namespace Messages

} // namespace quillon

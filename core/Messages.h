#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "Urefund.h"

namespace quillon {

// The program's own texts, kept in one place for the window program and the
// command-line tool alike.

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

#include "Messages.h"

#include "Localeset.h"

namespace quillon {

namespace Messages {

namespace {

std::string quoted(std::string_view text, std::string_view tail)
{
    std::string message;
    message.reserve(text.size() + tail.size() + 2);
    message += '\'';
    message += text;
    message += '\'';
    message += tail;
    return message;
}

} // namespace

const QuotationCaptions &CaptionsFor(bool additionalPremium)
{
    static const QuotationCaptions refund{
        "REFUND", "Refund", "Earned", "Total Premium", "Policy Effective date", "Cancellation Date",
        "Enter the total policy premium including all endorsements",
        "This is the number of calendar days between inception date and cancellation date",
    };
    static const QuotationCaptions additional{
        "Additional Premium", "Amt Due", "Expired", "Add. Annual Premium", "Policy Effective date",
        "Change Effective Date",
        "Enter the total additional premium as if was going to be paid at the start of the policy",
        "This is the number of calendar days between policy effective date and endorsement effective date",
    };
    return additionalPremium ? additional : refund;
}

std::string_view ForRange(DayRange range)
{
    switch (range) {
    case DayRange::drOverYear: return kOverYear;
    case DayRange::drNegative: return kNegativeDays;
    case DayRange::drInRange: break;
    }
    return {};
}

namespace {

// A message quotes at most the start of a bad field, marked as cut, so a
// field of pages cannot make a message of pages.
constexpr std::size_t kQuotedPrefix = 40;

void appendEscaped(std::string &out, std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
    }
}

// A character that reorders the text around it when shown: the bidirectional
// marks, embeddings, overrides and isolates (U+061C, U+200E, U+200F,
// U+202A to U+202E, U+2066 to U+2069). A quoted field ending in U+202E would
// show the rest of the message backwards.
bool reordering(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// The character of a well-formed UTF-8 sequence of `length` bytes.
char32_t codePoint(std::string_view bytes, std::size_t length)
{
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t c = static_cast<unsigned char>(bytes[0]) & kLeadBits[length];
    for (std::size_t k = 1; k < length; ++k)
        c = c << 6 | (static_cast<unsigned char>(bytes[k]) & 0x3F);
    return c;
}

// Every byte that is not part of a well-formed character, and every control
// (C0, DEL, C1) or reordering character, as \xHH of its bytes: what a
// message says is then plain UTF-8 that a terminal or a spreadsheet shows as
// it is, and a JSON writer takes without replacing anything.
std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = WellFormedUtf8Length(text.substr(i));
        if (length == 0) {
            appendEscaped(out, text.substr(i, 1));
            ++i;
            continue;
        }
        const char32_t c = codePoint(text.substr(i), length);
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || reordering(c))
            appendEscaped(out, text.substr(i, length));
        else
            out.append(text, i, length);
        i += length;
    }
    return out;
}

} // namespace

std::string QuotedInput(std::string_view text)
{
    if (text.size() <= kQuotedPrefix)
        return escaped(text);
    std::size_t n = kQuotedPrefix;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n; // never split a UTF-8 character
    return escaped(text.substr(0, n)) + "\u2026";
}

std::string PrintableText(std::string_view text)
{
    return escaped(text);
}

std::string InvalidDate(std::string_view text)
{
    return quoted(text, " is not a valid date");
}

std::string InvalidPremium(std::string_view text)
{
    return quoted(text, " is not a valid premium");
}

std::string TableError(std::string_view source, int line, std::string_view reason)
{
    std::string message = PrintableText(source);
    if (line > 0)
        message += ", line " + std::to_string(line);
    message += ": ";
    message += reason;
    return message;
}

namespace Table {

std::string BadRow(std::string_view text)
{
    return quoted(QuotedInput(text), " is not a row of two fields, days,earned_percent (such as 3-4,7)");
}

std::string BadDays(std::string_view text)
{
    return quoted(QuotedInput(text), " is not a day count from 0 to 36600 or a range of them (such as 3-4)");
}

std::string BadPercent(std::string_view text)
{
    return quoted(QuotedInput(text), " is not an earned percentage from 0 to 100 with at most two decimals");
}

std::string Gap(int first, int last)
{
    if (first == last)
        return "day " + std::to_string(first) + " is missing";
    return "days " + std::to_string(first) + " to " + std::to_string(last) + " are missing";
}

std::string Overlap(int day)
{
    return "day " + std::to_string(day) + " is already in the row before";
}

std::string TooShort(int lastDay, int months, int termDays)
{
    return "the rows end at day " + std::to_string(lastDay) + ", short of the " + std::to_string(termDays)
        + " days of a " + std::to_string(months) + "-month term";
}

} // namespace Table

namespace Rules {

std::string BadShortRate(std::string_view text)
{
    return quoted(QuotedInput(text), " is not a short-rate rule: a share of pro rata from 0% to 100%, or a table file");
}

std::string BadMinimumEarned(std::string_view text)
{
    return quoted(QuotedInput(text), " is not a minimum earned premium: an amount, or a percentage from 0% to 100%");
}

std::string BadFees(std::string_view text)
{
    return quoted(QuotedInput(text), " is not an amount of fees: an amount of 0 or more");
}

std::string NoTableForDays(int termDays)
{
    return "No short rate: a term of " + std::to_string(termDays)
        + " days is not a whole number of months, and no table is for it";
}

std::string NoTableForMonths(std::string_view source, int months)
{
    return "No short rate: the table " + PrintableText(source) + " is not for a " + std::to_string(months)
        + "-month term";
}

std::string TableEndsEarly(std::string_view source, int lastDay, int termDays)
{
    return "No short rate: the table " + PrintableText(source) + " ends at day " + std::to_string(lastDay)
        + ", before the end of the " + std::to_string(termDays) + "-day term";
}

} // namespace Rules

std::string ErrorDisplayText(std::string_view message)
{
    std::string text(message);
    // Compared as unsigned bytes: any non-ASCII last character sorts after '.'.
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

std::string NoNewFileIn(std::string_view folder, std::string_view reason)
{
    return "No new file can be made in the folder "
        + quoted(escaped(folder), ", and a save writes one beside the file it replaces: ") + std::string(reason);
}

std::string ForeignLinkInSharedFolder(std::string_view link)
{
    return quoted(escaped(link), " is a link another user made in a shared folder; it is not followed");
}

std::string AttributeNotKept(std::string_view attribute, std::string_view reason)
{
    return "The file's attribute " + escaped(attribute) + " cannot be kept: " + std::string(reason);
}

std::string OtherNamesKeepOldContents(std::string_view file, unsigned long long otherNames)
{
    return quoted(escaped(file), " had ") + std::to_string(otherNames)
        + (otherNames == 1 ? " other name (a hard link), which still leads to the old contents"
                           : " other names (hard links), which still lead to the old contents");
}

} // namespace Messages

} // namespace quillon

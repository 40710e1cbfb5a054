#include "Messages.h"

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

std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            appendEscaped(out, text.substr(i, 1));
        } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80
                   && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            appendEscaped(out, text.substr(i, 2)); // U+0080 to U+009F, the C1 controls
            ++i;
        } else {
            out += text[i];
        }
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

#include "Messages.h"

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

} // namespace Messages

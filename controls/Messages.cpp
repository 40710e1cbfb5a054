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

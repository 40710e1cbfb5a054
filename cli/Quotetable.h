#pragma once

#include <string>

#include "Localeset.h"
#include "Quote.h"

enum class QuotationType
{
    Refund,
    AdditionalPremium,
};

// One computed quote as a readable table, labelled as the main window labels
// it in the given quotation type.
std::string QuoteTable(const QuoteOutcome &outcome, QuotationType type, const LocaleSettings &locale);

#pragma once

#include <string>

#include "Quote.h"
#include "Uprpt.h"

// The three texts the policy information dialog would be given.
struct PolicyEntry
{
    std::string number;
    std::string client;
    std::string type;
};

// The quote page's texts for one computed quote, as the main window would
// show them after the calculation and the dialog would keep them: the
// premium as its field formats the value read, the dates as the date fields
// show them once left, the day count and figures in their display formats.
// A negative day count leaves the pro-rated fields of a fresh window at
// their starting zeros. The policy number is kept in capitals, as the
// dialog's field keeps it; client and policy type as typed. Where the quote
// was worked by `rules`, the line under the figures names them, as the
// window's printed quote does.
QuoteTexts QuoteTextsFor(const quillon::QuoteRecord &quote, const PolicyEntry &policy,
                         const CompanyDetails &company, const quillon::RuleSet *rules = nullptr,
                         const quillon::LocaleSettings *locale = nullptr);

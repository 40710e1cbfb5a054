#pragma once

#include <string>

#include "Localeset.h"
#include "Quote.h"

// How each figure of one quote was reached, step by step with its own
// numbers and the rule each step follows, in words a clerk can hand to a
// client or an auditor. In the additional-premium wording the short rate,
// which does not apply there, is left out. With the office `rules` the
// quote was made by, the working shows them: the term, the fees worked off
// and added back, the share or table of the short rate or why it is empty,
// and each figure the minimum raised.
std::string ExplainQuote(const quillon::QuoteRecord &quote, const quillon::LocaleSettings &locale,
                         const quillon::RuleSet *rules = nullptr);

// The exact decimal value of an extended number: every binary fraction has
// a finite one. Trailing zeros are dropped.
std::string ExactDecimal(long double value);

#pragma once

#include <string>

#include "Localeset.h"
#include "Quote.h"

// How each figure of one quote was reached, step by step with its own
// numbers and the rule each step follows, in words a clerk can hand to a
// client or an auditor. In the additional-premium wording the short rate,
// which does not apply there, is left out.
std::string ExplainQuote(const quillon::QuoteRecord &quote, const quillon::LocaleSettings &locale);

// The exact decimal value of an extended number: every binary fraction has
// a finite one. Trailing zeros are dropped.
std::string ExactDecimal(long double value);

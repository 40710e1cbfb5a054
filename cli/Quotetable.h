#pragma once

#include <string>
#include <string_view>

#include "Quote.h"

// One computed quote as a readable table, labelled as the main window labels
// it in the quote's quotation type, and `rules`, when given, on a line of
// its own (RulesText).
std::string QuoteTable(const quillon::QuoteRecord &quote, std::string_view rules = {});

#pragma once

#include <string>

#include "Quote.h"

// One computed quote as a readable table, labelled as the main window labels
// it in the quote's quotation type.
std::string QuoteTable(const quillon::QuoteRecord &quote);

#pragma once

#include <cstdio>
#include <string>

#include "Company.h"
#include "Filewrite.h"
#include "Localeset.h"
#include "Rules.h"

// Writes one quote page per row of a batch, in order, into one PDF at
// `path`, replacing it only once every page is written. The policy details
// come from the optional columns policy_number, client, policy_type and type
// (refund or addl). A row that cannot be quoted gets no page and a line on
// standard error naming its input line, as does a row's range message.
// Needs a QGuiApplication. Returns an exit status; for kExitUsage `error`
// says why.
// `destination` says what the file may not be (the input). The figures
// follow `rules` (null: none given) and the rule columns, as a CSV batch's
// do; a row of additional premium takes only their term.
int RunBatchPdf(std::FILE *in, const std::string &path, const quillon::WriteOptions &destination,
                const quillon::LocaleSettings &locale, int today, const CompanyDetails &company, bool progress,
                std::string &error, const quillon::RuleSet *rules = nullptr);

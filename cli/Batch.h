#pragma once

#include <cstdio>
#include <string>

#include "Localeset.h"

// Exit statuses shared by both modes of quillon-quote.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRowFailed = 1; // some input could not be read; the rest was written
inline constexpr int kExitUsage = 2;     // bad arguments, unreadable input, unwritable output

inline constexpr const char *kBatchInputHeader = "premium,start,end";

// Quotes every record of a CSV with the header premium,start,end, writing one
// output row per input record, in order, as it goes. Returns an exit status;
// for kExitUsage `error` says why in one line.
int RunBatch(std::FILE *in, std::FILE *out, const LocaleSettings &locale, int today, std::string &error);

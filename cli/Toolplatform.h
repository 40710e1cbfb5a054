#pragma once

#include <cstdio>
#include <string>
#include <vector>

// What quillon-quote asks of the system that each system answers its own
// way, one file for each: Toolplatform_posix.cpp and Toolplatform_win.cpp.

// Standard input and output carry bytes exactly as they are. Windows opens
// them in text mode, which writes a CSV's CRLF as CR CR LF and takes a
// Ctrl-Z byte for the end of the input. Call before anything is read or written.
void UseBinaryStandardStreams();

// The arguments as the tool reads them: on POSIX the bytes as given; on
// Windows the wide command line in UTF-8, since argv holds the ANSI code
// page's text, which cannot spell most names.
std::vector<std::string> CommandLineArguments(int argc, char **argv);

// Opens a file for reading bytes by a name from CommandLineArguments.
// Null with errno set when it cannot be opened.
std::FILE *OpenForReading(const std::string &name);

#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the portable units ask of the system besides the writer's file calls
// (Filewrite_sys.h): Platform_posix.cpp and Platform_win.cpp each answer on
// their own system's calls.

namespace quillon::platform {

// A locale's separators and names as the system spells them. `name` is the
// locale the environment names ("de_DE.UTF-8"), never the C locale; without
// one, the user's own settings where the system keeps them apart from the
// environment (Windows), and nothing where it does not (POSIX). Nothing too
// for a locale the system does not have.
struct NumberWords
{
    std::string decimal;
    std::string thousands;
    std::vector<int> grouping; // as LocaleSettings::digitGroups; empty where the locale does not group
};
std::optional<NumberWords> LocaleNumberWords(const std::optional<std::string> &name);

struct DateWords
{
    std::string posixFormat; // the short date, as "%d.%m.%Y"
    std::array<std::string, 12> longMonths, shortMonths;
    std::array<std::string, 7> longDays, shortDays; // from Sunday
    // The locale's alternative digits (alt_digits), from zero; empty for none.
    std::vector<std::string> altDigits;
    // Where the short date counts years in one era for every date (the
    // Buddhist era): the era year less the Gregorian year, and the era's name.
    std::optional<int> eraYearOffset;
    std::string eraName;
};
std::optional<DateWords> LocaleDateWords(const std::optional<std::string> &name);

// Text typed where the locale's character set is not UTF-8 (ISO-8859-1 under
// fr_FR, KOI8-R, EUC-JP) comes in that set: a terminal of that locale sends
// it so. The set's name where it is one (LC_ALL, LC_CTYPE, LANG), empty for
// UTF-8, for plain ASCII and wherever the system hands text over in Unicode
// (Windows).
std::string TypedCharset(const std::optional<std::string> &name);
// `text` of that set in UTF-8; nothing where it does not convert.
std::optional<std::string> CharsetToUtf8(std::string_view text, const std::string &charset);

// strtold as the C locale reads, whatever locale the process runs in, to
// the last bit of a long double.
long double ReadCNumber(const char *text, char **end);

// The local calendar time of `time`.
std::tm LocalTime(std::time_t time);

enum class FileRead
{
    Missing,    // nothing at the path, or a folder on the way is missing
    Read,       // a regular file, read whole into `contents`
    Unreadable, // anything else; `contents` may hold a part
};

// What stands at a path or behind an open stream, as far as reading goes.
enum class FileKind
{
    Regular,
    Directory,
    Fifo,
    Device,
    Other,
};

struct BoundedRead
{
    FileRead outcome = FileRead::Unreadable;
    FileKind kind = FileKind::Other; // what was found, when anything was
    bool tooLarge = false;           // Unreadable: it holds more than was allowed
    std::string reason;              // Missing, or Unreadable otherwise: the system's words
};
// Reads the regular file at `path` whole into `contents`, if it holds at
// most `largest` bytes, without ever blocking: a FIFO or a device there is
// not opened, and a file that grows while it is read is read no further
// than one byte past `largest`.
BoundedRead ReadFileUpTo(const std::filesystem::path &path, std::uint64_t largest, std::string &contents);

// Reads a regular file whole without ever blocking: a FIFO or a device at
// the path is not read.
inline FileRead ReadRegularFile(const std::filesystem::path &path, std::string &contents)
{
    return ReadFileUpTo(path, UINT64_MAX - 1, contents).outcome;
}

struct OpenFileStatus
{
    FileKind kind = FileKind::Other; // Other where the system cannot tell
    std::uint64_t size = 0;          // of a regular file
};
// The file behind an open stream.
OpenFileStatus StatusOfOpenFile(std::FILE *stream);

// Whether `stream` is a terminal (a console on Windows).
bool IsTerminal(std::FILE *stream);

// The memory the process `pid` holds in RAM now, in bytes; 0 where it
// cannot be told (it has ended).
std::uint64_t ResidentBytes(std::int64_t pid);

// Holds this process, a helper that handles untrusted input, to bounds that
// hold even should the program that started it stop watching: it ends with
// that program, leaves no core file, gets at most `cpuSeconds` of processor
// time and, where `addressSpace` is not 0, at most that much address space
// (an allocation past it fails).
void HoldToBounds(int cpuSeconds, std::uint64_t addressSpace);

// Gives each of the standard descriptors 0 to 2 that the program was started
// without the null device, before anything opens a file: else the first file
// opened takes the number, and what is meant for standard error lands in it
// (a row's message in a PDF ahead of its header). Reading or writing one
// still fails as on a closed descriptor. Returns the descriptors it
// filled, as bits (1 << descriptor), for a caller that reads standard input
// to say it was closed. Nothing to do where descriptors are not numbered so
// (Windows).
unsigned OpenClosedStandardDescriptors();

// The folder that holds the user's settings file.
std::filesystem::path SettingsFolder();

} // namespace quillon::platform

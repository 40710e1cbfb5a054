#include "Platform.h"

#include "Inifile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <io.h>
#include <windows.h>
#include <psapi.h>

namespace fs = std::filesystem;

namespace quillon::platform {

namespace {

// Windows keeps the user's conventions in its own locale settings; a locale
// variable, as the tests set it, still chooses the locale by its POSIX name
// ("de_DE.UTF-8" is "de-DE"), as on Linux. Empty for the user's own.
std::optional<std::wstring> windowsLocaleName(const std::optional<std::string> &name)
{
    if (!name)
        return std::wstring();
    std::wstring wide;
    for (const char c : *name) {
        if (c == '.' || c == '@')
            break;
        wide += c == '_' ? L'-' : wchar_t(static_cast<unsigned char>(c));
    }
    if (!IsValidLocaleName(wide.c_str()))
        return std::nullopt;
    return wide;
}

std::string info(const std::wstring &locale, LCTYPE item)
{
    const wchar_t *name = locale.empty() ? LOCALE_NAME_USER_DEFAULT : locale.c_str();
    wchar_t value[256];
    const int length = GetLocaleInfoEx(name, item, value, int(std::size(value)));
    if (length <= 1)
        return "";
    const int size = WideCharToMultiByte(CP_UTF8, 0, value, length - 1, nullptr, 0, nullptr, nullptr);
    std::string text(std::size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, value, length - 1, text.data(), size, nullptr, nullptr);
    return text;
}

// "dd.MM.yyyy" (Windows' own pattern letters, with 'quoted' text) in the
// form of a POSIX date format, which ApplyPosixDateFormat reads.
std::string posixDateFormat(const std::string &windows)
{
    std::string posix;
    for (std::size_t i = 0; i < windows.size();) {
        const char c = windows[i];
        std::size_t run = 1;
        while (i + run < windows.size() && windows[i + run] == c)
            ++run;
        if (c == '\'') {
            const std::size_t close = windows.find('\'', i + 1);
            posix += windows.substr(i + 1, (close == std::string::npos ? windows.size() : close) - i - 1);
            i = close == std::string::npos ? windows.size() : close + 1;
            continue;
        }
        switch (c) {
        case 'd': posix += run == 1 ? "%-d" : run == 2 ? "%d" : run == 3 ? "%a" : "%A"; break;
        case 'M': posix += run == 1 ? "%-m" : run == 2 ? "%m" : run == 3 ? "%b" : "%B"; break;
        case 'y': posix += run <= 2 ? "%y" : "%Y"; break;
        case 'g': break; // the era, which no date field shows
        case '%': posix += std::string(run * 2, '%'); break;
        default: posix += std::string(run, c); break;
        }
        i += run;
    }
    return posix;
}

// Windows' grouping ("3;2;0": a three, then twos; "3": one three, then no
// more groups; "0": none) as digit group sizes.
std::vector<int> groupSizes(const std::string &grouping)
{
    std::vector<int> sizes;
    int size = 0;
    for (const char c : grouping + ";") {
        if (c >= '0' && c <= '9') {
            size = size * 10 + (c - '0');
        } else if (c == ';') {
            sizes.push_back(size);
            size = 0;
        } else {
            return {}; // not a grouping we know: the default threes
        }
    }
    // A final 0 repeats the size before it, which our sizes do anyway;
    // without one the digits beyond the groups stay ungrouped.
    if (sizes.back() == 0)
        sizes.pop_back();
    else
        sizes.push_back(0);
    if (sizes.empty() || sizes.front() == 0)
        return {};
    return sizes;
}

// Read through the handle to the end or to `most` bytes: only a disk file
// is read, and nothing waits.
bool readAtMost(HANDLE handle, std::uint64_t most, std::string &out)
{
    char buffer[65536];
    while (out.size() < most) {
        DWORD n = 0;
        const DWORD want = DWORD(std::min<std::uint64_t>(sizeof buffer, most - out.size()));
        if (!ReadFile(handle, buffer, want, &n, nullptr))
            return false;
        if (n == 0)
            break;
        out.append(buffer, std::size_t(n));
    }
    return true;
}

// The words POSIX gives the same failure, so a reason reads alike on both
// systems ("No such file or directory").
std::string reasonOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return std::strerror(ENOENT);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return std::strerror(EACCES);
    default:
        return std::strerror(EIO);
    }
}

FileKind kindOf(HANDLE handle)
{
    switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
        return FileKind::Regular;
    case FILE_TYPE_PIPE:
        return FileKind::Fifo;
    case FILE_TYPE_CHAR:
        return FileKind::Device;
    default:
        return FileKind::Other;
    }
}

} // namespace

std::optional<NumberWords> LocaleNumberWords(const std::optional<std::string> &name)
{
    const std::optional<std::wstring> locale = windowsLocaleName(name);
    if (!locale)
        return std::nullopt;
    return NumberWords{info(*locale, LOCALE_SDECIMAL), info(*locale, LOCALE_STHOUSAND),
                       groupSizes(info(*locale, LOCALE_SGROUPING))};
}

std::optional<DateWords> LocaleDateWords(const std::optional<std::string> &name)
{
    const std::optional<std::wstring> locale = windowsLocaleName(name);
    if (!locale)
        return std::nullopt;
    DateWords words;
    words.posixFormat = posixDateFormat(info(*locale, LOCALE_SSHORTDATE));
    for (int i = 0; i < 12; ++i) {
        words.longMonths[std::size_t(i)] = info(*locale, LCTYPE(LOCALE_SMONTHNAME1 + i));
        words.shortMonths[std::size_t(i)] = info(*locale, LCTYPE(LOCALE_SABBREVMONTHNAME1 + i));
    }
    // Windows counts the days from Monday.
    for (int i = 0; i < 7; ++i) {
        words.longDays[std::size_t((i + 1) % 7)] = info(*locale, LCTYPE(LOCALE_SDAYNAME1 + i));
        words.shortDays[std::size_t((i + 1) % 7)] = info(*locale, LCTYPE(LOCALE_SABBREVDAYNAME1 + i));
    }
    return words;
}

// The tool's arguments and the window's fields come as UTF-16, made UTF-8.
std::string TypedCharset(const std::optional<std::string> &)
{
    return {};
}

std::optional<std::string> CharsetToUtf8(std::string_view, const std::string &)
{
    return std::nullopt;
}

// MinGW-w64's strtold reads all 64 bits of a long double (its from_chars
// stops at a double's), and nothing on Windows moves the C library off the
// C locale's decimal point.
long double ReadCNumber(const char *text, char **end)
{
    return std::strtold(text, end);
}

std::tm LocalTime(std::time_t time)
{
    std::tm local{};
    localtime_s(&local, &time);
    return local;
}

BoundedRead ReadFileUpTo(const fs::path &path, std::uint64_t largest, std::string &contents)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {FileRead::Unreadable, FileKind::Directory, false, {}};
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing ? FileRead::Missing : FileRead::Unreadable, FileKind::Other, false, reasonOf(error)};
    }
    BoundedRead read{FileRead::Unreadable, kindOf(handle), false, {}};
    LARGE_INTEGER size{};
    if (read.kind == FileKind::Regular) {
        if (GetFileSizeEx(handle, &size) && std::uint64_t(size.QuadPart) > largest)
            read.tooLarge = true;
        else if (!readAtMost(handle, largest + 1, contents))
            read.reason = reasonOf(GetLastError());
        else if (contents.size() > largest)
            read.tooLarge = true;
        else
            read.outcome = FileRead::Read;
    }
    CloseHandle(handle);
    return read;
}

OpenFileStatus StatusOfOpenFile(std::FILE *stream)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    if (BY_HANDLE_FILE_INFORMATION info{}; GetFileInformationByHandle(handle, &info)
                                           && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return {FileKind::Directory, 0};
    LARGE_INTEGER size{};
    const FileKind kind = kindOf(handle);
    if (kind == FileKind::Regular && GetFileSizeEx(handle, &size))
        return {kind, std::uint64_t(size.QuadPart)};
    return {kind, 0};
}

bool IsTerminal(std::FILE *stream)
{
    return _isatty(_fileno(stream)) != 0;
}

std::uint64_t ResidentBytes(std::int64_t pid)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return 0;
    PROCESS_MEMORY_COUNTERS counters{};
    const bool ok = K32GetProcessMemoryInfo(process, &counters, sizeof counters);
    CloseHandle(process);
    return ok ? std::uint64_t(counters.WorkingSetSize) : 0;
}

// The bounds of time and memory as a job of the process's own. Windows has
// no signal that ends a process with the one that started it, and no core
// files to leave; a crash ends the process rather than open a dialog.
void HoldToBounds(int cpuSeconds, std::uint64_t addressSpace)
{
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_TIME | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    limits.BasicLimitInformation.PerProcessUserTimeLimit.QuadPart = LONGLONG(cpuSeconds) * 10'000'000;
    if (addressSpace != 0) {
        limits.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_MEMORY;
        limits.ProcessMemoryLimit = SIZE_T(addressSpace);
    }
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    AssignProcessToJobObject(job, GetCurrentProcess());
}

// The C runtime keeps the numbers 0 to 2 for the standard streams even when
// the process has no handle behind them, so a file opened later never takes
// one of them.
unsigned OpenClosedStandardDescriptors()
{
    return 0;
}

// Where Windows programs keep a user's settings: the roaming application
// data folder, %APPDATA%\Quillon; or, as on Linux, the folder an absolute
// XDG_CONFIG_HOME names, for a user (or a test) who sets it on purpose.
fs::path SettingsFolder()
{
    if (const wchar_t *config = _wgetenv(L"XDG_CONFIG_HOME"); config && fs::path(config).has_root_directory())
        return fs::path(config);
    const wchar_t *appData = _wgetenv(L"APPDATA");
    const fs::path folder = appData && *appData ? fs::path(appData) : HomeFolder() / L"AppData" / L"Roaming";
    return folder / L"Quillon";
}

} // namespace quillon::platform

fs::path quillon::HomeFolder()
{
    const wchar_t *profile = _wgetenv(L"USERPROFILE");
    if (profile && *profile)
        return fs::path(profile);
    return fs::path(L"C:\\");
}

#include "Platform.h"

#include "Inifile.h"

#include <cstdlib>
#include <windows.h>

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

// Read through the handle: only a disk file is read, and nothing waits.
bool readWhole(HANDLE handle, std::string &out)
{
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(handle, buffer, sizeof buffer, &n, nullptr))
            return false;
        if (n == 0)
            return true;
        out.append(buffer, std::size_t(n));
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

FileRead ReadRegularFile(const fs::path &path, std::string &contents)
{
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::Missing
                                                                              : FileRead::Unreadable;
    }
    const bool ok = GetFileType(handle) == FILE_TYPE_DISK && readWhole(handle, contents);
    CloseHandle(handle);
    return ok ? FileRead::Read : FileRead::Unreadable;
}

// The C runtime keeps the numbers 0 to 2 for the standard streams even when
// the process has no handle behind them, so a file opened later never takes
// one of them.
unsigned OpenClosedStandardDescriptors()
{
    return 0;
}

// Where Windows programs keep a user's settings: the roaming application
// data folder, %APPDATA%\Quillon.
fs::path SettingsFolder()
{
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

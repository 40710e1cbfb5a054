#include "Inifile.h"

#include "Filewrite.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <vector>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::size_t byteOrderMarkSize(std::string_view s)
{
    return s.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// One line of the file: where it starts, where its text ends (before the
// line end) and where the next line starts.
struct Line
{
    std::size_t begin;
    std::size_t textEnd;
    std::size_t next;
};

// A byte-order mark belongs to the file, not to its first line: a section
// header behind it is still a header, and the mark stays where it is.
std::vector<Line> splitLines(const std::string &s)
{
    std::vector<Line> lines;
    std::size_t begin = byteOrderMarkSize(s);
    while (begin < s.size()) {
        std::size_t nl = s.find('\n', begin);
        const std::size_t next = nl == std::string::npos ? s.size() : nl + 1;
        std::size_t textEnd = nl == std::string::npos ? s.size() : nl;
        if (textEnd > begin && s[textEnd - 1] == '\r')
            --textEnd;
        lines.push_back({begin, textEnd, next});
        begin = next;
    }
    return lines;
}

// The section a line opens, if it is a section header.
bool sectionName(std::string_view text, std::string_view &name)
{
    text = trimmed(text);
    if (text.size() < 2 || text.front() != '[')
        return false;
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos)
        return false;
    name = trimmed(text.substr(1, close - 1));
    return true;
}

// The key and value of an entry line; comments and other lines have none.
bool entry(std::string_view text, std::string_view &key, std::string_view &value)
{
    const std::string_view t = trimmed(text);
    if (t.empty() || t.front() == ';' || t.front() == '#')
        return false;
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = trimmed(text.substr(0, eq));
    value = trimmed(text.substr(eq + 1));
    return !key.empty();
}

// Where a key stands: its entry, as a read finds it (the first in any
// section of that name), and where a missing key goes (after the last
// non-blank line of the first such section). Reads and writes share this
// one search, so a write changes the very line a read returns.
struct Place
{
    std::optional<Line> entry;
    std::string_view key;   // as the file spells it
    std::string_view value; // trimmed
    bool sectionFound = false;
    std::size_t insertAt = 0;
};

Place locate(const std::string &contents, std::string_view section, std::string_view key)
{
    Place place;
    bool inSection = false;
    bool inFirstSection = false;
    for (const Line &line : splitLines(contents)) {
        const std::string_view text(contents.data() + line.begin, line.textEnd - line.begin);
        std::string_view name, k, v;
        if (sectionName(text, name)) {
            inSection = equalNoCase(name, section);
            inFirstSection = inSection && !place.sectionFound;
            place.sectionFound = place.sectionFound || inSection;
            if (inFirstSection)
                place.insertAt = line.next;
        } else if (inSection && entry(text, k, v) && equalNoCase(k, key)) {
            place.entry = line;
            place.key = k;
            place.value = v;
            return place;
        } else if (inFirstSection && !trimmed(text).empty()) {
            place.insertAt = line.next;
        }
    }
    return place;
}

std::string lineEnding(const std::string &s)
{
    const std::size_t nl = s.find('\n');
    if (nl == std::string::npos)
        return "\r\n";
    return nl > 0 && s[nl - 1] == '\r' ? "\r\n" : "\n";
}

// Text after the byte-order mark whose last line has no line end yet.
bool endsInsideALine(std::string_view s)
{
    return s.size() > byteOrderMarkSize(s) && s.back() != '\n';
}

std::string oneLine(std::string_view value)
{
    std::string v(value);
    std::replace_if(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return v;
}

// Reads to the end; false on a read error.
#ifdef _WIN32
// Read through the handle: a FIFO is no worry here, and only a disk file
// is the settings file.
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
#else
bool readWhole(int fd, std::string &out)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buffer, std::size_t(n));
    }
}
#endif

} // namespace

IniWriteError UnableToWrite(const fs::path &path)
{
    return IniWriteError("Unable to write to " + path.string());
}

IniFile::IniFile(fs::path path)
    : m_path(std::move(path))
{
    load();
}

IniFile IniFile::fromText(std::string text)
{
    IniFile ini;
    ini.m_contents = std::move(text);
    ini.m_state = State::Read;
    return ini;
}

void IniFile::setBeforeReplaceHookForTesting(std::function<void()> hook)
{
    quillon::ReplacementFile::setBeforeReplaceHookForTesting(std::move(hook));
}

#ifdef _WIN32
void IniFile::load()
{
    const HANDLE handle = CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        m_state = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? State::Missing : State::Unreadable;
        return;
    }
    const bool ok = GetFileType(handle) == FILE_TYPE_DISK && readWhole(handle, m_contents);
    CloseHandle(handle);
    m_state = ok ? State::Read : State::Unreadable;
    if (!ok)
        m_contents.clear(); // a part read is not the file: nothing of it is shown or saved
}
#else
void IniFile::load()
{
    // O_NONBLOCK: opening a FIFO to read would otherwise wait for a writer.
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_state = errno == ENOENT || errno == ENOTDIR ? State::Missing : State::Unreadable;
        return;
    }
    struct stat st{};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && readWhole(fd, m_contents);
    ::close(fd);
    m_state = ok ? State::Read : State::Unreadable;
    if (!ok)
        m_contents.clear(); // a part read is not the file: nothing of it is shown or saved
}
#endif

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const
{
    const Place place = locate(m_contents, section, key);
    return std::string(place.entry ? place.value : fallback);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string safeValue = oneLine(value);
    const Place place = locate(m_contents, section, key);
    if (place.entry) {
        // Unchanged: the line keeps its spacing and every byte of the value,
        // even a stray carriage return the file already held.
        if (place.value == value || place.value == safeValue)
            return;
        // Keep the line's own spelling of the key and its line end.
        const Line &line = *place.entry;
        m_contents.replace(line.begin, line.textEnd - line.begin, std::string(place.key) + "=" + safeValue);
        return;
    }
    const std::string eol = lineEnding(m_contents);
    const std::string newLine = std::string(key) + "=" + safeValue + eol;
    if (place.sectionFound) {
        // The section's last line may be the file's last, without a line end.
        const bool endLine = endsInsideALine(std::string_view(m_contents).substr(0, place.insertAt));
        m_contents.insert(place.insertAt, endLine ? eol + newLine : newLine);
    } else {
        if (endsInsideALine(m_contents))
            m_contents += eol;
        m_contents += "[" + std::string(section) + "]" + eol + newLine;
    }
}

void IniFile::save()
{
    if (m_path.empty() || m_state == State::Unreadable)
        throw UnableToWrite(m_path);
    // The first save also makes the settings folder (~/.config on a new
    // account).
    quillon::WriteOptions options;
    options.createFolders = true;
    if (quillon::ReplaceFileContents(m_path, m_contents, options))
        throw UnableToWrite(m_path);
}

#ifdef _WIN32
// Where Windows programs keep a user's settings: the roaming application
// data folder, %APPDATA%\\Quillon\\Quillon32.Ini.
fs::path DefaultSettingsPath()
{
    const wchar_t *appData = _wgetenv(L"APPDATA");
    const fs::path folder = appData && *appData ? fs::path(appData) : HomeFolder() / L"AppData" / L"Roaming";
    return folder / L"Quillon" / L"Quillon32.Ini";
}

fs::path HomeFolder()
{
    const wchar_t *profile = _wgetenv(L"USERPROFILE");
    if (profile && *profile)
        return fs::path(profile);
    return fs::path(L"C:\\");
}
#else
fs::path DefaultSettingsPath()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/')
        return fs::path(config) / "Quillon32.Ini";
    return HomeFolder() / ".config" / "Quillon32.Ini";
}

fs::path HomeFolder()
{
    const char *home = std::getenv("HOME");
    if (home && *home == '/')
        return home;
    // Without HOME (a service, `env -i`) the account's own home folder, never
    // the working folder, where the details would be lost from sight.
    if (const struct passwd *account = ::getpwuid(::geteuid()); account && account->pw_dir && *account->pw_dir)
        return account->pw_dir;
    return "/";
}
#endif

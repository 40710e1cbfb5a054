#include "Inifile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::function<void()> &beforeReplaceHook()
{
    static std::function<void()> hook;
    return hook;
}

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

[[noreturn]] void fail(const fs::path &path)
{
    throw UnableToWrite(path);
}

// The file a save must replace: the path with the symbolic links at its end
// followed, so the link stays and its target gets the new text. A link
// whose target is missing leads to where the first save creates it.
fs::path followLinks(fs::path path)
{
    for (int hop = 0; hop < 40; ++hop) { // the kernel's own limit on links
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return path;
        const fs::path link = fs::read_symlink(path, error);
        if (error)
            return path;
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return path; // a loop: reading failed already, and saving will
}

// Reads to the end; false on a read error.
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

bool writeWhole(int fd, const std::string &contents)
{
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += std::size_t(n);
    }
    return true;
}

std::string temporaryPrefix(const fs::path &target)
{
    return "." + target.filename().string() + ".";
}

// mkstemp's six letters and digits after our own prefix, and nothing else.
bool isOurTemporaryName(const std::string &name, const std::string &prefix)
{
    return name.size() == prefix.size() + 6 && name.starts_with(prefix)
        && std::all_of(name.begin() + std::ptrdiff_t(prefix.size()), name.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
           });
}

// A save holds a lock on its temporary file until it is renamed, so a file
// that can be locked belongs to a save that was killed. Only regular files
// of this user are taken, and only while the name still leads to the file
// that was locked.
void removeStaleTemporary(const fs::path &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat locked{}, named{};
    if (::fstat(fd, &locked) == 0 && S_ISREG(locked.st_mode) && locked.st_uid == ::geteuid()
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(file.c_str(), &named) == 0
        && named.st_dev == locked.st_dev && named.st_ino == locked.st_ino)
        ::unlink(file.c_str());
    ::close(fd);
}

void removeStaleTemporaries(const fs::path &directory, const fs::path &target)
{
    const std::string prefix = temporaryPrefix(target);
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
        if (isOurTemporaryName(it->path().filename().string(), prefix))
            removeStaleTemporary(it->path());
}

// The old file's permissions and owner go to the new one. Giving a file to
// another owner needs privilege; without it the group alone may still be
// kept, and otherwise the new file is the saving user's own.
bool takeOverAttributes(int fd, const struct stat *old)
{
    if (!old)
        return ::fchmod(fd, 0644) == 0;
    const bool ownerOrGroupKept =
        ::fchown(fd, old->st_uid, old->st_gid) == 0 || ::fchown(fd, uid_t(-1), old->st_gid) == 0;
    static_cast<void>(ownerOrGroupKept); // neither is a reason to refuse the save
    return ::fchmod(fd, old->st_mode & 07777) == 0;
}

void syncDirectory(const fs::path &directory)
{
    // Makes the rename itself durable; the new file is in place whatever
    // this returns.
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Closed however the save ends, a test's simulated crash included.
struct Descriptor
{
    explicit Descriptor(int descriptor)
        : fd(descriptor)
    {
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    const int fd;
};

// Writes the temporary file beside the target and renames it over it; any
// failure removes the temporary file and leaves the target as it was.
bool replaceFile(const fs::path &directory, const fs::path &target, const std::string &contents,
                 const struct stat *old)
{
    std::string temporary = (directory / (temporaryPrefix(target) + "XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    // Locked from creation until after the rename, through a second
    // descriptor so that closing the first can still report a failed write:
    // a file of ours that is not locked was left by a save that was killed.
    const Descriptor lock{::dup(fd)};
    bool ok = lock.fd >= 0 && ::flock(lock.fd, LOCK_EX) == 0 && takeOverAttributes(fd, old)
        && writeWhole(fd, contents) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && beforeReplaceHook())
        beforeReplaceHook()();
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncDirectory(directory);
    return true;
}

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
    beforeReplaceHook() = std::move(hook);
}

void IniFile::load()
{
    m_target = followLinks(m_path);
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
        fail(m_path);
    struct stat old{};
    const bool exists = ::stat(m_target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        fail(m_path);
    // Renaming needs only the directory's permission; the file's own says
    // whether this user may change it.
    if (exists && (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0))
        fail(m_path);
    const fs::path directory = m_target.has_parent_path() ? m_target.parent_path() : fs::path(".");
    std::error_code ignored;
    fs::create_directories(directory, ignored);
    removeStaleTemporaries(directory, m_target);
    if (!replaceFile(directory, m_target, m_contents, exists ? &old : nullptr))
        fail(m_path);
}

fs::path DefaultSettingsPath()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    fs::path directory;
    if (config && *config == '/') {
        directory = config;
    } else {
        const char *home = std::getenv("HOME");
        directory = fs::path(home && *home ? home : ".") / ".config";
    }
    return directory / "Quillon32.Ini";
}

#include "Inifile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::function<void()> &beforeReplaceHook()
{
    static std::function<void()> hook;
    return hook;
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

std::vector<Line> splitLines(const std::string &s)
{
    std::vector<Line> lines;
    std::size_t begin = 0;
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

std::string lineEnding(const std::string &s)
{
    const std::size_t nl = s.find('\n');
    if (nl == std::string::npos)
        return "\r\n";
    return nl > 0 && s[nl - 1] == '\r' ? "\r\n" : "\n";
}

std::string oneLine(std::string_view value)
{
    std::string v(value);
    std::replace_if(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return v;
}

[[noreturn]] void fail(const std::filesystem::path &path)
{
    throw IniWriteError("Unable to write to " + path.string());
}

} // namespace

IniFile::IniFile(std::filesystem::path path)
    : m_path(std::move(path))
{
    load();
}

void IniFile::setBeforeReplaceHookForTesting(std::function<void()> hook)
{
    beforeReplaceHook() = std::move(hook);
}

void IniFile::load()
{
    std::ifstream in(m_path, std::ios::binary);
    if (!in)
        return; // a missing file reads as empty: every key takes its default
    std::ostringstream contents;
    contents << in.rdbuf();
    m_contents = contents.str();
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const
{
    bool inSection = false;
    for (const Line &line : splitLines(m_contents)) {
        const std::string_view text(m_contents.data() + line.begin, line.textEnd - line.begin);
        std::string_view name, k, v;
        if (sectionName(text, name))
            inSection = equalNoCase(name, section);
        else if (inSection && entry(text, k, v) && equalNoCase(k, key))
            return std::string(v);
    }
    return std::string(fallback);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string eol = lineEnding(m_contents);
    const std::string safeValue = oneLine(value);
    const std::vector<Line> lines = splitLines(m_contents);
    std::string updated;
    bool inSection = false;
    bool sectionFound = false;
    std::size_t insertAt = std::string::npos; // after the section's last non-blank line
    for (const Line &line : lines) {
        const std::string_view text(m_contents.data() + line.begin, line.textEnd - line.begin);
        std::string_view name, k, v;
        if (sectionName(text, name)) {
            if (inSection)
                break; // the section ended without the key
            inSection = !sectionFound && equalNoCase(name, section);
            sectionFound = sectionFound || inSection;
            if (inSection)
                insertAt = line.next;
            continue;
        }
        if (!inSection)
            continue;
        if (entry(text, k, v) && equalNoCase(k, key)) {
            // Keep the line's own spelling of the key and its line end.
            const std::size_t keyEnd = m_contents.find('=', line.begin);
            updated = m_contents.substr(0, line.begin) + std::string(trimmed(std::string_view(
                          m_contents.data() + line.begin, keyEnd - line.begin)))
                + "=" + safeValue + m_contents.substr(line.textEnd);
            replaceFile(updated);
            m_contents = std::move(updated);
            return;
        }
        if (!trimmed(text).empty())
            insertAt = line.next;
    }
    if (sectionFound) {
        std::string before = m_contents.substr(0, insertAt);
        if (!before.empty() && before.back() != '\n')
            before += eol; // the section's last line had no line end
        updated = before + std::string(key) + "=" + safeValue + eol + m_contents.substr(insertAt);
    } else {
        updated = m_contents;
        if (!updated.empty() && updated.back() != '\n')
            updated += eol;
        updated += "[" + std::string(section) + "]" + eol + std::string(key) + "=" + safeValue + eol;
    }
    replaceFile(updated);
    m_contents = std::move(updated);
}

void IniFile::replaceFile(const std::string &contents) const
{
    std::error_code ignored;
    const std::filesystem::path directory = m_path.has_parent_path() ? m_path.parent_path() : ".";
    std::filesystem::create_directories(directory, ignored);

    std::string temporary = (directory / ("." + m_path.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        fail(m_path);
    // Keep the old file's permissions; a new file gets the usual ones.
    struct stat old{};
    const mode_t mode = ::stat(m_path.c_str(), &old) == 0 ? (old.st_mode & 07777) : mode_t(0644);
    bool ok = ::fchmod(fd, mode) == 0;
    std::size_t written = 0;
    while (ok && written < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            written += std::size_t(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && beforeReplaceHook())
        beforeReplaceHook()();
    ok = ok && ::rename(temporary.c_str(), m_path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        fail(m_path);
    }
    // Make the rename itself durable.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

std::filesystem::path DefaultSettingsPath()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path directory;
    if (config && *config == '/') {
        directory = config;
    } else {
        const char *home = std::getenv("HOME");
        directory = std::filesystem::path(home && *home ? home : ".") / ".config";
    }
    return directory / "Quillon32.Ini";
}

#include "Inifile.h"

#include "Asciicase.h"
#include "Filewrite.h"
#include "Platform.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace quillon {

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
            inSection = EqualAsciiNoCase(name, section);
            inFirstSection = inSection && !place.sectionFound;
            place.sectionFound = place.sectionFound || inSection;
            if (inFirstSection)
                place.insertAt = line.next;
        } else if (inSection && entry(text, k, v) && EqualAsciiNoCase(k, key)) {
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

void IniFile::load()
{
    switch (quillon::platform::ReadRegularFile(m_path, m_contents)) {
    case quillon::platform::FileRead::Missing: m_state = State::Missing; break;
    case quillon::platform::FileRead::Read: m_state = State::Read; break;
    case quillon::platform::FileRead::Unreadable:
        m_state = State::Unreadable;
        m_contents.clear(); // a part read is not the file: nothing of it is shown or saved
        break;
    }
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
        throw UnableToWrite(m_path);
    // The first save also makes the settings folder (~/.config, or
    // %APPDATA%\Quillon on Windows, on a new account).
    quillon::WriteOptions options;
    options.createFolders = true;
    if (quillon::ReplaceFileContents(m_path, m_contents, options))
        throw UnableToWrite(m_path);
}

fs::path DefaultSettingsPath()
{
    return quillon::platform::SettingsFolder() / "Quillon32.Ini";
}

} // namespace quillon

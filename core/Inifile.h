#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillon {

// A settings file of the Windows INI kind, kept byte for byte: a read finds
// its section and key whatever their case and returns the value trimmed (or
// the default); a write changes only its own line, or adds the key at the
// end of its section, or adds the section at the end of the file. Comments,
// blank lines, other sections, line ends, a leading byte-order mark and
// bytes in any encoding stay exactly as they were.
//
// Writes change the copy in memory; save() then replaces the file once, so
// a save of many keys is one replacement and never leaves some of them
// written and the rest not.

class IniWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The error of every refused or failed save: "Unable to write to <path>".
IniWriteError UnableToWrite(const std::filesystem::path &path);

class IniFile
{
public:
    enum class State
    {
        Missing,    // nothing at the path: every key reads as its default
        Read,       // a regular file, read whole
        Unreadable, // there but not readable, or not a regular file
    };

    // Reads the file, never blocking: a FIFO or a device at the path is not
    // opened for reading. Only a file that does not exist reads as empty and
    // may be created by save(); one that cannot be read also reads as empty,
    // but save() refuses it, so its bytes are never replaced unseen.
    explicit IniFile(std::filesystem::path path);

    // Settings text held in memory only, for parsing and editing without a
    // file; save() refuses it.
    static IniFile fromText(std::string text);

    const std::filesystem::path &path() const { return m_path; }
    State state() const { return m_state; }
    const std::string &text() const { return m_contents; }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;

    // Sets the key in memory. A value equal to the stored one leaves its line
    // exactly as it was, spacing included. A line break in the value would
    // end the line and could plant another key, so each one is written as a
    // space.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Replaces the file with the text in memory through the program's one
    // checked writer (Filewrite.h): a crash leaves the old file or the new
    // one, a chain of links stays links, and the file keeps its permissions.
    // Throws IniWriteError("Unable to write to <path>") when the file was
    // unreadable or irregular, when its user may not write it, or when any
    // step fails; the file on disk is then unchanged.
    void save();

    // Runs between writing the temporary file and renaming it over the old
    // one: the moment a crash matters most.
    static void setBeforeReplaceHookForTesting(std::function<void()> hook);

private:
    IniFile() = default;
    void load();

    std::filesystem::path m_path;
    std::string m_contents;
    State m_state = State::Missing;
};

// The per-user settings file: Quillon32.Ini in $XDG_CONFIG_HOME, by default
// ~/.config; on Windows %APPDATA%\Quillon\Quillon32.Ini.
std::filesystem::path DefaultSettingsPath();

// $HOME, or the user's home folder from the password database; on Windows
// %USERPROFILE%.
std::filesystem::path HomeFolder();

} // namespace quillon

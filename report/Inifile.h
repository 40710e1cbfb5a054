#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

// A settings file of the Windows INI kind, kept byte for byte: a read finds
// its section and key whatever their case and returns the value trimmed (or
// the default); a write changes only its own line, or adds the key at the
// end of its section, or adds the section at the end of the file. Comments,
// blank lines, other sections and line ends stay exactly as they were.
//
// Every write replaces the whole file atomically (a temporary file beside it,
// flushed to disk, renamed over it), so a crash leaves the old file or the
// new one, never a mixture.

class IniWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class IniFile
{
public:
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path &path() const { return m_path; }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;

    // Throws IniWriteError("Unable to write to <path>") when the file cannot
    // be replaced; the file on disk is then unchanged. A line break in the
    // value would end the line and could plant another key, so each one is
    // written as a space.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Runs between writing the temporary file and renaming it over the old
    // one: the moment a crash matters most.
    static void setBeforeReplaceHookForTesting(std::function<void()> hook);

private:
    void load();
    void replaceFile(const std::string &contents) const;

    std::filesystem::path m_path;
    std::string m_contents;
};

// The per-user settings file: Quillon32.Ini in $XDG_CONFIG_HOME, by default
// ~/.config.
std::filesystem::path DefaultSettingsPath();

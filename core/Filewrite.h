#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The one way this program writes a file: the settings file, a quote PDF,
// a batch of quote pages. A file is never written in place. The new bytes go
// into a temporary file beside the file they replace, every write, the flush
// to disk, the close and the rename are checked, and only a complete file is
// renamed over the old one; on any failure the old file stays as it was and
// the temporary file goes, and the reason is kept in words that can be shown
// as they are ("No space left on device").
//
// What is refused before anything is written, with its reason:
//  - an existing destination that is not a regular file (a folder, a FIFO,
//    a device), or that its user may not write;
//  - a chain of symbolic links that loops; a link another user put in a
//    shared folder (sticky and writable by all, as /tmp), which the kernel
//    would not follow either; a chain that ends is followed to its target,
//    which is replaced beside itself, so every symbolic link stays a link;
//  - the file given as `notThe` (the input of a batch), by device and inode,
//    whatever name leads to it.
// The replacement keeps the old file's permission bits exactly, its owner
// and group where the user may keep them, and its access ACL and user.*
// attributes, or the save is refused. A rename gives the new file to one
// name only: other hard links to the old file keep the old contents, which
// warning() reports. Names are the system's own,
// bytes on POSIX and UTF-16 on Windows: the path is used as given, never
// re-encoded.

namespace quillon {

// A file as the file system knows it, whatever its names.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// The identity of the file open on `descriptor`, if it is a regular file.
std::optional<FileIdentity> RegularFileIdentity(int descriptor);

struct WriteOptions
{
    std::optional<FileIdentity> notThe; // refused as a destination
    bool createFolders = false;         // make missing folders on the way
};

class ReplacementFile
{
public:
    // Checks the destination and opens the temporary file; see failed().
    explicit ReplacementFile(const std::filesystem::path &destination, const WriteOptions &options = {});
    // Without a commit() the destination is left as it was.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // Appends bytes. False once any step has failed; later writes then do
    // nothing, and commit() fails with the first reason.
    bool write(const void *data, std::size_t size);
    bool write(std::string_view bytes) { return write(bytes.data(), bytes.size()); }

    // Flushes, closes and renames the temporary file over the destination.
    bool commit();
    // Removes the temporary file; the destination stays as it was. A
    // failure recorded before stays; otherwise `reason` becomes the failure.
    void abandon(std::string reason);

    bool failed() const { return !m_error.empty(); }
    const std::string &error() const { return m_error; }
    // After a commit(), what the user should hear although the file was
    // written, or empty: that other names of the old file (hard links)
    // still lead to the old contents.
    const std::string &warning() const { return m_warning; }
    // The file the link chain ends at, which the rename replaces.
    const std::filesystem::path &target() const { return m_target; }

    // Runs between the flush and the rename, the moment a crash matters
    // most, for tests that crash there.
    static void setBeforeReplaceHookForTesting(std::function<void()> hook);

private:
    void fail(std::string reason);
    void discardTemporary();
    bool flushBuffer();

    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    int m_fd = -1;
    int m_lock = -1;
    int m_slot = -1; // where an interrupt handler finds the temporary name
    bool m_committed = false;
    std::string m_error;
    std::string m_warning;
    std::string m_buffer; // a PDF writer hands over a few bytes at a time
};

// Why a write to `destination` would be refused before it starts, or
// nothing: for a caller that should say so before doing long work.
std::optional<std::string> DestinationProblem(const std::filesystem::path &destination,
                                              const WriteOptions &options = {});

// Replaces `destination` with `bytes`; the reason it failed, or nothing.
// What a save that worked should still tell (ReplacementFile::warning())
// goes to `warning` where one is given.
std::optional<std::string> ReplaceFileContents(const std::filesystem::path &destination, std::string_view bytes,
                                               const WriteOptions &options = {}, std::string *warning = nullptr);

// The file a name given on a command line or in a file stands for: its
// bytes on POSIX, whatever their encoding; UTF-8 on Windows, whose own names
// are UTF-16 (a path made from a narrow string there would take the bytes in
// the ANSI code page).
std::filesystem::path PathFromBytes(std::string_view name);

} // namespace quillon

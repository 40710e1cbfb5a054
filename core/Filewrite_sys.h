#pragma once

#include "Filewrite.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The system's side of the one writer. Filewrite.cpp holds its rules: the
// buffer, the temporary names, the sweep of left-overs, the order of the
// steps and the clean-up after an interrupt. Filewrite_posix.cpp and
// Filewrite_win.cpp each give the calls below on their own system's file
// calls. A failure comes back in words that can be shown as they are;
// nothing means the step went well.

namespace quillon::filesys {

using Reason = std::optional<std::string>;
using Native = std::filesystem::path::string_type;

// What stands at a destination, as inspect() found it.
struct Destination
{
    std::filesystem::path target; // where a chain of links ends
    bool exists = false;
    // The old file's permission bits, owner and group, where the system
    // keeps them beside the file rather than with it.
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint64_t links = 1; // its names: a rename gives only the one replaced the new file
};

// strerror's words for an errno value.
std::string ErrnoReason(int code);

// A name as a message shows it: its bytes on POSIX, UTF-8 on Windows.
std::string DisplayName(const std::filesystem::path &path);

// Why a write to `destination` is refused before it starts (see
// Filewrite.h), or nothing; fills `out`.
Reason Inspect(const std::filesystem::path &destination, const WriteOptions &options, Destination &out);

// How many of the system's characters a name in `folder` may have.
std::size_t LongestName(const std::filesystem::path &folder);

enum class Step
{
    Done,
    Taken,  // the name is another file's: try another
    Failed, // with its reason
};

// Creates `path`, which must not exist yet, for writing only by this save;
// on Failed nothing is left at `path`. A folder that refuses new files is
// named as the cause (Messages::NoNewFileIn): the file may well be writable.
Step CreateNew(const std::filesystem::path &path, int &fd, std::string &reason);

// Holds the new file against a sweep by another save until after the
// rename, and checks that `path` still leads to it: Taken when the name was
// lost in the moment before. On Failed the file is still there.
Step Hold(const std::filesystem::path &path, int fd, int &lock, std::string &reason);

// Gives the new file what the old one keeps beside its bytes, or refuses
// with the reason where something of it cannot be kept.
Reason TakeOverAttributes(int fd, const Destination &destination);

// Writes from the start of `bytes`: how many were taken, or 0 with the reason.
std::size_t WriteSome(int fd, std::string_view bytes, std::string &reason);

// Forces what was written to the disk.
Reason FlushToDisk(int fd);

// Closes the file; a write the system deferred may fail only here.
Reason Close(int fd);

// Lets go of Hold()'s lock; nothing when there is none.
void Release(int &lock);

// Puts `temporary` in the place of `target` in one step; `exists` says
// whether there is a file to replace.
Reason Replace(const std::filesystem::path &temporary, const std::filesystem::path &target, bool exists);

// Makes a rename in `folder` last through a crash, where the system needs
// telling; the new file is in place whatever this does.
void SyncFolder(const std::filesystem::path &folder);

// Removes a file of ours.
void Remove(const std::filesystem::path &file);

// Removes a file of ours left by a killed save, if no save still holds it;
// when `mustBeOld`, only once it has not been written for `staleSeconds`.
void RemoveIfAbandoned(const std::filesystem::path &file, bool mustBeOld, std::int64_t staleSeconds);

// Arranges, once, that an interrupt which ends the process first calls
// RemoveClaimedTemporaries().
void InstallInterruptHandlers();

// Removes a file by name from inside an interrupt handler: no allocation,
// no locks.
void RemoveInHandler(const std::filesystem::path::value_type *name);

// Removes the temporary files of every write in progress (Filewrite.cpp);
// safe to call from an interrupt handler.
void RemoveClaimedTemporaries();

} // namespace quillon::filesys

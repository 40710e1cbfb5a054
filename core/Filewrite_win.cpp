#include "Filewrite_sys.h"

// The writer's steps on Windows' own calls. Names are the system's wide
// names throughout; a caller's UTF-8 becomes one when it makes the path.
// The new file is opened shared for reading only, so no sweep can take it
// while it is written, and ReplaceFileW puts it in the old file's place in
// one step, keeping the old file's attributes and security as fchmod and
// fchown keep them on POSIX. A console's Ctrl-C, Ctrl-Break or closing
// removes the temporary files of writes in progress, as the POSIX signals
// do.

#include "Messages.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <mutex>
#include <windows.h>

namespace fs = std::filesystem;

namespace quillon {

namespace filesys {

namespace {

// The system's words for a failure, in UTF-8, without the closing period
// and line end, as strerror gives them.
std::string reasonOfWindows(DWORD code)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::string reason;
    if (length > 0 && text) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
        reason.resize(std::size_t(size > 0 ? size : 0));
        if (size > 0)
            WideCharToMultiByte(CP_UTF8, 0, text, int(length), reason.data(), size, nullptr, nullptr);
    }
    if (text)
        LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason.empty() ? "Windows error " + std::to_string(code) : reason;
}

std::optional<FileIdentity> identityOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// The system ends the process once every handler has declined the event;
// for a close it does so after the handlers in any case.
BOOL WINAPI removeTemporariesOnInterrupt(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT)
        RemoveClaimedTemporaries();
    return FALSE;
}

} // namespace

Reason Inspect(const fs::path &destination, const WriteOptions &options, Destination &out)
{
    if (destination.empty())
        return ErrnoReason(ENOENT);
    out.target = destination;
    const DWORD attributes = GetFileAttributesW(destination.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // A missing folder on the way is made by a save that may make
        // folders, and is otherwise reported when the file is created.
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
        return reasonOfWindows(error);
    }
    out.exists = true;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ErrnoReason(EISDIR);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return ErrnoReason(EACCES);
    // Opening to write, without truncating, asks the file's security whether
    // its user may change it; a device answers that it is not a disk file.
    const HANDLE handle = CreateFileW(destination.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return reasonOfWindows(GetLastError());
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    const std::optional<FileIdentity> identity = identityOf(handle);
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info))
        out.links = info.nNumberOfLinks;
    CloseHandle(handle);
    if (!disk || !identity)
        return std::string("Not a regular file");
    if (options.notThe && *options.notThe == *identity)
        return std::string("It is the input file");
    return std::nullopt;
}

// Every file system Windows writes to takes names of 255 UTF-16 units.
std::size_t LongestName(const fs::path &)
{
    return 255;
}

// Shared for reading only while it is written, so no sweep can take it;
// deleting stays open so that an interrupt can remove it by name.
Step CreateNew(const fs::path &path, int &fd, std::string &reason)
{
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            return Step::Taken;
        const bool folderRefuses = error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
        reason = folderRefuses ? Messages::NoNewFileIn(DisplayName(path.parent_path()), reasonOfWindows(error))
                               : reasonOfWindows(error);
        return Step::Failed;
    }
    fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd >= 0)
        return Step::Done;
    reason = ErrnoReason(errno);
    CloseHandle(handle);
    DeleteFileW(path.c_str());
    return Step::Failed;
}

// CreateNew()'s handle holds the file from its creation on: a sweep, which
// opens with no sharing at all, cannot take it.
Step Hold(const fs::path &, int, int &, std::string &)
{
    return Step::Done;
}

// ReplaceFileW keeps them: attributes, security (the ACL) and named streams.
Reason TakeOverAttributes(int, const Destination &)
{
    return std::nullopt;
}

std::size_t WriteSome(int fd, std::string_view bytes, std::string &reason)
{
    const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handleOf(fd), bytes.data(), chunk, &written, nullptr)) {
        reason = reasonOfWindows(GetLastError());
        return 0;
    }
    if (written == 0)
        reason = ErrnoReason(ENOSPC);
    return written;
}

Reason FlushToDisk(int fd)
{
    if (!FlushFileBuffers(handleOf(fd)))
        return reasonOfWindows(GetLastError());
    return std::nullopt;
}

Reason Close(int fd)
{
    if (_close(fd) != 0)
        return ErrnoReason(errno);
    return std::nullopt;
}

void Release(int &lock)
{
    lock = -1;
}

// ReplaceFileW keeps the old file's attributes, security and identity; a
// new file is moved into place and written through to disk.
Reason Replace(const fs::path &temporary, const fs::path &target, bool exists)
{
    const bool replaced = exists
        ? ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
        : MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced)
        return reasonOfWindows(GetLastError());
    return std::nullopt;
}

// Both ways of replacing the file above see to the folder themselves.
void SyncFolder(const fs::path &)
{
}

void Remove(const fs::path &file)
{
    DeleteFileW(file.c_str());
}

// Taken only when no one has it open: opening it with no sharing at all
// succeeds only then, and no one can open it until it is gone.
void RemoveIfAbandoned(const fs::path &file, bool mustBeOld, std::int64_t staleSeconds)
{
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    bool take = !mustBeOld;
    FILETIME written{}, current{};
    if (mustBeOld && GetFileTime(handle, nullptr, nullptr, &written)) {
        GetSystemTimeAsFileTime(&current);
        const std::uint64_t then = (std::uint64_t(written.dwHighDateTime) << 32) | written.dwLowDateTime;
        const std::uint64_t now = (std::uint64_t(current.dwHighDateTime) << 32) | current.dwLowDateTime;
        constexpr std::uint64_t kTicksPerSecond = 10'000'000; // FILETIME counts 100 ns
        take = now > then && now - then > std::uint64_t(staleSeconds) * kTicksPerSecond;
    }
    if (take) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
    }
    CloseHandle(handle);
}

// Handlers run newest first. One the program adds after the first save
// sees the event before ours and may keep the process going, saves and all;
// one it added before sees it after ours, and a write then in progress
// fails at its replacement, the old file left as it was.
void InstallInterruptHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] { SetConsoleCtrlHandler(removeTemporariesOnInterrupt, TRUE); });
}

void RemoveInHandler(const wchar_t *name)
{
    DeleteFileW(name);
}

} // namespace filesys

std::optional<FileIdentity> RegularFileIdentity(int descriptor)
{
    const HANDLE handle = filesys::handleOf(descriptor);
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK)
        return std::nullopt;
    return filesys::identityOf(handle);
}

std::filesystem::path PathFromBytes(std::string_view name)
{
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

} // namespace quillon

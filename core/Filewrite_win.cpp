#include "Filewrite.h"

// The writer of Filewrite.cpp on Windows' own calls. The same promises hold
// where Windows can keep them: a temporary file beside the target, every
// write and the flush checked, and the old file replaced in one step.
// ReplaceFileW keeps the old file's attributes and security, as fchmod and
// fchown keep them on Linux. Windows has no signals to clear up after; a
// file left by a killed save is removed by the next save beside it, once no
// one holds it open.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <sys/stat.h>
#include <windows.h>

namespace fs = std::filesystem;

namespace quillon {

namespace {

std::function<void()> &beforeReplaceHook()
{
    static std::function<void()> hook;
    return hook;
}

std::string reasonOf(int code)
{
    return std::strerror(code);
}

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

constexpr std::string_view kTemporarySuffix = ".quillon-tmp";
constexpr std::size_t kRandomLetters = 6;
constexpr auto kStaleAge = std::chrono::minutes(5);

bool isAlphanumeric(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool lettersAt(std::string_view s, std::size_t from, std::size_t count)
{
    return s.size() >= from + count
        && std::all_of(s.begin() + std::ptrdiff_t(from), s.begin() + std::ptrdiff_t(from + count), isAlphanumeric);
}

bool isTemporaryName(std::string_view name)
{
    const std::size_t tail = 1 + kRandomLetters + kTemporarySuffix.size();
    return name.size() > tail + 1 && name.front() == '.' && name.ends_with(kTemporarySuffix)
        && name[name.size() - tail] == '.' && lettersAt(name, name.size() - tail + 1, kRandomLetters);
}

std::string randomLetters()
{
    static constexpr char kLetters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string letters(kRandomLetters, '0');
    for (char &c : letters)
        c = kLetters[pick(generator)];
    return letters;
}

fs::path folderOf(const fs::path &target)
{
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

std::optional<FileIdentity> identityOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

struct Destination
{
    bool exists = false;
};

std::optional<std::string> inspect(const fs::path &destination, const WriteOptions &options, Destination &out)
{
    if (destination.empty())
        return reasonOf(ENOENT);
    const DWORD attributes = GetFileAttributesW(destination.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        return reasonOfWindows(error);
    }
    out.exists = true;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return reasonOf(EISDIR);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return reasonOf(EACCES);
    // Opening to write, without truncating, asks the file's security whether
    // its user may change it; a device answers that it is not a disk file.
    const HANDLE handle = CreateFileW(destination.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return reasonOfWindows(GetLastError());
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    const std::optional<FileIdentity> identity = identityOf(handle);
    CloseHandle(handle);
    if (!disk || !identity)
        return std::string("Not a regular file");
    if (options.notThe && *options.notThe == *identity)
        return std::string("It is the input file");
    return std::nullopt;
}

// Taken only when no one has it open: opening it with no sharing at all
// succeeds only then, and no one can open it until it is gone.
void removeIfAbandoned(const fs::path &file, bool mustBeOld)
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
        take = now > then && now - then > std::uint64_t(std::chrono::seconds(kStaleAge).count()) * kTicksPerSecond;
    }
    if (take) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
    }
    CloseHandle(handle);
}

void removeLeftovers(const fs::path &folder, const std::string &prefix, const fs::path &own)
{
    const fs::path ownName = own.filename();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path name = it->path().filename();
        if (name == ownName)
            continue;
        const std::string narrow = name.string(); // the suffix and letters are ASCII
        if (isTemporaryName(narrow))
            removeIfAbandoned(it->path(), !narrow.starts_with(prefix));
    }
}

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

} // namespace

std::optional<FileIdentity> RegularFileIdentity(int descriptor)
{
    const HANDLE handle = handleOf(descriptor);
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK)
        return std::nullopt;
    return identityOf(handle);
}

std::optional<std::string> DestinationProblem(const fs::path &destination, const WriteOptions &options)
{
    Destination ignored;
    return inspect(destination, options, ignored);
}

ReplacementFile::ReplacementFile(const fs::path &destination, const WriteOptions &options)
{
    Destination checked;
    if (const std::optional<std::string> problem = inspect(destination, options, checked)) {
        fail(*problem);
        return;
    }
    m_target = destination;
    const fs::path folder = folderOf(m_target);
    if (options.createFolders) {
        std::error_code ignored;
        fs::create_directories(folder, ignored);
    }
    const fs::path targetName = m_target.filename();
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        fs::path name = L".";
        name += targetName.native();
        name += L"." + fs::path(randomLetters() + std::string(kTemporarySuffix)).native();
        m_temporary = folder / name;
        // Shared for reading only while it is written, so no sweep can take it.
        const HANDLE handle = CreateFileW(m_temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            m_temporary.clear();
            fail(reasonOfWindows(error));
            return;
        }
        m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (m_fd < 0) {
            CloseHandle(handle);
            failWithErrno(errno);
            return;
        }
    }
    if (m_fd < 0) {
        m_temporary.clear();
        fail(reasonOf(EEXIST));
        return;
    }
    removeLeftovers(folder, fs::path(L"." + targetName.native() + L".").string(), m_temporary);
}

ReplacementFile::~ReplacementFile()
{
    if (!m_committed)
        discardTemporary();
}

bool ReplacementFile::write(const void *data, std::size_t size)
{
    if (failed())
        return false;
    constexpr std::size_t kBufferSize = 1 << 16;
    if (m_buffer.size() + size > kBufferSize && !flushBuffer())
        return false;
    if (size >= kBufferSize) {
        m_buffer.assign(static_cast<const char *>(data), size);
        return flushBuffer();
    }
    m_buffer.append(static_cast<const char *>(data), size);
    return true;
}

bool ReplacementFile::flushBuffer()
{
    std::string_view rest = m_buffer;
    const HANDLE handle = handleOf(m_fd);
    while (!rest.empty()) {
        const DWORD chunk = DWORD(std::min<std::size_t>(rest.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle, rest.data(), chunk, &written, nullptr)) {
            fail(reasonOfWindows(GetLastError()));
            return false;
        }
        if (written == 0) {
            failWithErrno(ENOSPC);
            return false;
        }
        rest.remove_prefix(written);
    }
    m_buffer.clear();
    return true;
}

bool ReplacementFile::commit()
{
    if (failed() || m_committed)
        return !failed();
    if (!flushBuffer())
        return false;
    if (!FlushFileBuffers(handleOf(m_fd))) {
        fail(reasonOfWindows(GetLastError()));
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (_close(fd) != 0) {
        failWithErrno(errno);
        return false;
    }
    if (beforeReplaceHook())
        beforeReplaceHook()();
    Destination now;
    if (const std::optional<std::string> problem = inspect(m_target, {}, now)) {
        fail(*problem);
        return false;
    }
    // ReplaceFileW keeps the old file's attributes, security and identity;
    // a new file is moved into place and written through to disk.
    const bool replaced = now.exists
        ? ReplaceFileW(m_target.c_str(), m_temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                       nullptr)
        : MoveFileExW(m_temporary.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced) {
        fail(reasonOfWindows(GetLastError()));
        return false;
    }
    m_committed = true;
    return true;
}

void ReplacementFile::abandon(std::string reason)
{
    fail(std::move(reason));
}

void ReplacementFile::fail(std::string reason)
{
    if (m_error.empty())
        m_error = reason.empty() ? reasonOf(EIO) : std::move(reason);
    discardTemporary();
}

void ReplacementFile::failWithErrno(int code)
{
    fail(reasonOf(code));
}

void ReplacementFile::discardTemporary()
{
    if (m_fd >= 0)
        _close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty() && !m_committed)
        DeleteFileW(m_temporary.c_str());
    m_temporary.clear();
}

void ReplacementFile::setBeforeReplaceHookForTesting(std::function<void()> hook)
{
    beforeReplaceHook() = std::move(hook);
}

std::optional<std::string> ReplaceFileContents(const fs::path &destination, std::string_view bytes,
                                               const WriteOptions &options)
{
    ReplacementFile file(destination, options);
    if (file.write(bytes) && file.commit())
        return std::nullopt;
    return file.error();
}

} // namespace quillon

#include "Filewrite.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

// ---- Temporary names -------------------------------------------------------

// ".quote.pdf.k3Zq9x.quillon-tmp": hidden, named after the file it replaces,
// and marked as ours, so a sweep of the folder can tell it from anyone
// else's file.
constexpr std::string_view kTemporarySuffix = ".quillon-tmp";
constexpr std::size_t kRandomLetters = 6;

// Left-overs of a killed save of another file are taken only once they are
// this old: a save in progress holds its lock, so this only guards against
// writers that do not lock.
constexpr auto kStaleAge = std::chrono::minutes(5);

bool isAlphanumeric(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::size_t longestName(const fs::path &folder)
{
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? std::size_t(limit) : 255;
}

// A name the file system accepts must not be refused for the letters the
// temporary name adds, so the target's part of it is shortened to fit.
std::string temporaryPrefix(const fs::path &target, std::size_t nameMax)
{
    std::string name = target.filename().string();
    const std::size_t added = 2 + kRandomLetters + kTemporarySuffix.size();
    if (nameMax > added && name.size() + added > nameMax)
        name.resize(nameMax - added);
    return "." + name + ".";
}

bool lettersAt(std::string_view s, std::size_t from, std::size_t count)
{
    return s.size() >= from + count
        && std::all_of(s.begin() + std::ptrdiff_t(from), s.begin() + std::ptrdiff_t(from + count), isAlphanumeric);
}

// Ours: "." name "." six letters or digits ".quillon-tmp".
bool isTemporaryName(std::string_view name)
{
    const std::size_t tail = 1 + kRandomLetters + kTemporarySuffix.size();
    return name.size() > tail + 1 && name.front() == '.' && name.ends_with(kTemporarySuffix)
        && name[name.size() - tail] == '.' && lettersAt(name, name.size() - tail + 1, kRandomLetters);
}

// What earlier versions left: ".Quillon32.Ini.aZ09xy" beside the settings
// file, and "quote.pdf.part-1x2y3z" beside a quote.
bool isEarlierTemporaryName(std::string_view name, const std::string &target)
{
    const std::string hidden = "." + target + ".";
    if (name.size() == hidden.size() + kRandomLetters && name.starts_with(hidden))
        return lettersAt(name, hidden.size(), kRandomLetters);
    const std::string part = target + ".part-";
    const std::size_t letters = name.size() - part.size();
    return name.size() > part.size() && name.starts_with(part) && letters <= 13
        && lettersAt(name, part.size(), letters);
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

// ---- Clearing up after signals ---------------------------------------------

// The temporary files being written now, where a signal handler can reach
// them without allocating: an interrupted run must not leave half a file.
struct Slot
{
    std::atomic<int> state{0}; // 0 free, 1 being filled, 2 holds a name
    char path[4096];
};
std::array<Slot, 16> g_slots;

extern "C" void removeTemporariesAndDie(int signal)
{
    for (Slot &slot : g_slots)
        if (slot.state.load() == 2)
            ::unlink(slot.path);
    // SA_RESETHAND has put back the default action; it runs once this
    // handler returns, and the process ends as the signal meant.
    ::raise(signal);
}

void installSignalHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : {SIGINT, SIGTERM, SIGQUIT, SIGHUP}) {
            struct sigaction current{};
            // A signal the program ignores (nohup) or handles itself stays so.
            if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
                continue;
            struct sigaction action{};
            action.sa_handler = removeTemporariesAndDie;
            action.sa_flags = SA_RESETHAND;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
    });
}

int claimSlot(const fs::path &temporary)
{
    const std::string &name = temporary.native();
    if (name.size() >= sizeof(Slot::path))
        return -1;
    installSignalHandlers();
    for (std::size_t i = 0; i < g_slots.size(); ++i) {
        int expected = 0;
        if (g_slots[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_slots[i].path, name.c_str(), name.size() + 1);
            g_slots[i].state.store(2);
            return int(i);
        }
    }
    return -1; // more saves at once than slots: only the signal clean-up is lost
}

void releaseSlot(int &slot)
{
    if (slot >= 0)
        g_slots[std::size_t(slot)].state.store(0);
    slot = -1;
}

// ---- The destination --------------------------------------------------------

struct Destination
{
    fs::path target; // the end of the link chain
    bool exists = false;
    struct stat status{};
};

// Follows the links at the end of `path` to the file they lead to. A link
// whose target is missing leads to where the new file is created.
int followLinks(fs::path &path)
{
    for (int hop = 0; hop < 40; ++hop) { // the kernel's own limit on links
        struct stat st{};
        if (::lstat(path.c_str(), &st) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode))
            return 0;
        std::string link(std::size_t(st.st_size > 0 ? st.st_size : 4095) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0)
            return errno;
        link.resize(std::size_t(n));
        const fs::path next(link);
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return ELOOP;
}

std::optional<std::string> inspect(const fs::path &destination, const WriteOptions &options, Destination &out)
{
    if (destination.empty())
        return reasonOf(ENOENT);
    out.target = destination;
    if (const int error = followLinks(out.target))
        return reasonOf(error);
    if (::lstat(out.target.c_str(), &out.status) == 0) {
        out.exists = true;
    } else if (errno != ENOENT) {
        return reasonOf(errno);
    }
    if (!out.exists)
        return std::nullopt;
    if (S_ISDIR(out.status.st_mode))
        return reasonOf(EISDIR);
    if (!S_ISREG(out.status.st_mode))
        return std::string("Not a regular file");
    // Renaming needs only the folder's permission; the file's own says
    // whether its user may change it.
    if (::faccessat(AT_FDCWD, out.target.c_str(), W_OK, AT_EACCESS) != 0)
        return reasonOf(errno);
    if (options.notThe && *options.notThe == FileIdentity{std::uint64_t(out.status.st_dev), std::uint64_t(out.status.st_ino)})
        return std::string("It is the input file");
    return std::nullopt;
}

fs::path folderOf(const fs::path &target)
{
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// ---- Left-overs -------------------------------------------------------------

// A save holds a lock on its temporary file until it is renamed, so a file
// of ours that can be locked belongs to a save that was killed. Only regular
// files of this user are taken, and only while the name still leads to the
// file that was locked.
void removeIfAbandoned(const fs::path &file, bool mustBeOld)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat locked{}, named{};
    const bool statted = ::fstat(fd, &locked) == 0;
    const bool old = std::time(nullptr) - locked.st_mtime > std::chrono::seconds(kStaleAge).count();
    if (statted && S_ISREG(locked.st_mode) && locked.st_uid == ::geteuid() && (old || !mustBeOld)
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(file.c_str(), &named) == 0
        && named.st_dev == locked.st_dev && named.st_ino == locked.st_ino)
        ::unlink(file.c_str());
    ::close(fd);
}

void removeLeftovers(const fs::path &folder, const fs::path &target, const std::string &prefix,
                     const fs::path &own)
{
    const std::string targetName = target.filename().string();
    const std::string ownName = own.filename().string();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name == ownName)
            continue;
        if (isTemporaryName(name))
            removeIfAbandoned(it->path(), !name.starts_with(prefix));
        else if (isEarlierTemporaryName(name, targetName))
            removeIfAbandoned(it->path(), name.find(".part-") != std::string::npos);
    }
}

// Makes the rename itself durable; the new file is in place whatever this
// returns.
void syncFolder(const fs::path &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The old file's permissions and owner go to the new one. Giving a file to
// another owner needs privilege; without it the group alone may still be
// kept, and otherwise the new file is the saving user's own. A new file
// takes the user's umask, as any file the user creates.
int takeOverAttributes(int fd, const Destination &destination)
{
    if (!destination.exists)
        return 0;
    const struct stat &old = destination.status;
    const bool ownerOrGroupKept = ::fchown(fd, old.st_uid, old.st_gid) == 0 || ::fchown(fd, uid_t(-1), old.st_gid) == 0;
    static_cast<void>(ownerOrGroupKept); // neither is a reason to refuse the save
    return ::fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
}

} // namespace

std::optional<FileIdentity> RegularFileIdentity(int descriptor)
{
    struct stat st{};
    if (::fstat(descriptor, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileIdentity{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
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
    m_target = checked.target;
    const fs::path folder = folderOf(m_target);
    if (options.createFolders) {
        std::error_code ignored;
        fs::create_directories(folder, ignored);
    }
    const std::string prefix = temporaryPrefix(m_target, longestName(folder));
    // A sweep by another save may take a new file in the moment before it
    // is locked; the name is checked once the lock is held, and a file that
    // lost its name is given up for a new one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temporary = folder / (prefix + randomLetters() + std::string(kTemporarySuffix));
        m_fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno == EEXIST)
            continue;
        if (m_fd < 0) {
            const int error = errno;
            m_temporary.clear();
            failWithErrno(error);
            return;
        }
        m_slot = claimSlot(m_temporary);
        // Locked from creation until after the rename, through a second
        // descriptor so that closing the first can still report a failed
        // write.
        m_lock = ::dup(m_fd);
        if (m_lock < 0 || ::flock(m_lock, LOCK_EX) != 0) {
            failWithErrno(errno);
            return;
        }
        struct stat mine{}, named{};
        if (::fstat(m_fd, &mine) == 0 && ::lstat(m_temporary.c_str(), &named) == 0 && mine.st_dev == named.st_dev
            && mine.st_ino == named.st_ino)
            break;
        ::close(m_lock);
        ::close(m_fd);
        m_lock = m_fd = -1;
        releaseSlot(m_slot);
        m_temporary.clear();
    }
    if (m_fd < 0) {
        fail(reasonOf(EEXIST));
        return;
    }
    if (const int error = takeOverAttributes(m_fd, checked)) {
        failWithErrno(error);
        return;
    }
    removeLeftovers(folder, m_target, prefix, m_temporary);
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
    while (!rest.empty()) {
        const ssize_t n = ::write(m_fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failWithErrno(n < 0 ? errno : ENOSPC);
            return false;
        }
        rest.remove_prefix(std::size_t(n));
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
    if (::fsync(m_fd) != 0) {
        failWithErrno(errno);
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        failWithErrno(errno);
        return false;
    }
    if (beforeReplaceHook())
        beforeReplaceHook()();
    // What stands at the destination may have changed while the file was
    // written; a FIFO or a folder put there since is still not replaced.
    Destination now;
    if (const std::optional<std::string> problem = inspect(m_target, {}, now)) {
        fail(*problem);
        return false;
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        failWithErrno(errno);
        return false;
    }
    m_committed = true;
    releaseSlot(m_slot);
    ::close(m_lock);
    m_lock = -1;
    syncFolder(folderOf(m_target));
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
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty() && !m_committed)
        ::unlink(m_temporary.c_str());
    m_temporary.clear();
    releaseSlot(m_slot);
    if (m_lock >= 0)
        ::close(m_lock);
    m_lock = -1;
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

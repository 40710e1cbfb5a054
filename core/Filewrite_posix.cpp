#include "Filewrite_sys.h"

// The writer's steps on POSIX calls. The new file is locked (flock) from its
// creation until after the rename, so a sweep by another save can tell a
// save in progress from one that was killed; the rename replaces the old
// file in one step, and the folder is synced after it. Extended attributes
// are Linux's calls (sys/xattr.h).

#include "Messages.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace quillon {

namespace filesys {

namespace {

fs::path folderOf(const fs::path &path)
{
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// The kernel's own rule (fs.protected_symlinks): in a folder that is sticky
// and writable by all, such as /tmp, a link is followed only for its owner
// or when the folder's owner made it. Otherwise anyone could point a save
// there at a file of the saver's own. The writer resolves links itself and
// renames onto their end, where the kernel never applies the rule, so it
// applies it here.
Reason refusedLink(const fs::path &link, uid_t owner)
{
    struct stat folder{};
    if (::stat(folderOf(link).c_str(), &folder) != 0)
        return ErrnoReason(errno);
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    if (shared && owner != ::geteuid() && owner != folder.st_uid)
        return Messages::ForeignLinkInSharedFolder(link.native());
    return std::nullopt;
}

// Follows the links at the end of `path` to the file they lead to. A link
// whose target is missing leads to where the new file is created.
Reason followLinks(fs::path &path)
{
    for (int hop = 0; hop < 40; ++hop) { // the kernel's own limit on links
        struct stat st{};
        if (::lstat(path.c_str(), &st) != 0)
            return errno == ENOENT ? Reason() : ErrnoReason(errno);
        if (!S_ISLNK(st.st_mode))
            return std::nullopt;
        if (const Reason refused = refusedLink(path, st.st_uid))
            return refused;
        std::string link(std::size_t(st.st_size > 0 ? st.st_size : 4095) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0)
            return ErrnoReason(errno);
        link.resize(std::size_t(n));
        const fs::path next(link);
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return ErrnoReason(ELOOP);
}

// The whole of what `call` gives into a buffer of the size it asks for: an
// attribute's value or the list of names. 0, or the errno.
int readWhole(std::string &out, const std::function<ssize_t(char *, std::size_t)> &call)
{
    for (;;) {
        const ssize_t size = call(nullptr, 0);
        if (size < 0)
            return errno;
        out.resize(std::size_t(size));
        const ssize_t n = call(out.data(), out.size());
        if (n >= 0) {
            out.resize(std::size_t(n));
            return 0;
        }
        if (errno != ERANGE) // grown since it was measured: measured again
            return errno;
    }
}

constexpr std::string_view kAccessAcl = "system.posix_acl_access";

// What of `file`'s extended attributes a replacement keeps, as name and
// value: its user.* attributes, then its access ACL (set last, see
// TakeOverAttributes). security.* is the system's to give a new file (an
// SELinux label, say), trusted.* only privilege may set.
Reason keptAttributes(const fs::path &file, std::vector<std::pair<std::string, std::string>> &kept)
{
    std::string names;
    const auto list = [&](char *to, std::size_t size) { return ::llistxattr(file.c_str(), to, size); };
    if (const int error = readWhole(names, list))
        return error == ENOTSUP ? Reason() : ErrnoReason(error); // a file system without any
    std::string acl;
    for (std::size_t at = 0, end; at < names.size(); at = end + 1) {
        end = names.find('\0', at);
        const std::string name = names.substr(at, end - at);
        if (!name.starts_with("user.") && name != kAccessAcl)
            continue;
        std::string value;
        const int error = readWhole(value, [&](char *to, std::size_t size) {
            return ::lgetxattr(file.c_str(), name.c_str(), to, size);
        });
        if (error == ENODATA) // removed since it was listed
            continue;
        if (error)
            return Messages::AttributeNotKept(name, ErrnoReason(error));
        if (name == kAccessAcl)
            acl = std::move(value);
        else
            kept.emplace_back(name, std::move(value));
    }
    if (!acl.empty())
        kept.emplace_back(kAccessAcl, std::move(acl));
    return std::nullopt;
}

extern "C" void removeTemporariesAndDie(int signal)
{
    RemoveClaimedTemporaries();
    // SA_RESETHAND has put back the default action; it runs once this
    // handler returns, and the process ends as the signal meant.
    ::raise(signal);
}

} // namespace

Reason Inspect(const fs::path &destination, const WriteOptions &options, Destination &out)
{
    if (destination.empty())
        return ErrnoReason(ENOENT);
    out.target = destination;
    if (const Reason problem = followLinks(out.target))
        return problem;
    struct stat status{};
    if (::lstat(out.target.c_str(), &status) == 0) {
        out.exists = true;
    } else if (errno != ENOENT) {
        return ErrnoReason(errno);
    }
    if (!out.exists)
        return std::nullopt;
    out.mode = status.st_mode;
    out.owner = status.st_uid;
    out.group = status.st_gid;
    out.links = status.st_nlink;
    if (S_ISDIR(status.st_mode))
        return ErrnoReason(EISDIR);
    if (!S_ISREG(status.st_mode))
        return std::string("Not a regular file");
    // Renaming needs only the folder's permission; the file's own says
    // whether its user may change it.
    if (::faccessat(AT_FDCWD, out.target.c_str(), W_OK, AT_EACCESS) != 0)
        return ErrnoReason(errno);
    if (options.notThe && *options.notThe == FileIdentity{std::uint64_t(status.st_dev), std::uint64_t(status.st_ino)})
        return std::string("It is the input file");
    // The new file is made beside the old one, so the folder must take it.
    const fs::path folder = folderOf(out.target);
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return Messages::NoNewFileIn(folder.native(), ErrnoReason(errno));
    return std::nullopt;
}

std::size_t LongestName(const fs::path &folder)
{
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? std::size_t(limit) : 255;
}

Step CreateNew(const fs::path &path, int &fd, std::string &reason)
{
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0)
        return Step::Done;
    if (errno == EEXIST)
        return Step::Taken;
    const bool folderRefuses = errno == EACCES || errno == EPERM || errno == EROFS;
    reason = folderRefuses ? Messages::NoNewFileIn(folderOf(path).native(), ErrnoReason(errno)) : ErrnoReason(errno);
    return Step::Failed;
}

// Through a second descriptor, so that closing the first can still report
// a failed write.
Step Hold(const fs::path &path, int fd, int &lock, std::string &reason)
{
    lock = ::dup(fd);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
        reason = ErrnoReason(errno);
        return Step::Failed;
    }
    struct stat mine{}, named{};
    if (::fstat(fd, &mine) == 0 && ::lstat(path.c_str(), &named) == 0 && mine.st_dev == named.st_dev
        && mine.st_ino == named.st_ino)
        return Step::Done;
    return Step::Taken;
}

// The old file's permissions, owner, ACL and user.* attributes go to the
// new one. Giving a file to another owner needs privilege; without it the
// group alone may still be kept, and otherwise the new file is the saving
// user's own, who may set all the rest on it. A new file takes the user's
// umask, as any file the user creates.
Reason TakeOverAttributes(int fd, const Destination &destination)
{
    if (!destination.exists)
        return std::nullopt;
    const bool ownerOrGroupKept = ::fchown(fd, uid_t(destination.owner), gid_t(destination.group)) == 0
        || ::fchown(fd, uid_t(-1), gid_t(destination.group)) == 0;
    static_cast<void>(ownerOrGroupKept); // neither is a reason to refuse the save
    std::vector<std::pair<std::string, std::string>> kept;
    if (const Reason problem = keptAttributes(destination.target, kept))
        return problem;
    // An ACL the new file took from its folder's default ACL is not the
    // old file's.
    if (kept.empty() || kept.back().first != kAccessAcl)
        ::fremovexattr(fd, kAccessAcl.data());
    if (::fchmod(fd, mode_t(destination.mode & 07777)) != 0)
        return ErrnoReason(errno);
    // The ACL after the mode: a change of mode rewrites the ACL's mask.
    for (const auto &[name, value] : kept)
        if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0)
            return Messages::AttributeNotKept(name, ErrnoReason(errno));
    return std::nullopt;
}

std::size_t WriteSome(int fd, std::string_view bytes, std::string &reason)
{
    for (;;) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0)
            return std::size_t(n);
        reason = ErrnoReason(n < 0 ? errno : ENOSPC);
        return 0;
    }
}

Reason FlushToDisk(int fd)
{
    if (::fsync(fd) != 0)
        return ErrnoReason(errno);
    return std::nullopt;
}

Reason Close(int fd)
{
    if (::close(fd) != 0)
        return ErrnoReason(errno);
    return std::nullopt;
}

void Release(int &lock)
{
    if (lock >= 0)
        ::close(lock);
    lock = -1;
}

Reason Replace(const fs::path &temporary, const fs::path &target, bool)
{
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        return ErrnoReason(errno);
    return std::nullopt;
}

void SyncFolder(const fs::path &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void Remove(const fs::path &file)
{
    ::unlink(file.c_str());
}

// A save holds a lock on its temporary file until it is renamed, so a file
// of ours that can be locked belongs to a save that was killed. Only regular
// files of this user are taken, and only while the name still leads to the
// file that was locked.
void RemoveIfAbandoned(const fs::path &file, bool mustBeOld, std::int64_t staleSeconds)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat locked{}, named{};
    const bool statted = ::fstat(fd, &locked) == 0;
    const bool old = std::time(nullptr) - locked.st_mtime > staleSeconds;
    if (statted && S_ISREG(locked.st_mode) && locked.st_uid == ::geteuid() && (old || !mustBeOld)
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(file.c_str(), &named) == 0
        && named.st_dev == locked.st_dev && named.st_ino == locked.st_ino)
        ::unlink(file.c_str());
    ::close(fd);
}

void InstallInterruptHandlers()
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

void RemoveInHandler(const char *name)
{
    ::unlink(name);
}

} // namespace filesys

std::optional<FileIdentity> RegularFileIdentity(int descriptor)
{
    struct stat st{};
    if (::fstat(descriptor, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileIdentity{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
}

std::filesystem::path PathFromBytes(std::string_view name)
{
    return std::filesystem::path(std::string(name));
}

} // namespace quillon

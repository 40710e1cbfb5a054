/* A preloaded shim that makes one file operation fail, for the tests that
 * check a failure mid-save leaves the old file whole and is reported.
 *
 *   QUILLON_FAULT_OP     open, write, fsync, fsetxattr, rename, close or read
 *   QUILLON_FAULT_N      fail the Nth such call (1 = the first); default 1
 *   QUILLON_FAULT_PATH   only calls on paths containing this text count
 *   QUILLON_FAULT_ERRNO  the error to fail with; default EIO (ENOSPC for write)
 *
 * write, fsync, fsetxattr and close count only on descriptors of files (not folders)
 * opened on a matching path; rename counts when either name matches; read, standard input's fread. Without QUILLON_FAULT_OP the
 * shim changes nothing. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#define MAX_FDS 65536

static unsigned char g_tracked[MAX_FDS];
static long g_count;

static const char *faultOp(void)
{
    const char *op = getenv("QUILLON_FAULT_OP");
    return op && *op ? op : NULL;
}

static int matches(const char *path)
{
    const char *pattern = getenv("QUILLON_FAULT_PATH");
    if (!path)
        return 0;
    return !pattern || !*pattern || strstr(path, pattern) != NULL;
}

static int faultErrno(int fallback)
{
    const char *value = getenv("QUILLON_FAULT_ERRNO");
    return value && *value ? atoi(value) : fallback;
}

/* Whether this call of `op` is the one to fail. */
static int shouldFail(const char *op, int relevant)
{
    const char *wanted = faultOp();
    if (!wanted || !relevant || strcmp(wanted, op) != 0)
        return 0;
    const char *n = getenv("QUILLON_FAULT_N");
    const long target = n && *n ? atol(n) : 1;
    return __atomic_add_fetch(&g_count, 1, __ATOMIC_SEQ_CST) == target;
}

/* Folders are not tracked: a folder listing is closed inside the C library,
 * where this shim never sees it, and the number would stay marked for the
 * next file opened under it. */
static void track(int fd, const char *path)
{
    struct stat st;
    if (fd >= 0 && fd < MAX_FDS)
        g_tracked[fd] = (unsigned char)(matches(path) && fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode));
}

static int tracked(int fd)
{
    return fd >= 0 && fd < MAX_FDS && g_tracked[fd];
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

static int openCommon(const char *name, int dirfd, const char *path, int flags, mode_t mode)
{
    if (shouldFail("open", matches(path))) {
        errno = faultErrno(EACCES);
        return -1;
    }
    int fd;
    if (strcmp(name, "openat") == 0)
        fd = NEXT(openat)(dirfd, path, flags, mode);
    else
        fd = NEXT(open)(path, flags, mode);
    track(fd, path);
    return fd;
}

/* The mode argument exists only when the flags create a file. */
#define MODE_ARGUMENT(flags, mode)                                    \
    mode_t mode = 0;                                                  \
    if ((flags) & (O_CREAT | O_TMPFILE)) {                            \
        va_list args;                                                 \
        va_start(args, flags);                                        \
        mode = va_arg(args, mode_t);                                  \
        va_end(args);                                                 \
    }

int open(const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags, mode)
    return openCommon("open", AT_FDCWD, path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags, mode)
    return openCommon("open", AT_FDCWD, path, flags, mode);
}

int openat(int dirfd, const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags, mode)
    return openCommon("openat", dirfd, path, flags, mode);
}

int openat64(int dirfd, const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags, mode)
    return openCommon("openat", dirfd, path, flags, mode);
}

/* The C library creates temporary files without calling open(). */
#define MKSTEMP(name, params, args)                                   \
    int name params                                                   \
    {                                                                 \
        if (shouldFail("open", matches(path))) {                      \
            errno = faultErrno(EACCES);                               \
            return -1;                                                \
        }                                                             \
        const int fd = NEXT(name) args;                               \
        track(fd, path);                                              \
        return fd;                                                    \
    }
MKSTEMP(mkstemp, (char *path), (path))
MKSTEMP(mkstemp64, (char *path), (path))
MKSTEMP(mkostemp, (char *path, int flags), (path, flags))
MKSTEMP(mkostemp64, (char *path, int flags), (path, flags))
MKSTEMP(mkstemps, (char *path, int suffix), (path, suffix))
MKSTEMP(mkostemps, (char *path, int suffix, int flags), (path, suffix, flags))

ssize_t write(int fd, const void *buffer, size_t count)
{
    if (shouldFail("write", tracked(fd))) {
        errno = faultErrno(ENOSPC);
        return -1;
    }
    return NEXT(write)(fd, buffer, count);
}

int fsync(int fd)
{
    if (shouldFail("fsync", tracked(fd))) {
        errno = faultErrno(EIO);
        return -1;
    }
    return NEXT(fsync)(fd);
}

int fsetxattr(int fd, const char *name, const void *value, size_t size, int flags)
{
    if (shouldFail("fsetxattr", tracked(fd))) {
        errno = faultErrno(ENOTSUP);
        return -1;
    }
    return NEXT(fsetxattr)(fd, name, value, size, flags);
}

int fdatasync(int fd)
{
    if (shouldFail("fsync", tracked(fd))) {
        errno = faultErrno(EIO);
        return -1;
    }
    return NEXT(fdatasync)(fd);
}

int close(int fd)
{
    const int relevant = tracked(fd);
    if (fd >= 0 && fd < MAX_FDS)
        g_tracked[fd] = 0;
    if (shouldFail("close", relevant)) {
        /* The descriptor is gone all the same, as after a real failed close. */
        NEXT(close)(fd);
        errno = faultErrno(EIO);
        return -1;
    }
    return NEXT(close)(fd);
}

int rename(const char *from, const char *to)
{
    if (shouldFail("rename", matches(from) || matches(to))) {
        errno = faultErrno(EIO);
        return -1;
    }
    return NEXT(rename)(from, to);
}

int renameat(int fromDir, const char *from, int toDir, const char *to)
{
    if (shouldFail("rename", matches(from) || matches(to))) {
        errno = faultErrno(EIO);
        return -1;
    }
    return NEXT(renameat)(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char *from, int toDir, const char *to, unsigned flags)
{
    if (shouldFail("rename", matches(from) || matches(to))) {
        errno = faultErrno(EIO);
        return -1;
    }
    return NEXT(renameat2)(fromDir, from, toDir, to, flags);
}

int linkat(int fromDir, const char *from, int toDir, const char *to, int flags)
{
    /* Qt names an anonymous temporary file into place with linkat. */
    if (shouldFail("rename", matches(from) || matches(to))) {
        errno = faultErrno(EIO);
        return -1;
    }
    return NEXT(linkat)(fromDir, from, toDir, to, flags);
}

size_t fread(void *buffer, size_t size, size_t count, FILE *stream)
{
    if (!shouldFail("read", stream == stdin))
        return NEXT(fread)(buffer, size, count, stream);
    stream->_flags |= _IO_ERR_SEEN; /* as the C library fails a read */
    errno = faultErrno(EIO);
    return 0;
}

#include "Filewrite.h"

#include "Filewrite_sys.h"
#include "Messages.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

// The writer's rules, the same on every system; the calls that carry them
// out are in Filewrite_posix.cpp and Filewrite_win.cpp (see Filewrite_sys.h).

namespace fs = std::filesystem;

namespace quillon {

using filesys::Native;
using filesys::Step;
using NativeView = std::basic_string_view<fs::path::value_type>;

namespace {

std::function<void()> &beforeReplaceHook()
{
    static std::function<void()> hook;
    return hook;
}

// ASCII text in the system's characters for names.
Native native(std::string_view ascii)
{
    return Native(ascii.begin(), ascii.end());
}

bool endsWith(NativeView s, std::string_view ascii)
{
    return s.size() >= ascii.size() && std::equal(ascii.begin(), ascii.end(), s.end() - std::ptrdiff_t(ascii.size()));
}

// ---- Temporary names -------------------------------------------------------

// ".quote.pdf.k3Zq9x.quillon-tmp": hidden, named after the file it replaces,
// and marked as ours, so a sweep of the folder can tell it from anyone
// else's file. Only this form is ever swept. Earlier versions' names
// (".Quillon32.Ini.aZ09xy", "quote.pdf.part-1x2y3z") are left alone: no test
// tells them from a user's ".quote.pdf.backup" or "quote.pdf.part-2".
constexpr std::string_view kTemporarySuffix = ".quillon-tmp";
constexpr std::size_t kRandomLetters = 6;

// Left-overs of a killed save of another file are taken only once they are
// this old: a save in progress holds its lock, so this only guards against
// writers that do not lock.
constexpr auto kStaleAge = std::chrono::minutes(5);

bool isAlphanumeric(fs::path::value_type c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A name the file system accepts must not be refused for the letters the
// temporary name adds, so the target's part of it is shortened to fit.
Native temporaryPrefix(const fs::path &target, std::size_t nameMax)
{
    Native name = target.filename().native();
    const std::size_t added = 2 + kRandomLetters + kTemporarySuffix.size();
    if (nameMax > added && name.size() + added > nameMax)
        name.resize(nameMax - added);
    return native(".") + name + native(".");
}

bool lettersAt(NativeView s, std::size_t from, std::size_t count)
{
    return s.size() >= from + count
        && std::all_of(s.begin() + std::ptrdiff_t(from), s.begin() + std::ptrdiff_t(from + count), isAlphanumeric);
}

// Ours: "." name "." six letters or digits ".quillon-tmp".
bool isTemporaryName(NativeView name)
{
    const std::size_t tail = 1 + kRandomLetters + kTemporarySuffix.size();
    return name.size() > tail + 1 && name.front() == '.' && endsWith(name, kTemporarySuffix)
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

// ---- Clearing up after interrupts ------------------------------------------

// The temporary files being written now, where an interrupt handler can
// reach them without allocating: an interrupted run must not leave half a
// file.
struct Slot
{
    static constexpr std::size_t kLength = 4096;
    std::atomic<int> state{0}; // 0 free, 1 being filled, 2 holds a name
    fs::path::value_type path[kLength];
};
std::array<Slot, 16> g_slots;

int claimSlot(const fs::path &temporary)
{
    const Native &name = temporary.native();
    if (name.size() >= Slot::kLength)
        return -1;
    filesys::InstallInterruptHandlers();
    for (std::size_t i = 0; i < g_slots.size(); ++i) {
        int expected = 0;
        if (g_slots[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_slots[i].path, name.c_str(), (name.size() + 1) * sizeof(fs::path::value_type));
            g_slots[i].state.store(2);
            return int(i);
        }
    }
    return -1; // more saves at once than slots: only the clean-up is lost
}

void releaseSlot(int &slot)
{
    if (slot >= 0)
        g_slots[std::size_t(slot)].state.store(0);
    slot = -1;
}

// ---- Left-overs -------------------------------------------------------------

void removeLeftovers(const fs::path &folder, const Native &prefix, const fs::path &own)
{
    constexpr std::int64_t staleSeconds = std::chrono::seconds(kStaleAge).count();
    const Native ownName = own.filename().native();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const Native name = it->path().filename().native();
        if (name == ownName)
            continue;
        if (isTemporaryName(name))
            filesys::RemoveIfAbandoned(it->path(), !name.starts_with(prefix), staleSeconds);
    }
}

} // namespace

namespace filesys {

std::string ErrnoReason(int code)
{
    return std::strerror(code);
}

std::string DisplayName(const fs::path &path)
{
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

void RemoveClaimedTemporaries()
{
    for (Slot &slot : g_slots)
        if (slot.state.load() == 2)
            RemoveInHandler(slot.path);
}

} // namespace filesys

std::optional<std::string> DestinationProblem(const fs::path &destination, const WriteOptions &options)
{
    filesys::Destination ignored;
    return filesys::Inspect(destination, options, ignored);
}

ReplacementFile::ReplacementFile(const fs::path &destination, const WriteOptions &options)
{
    filesys::Destination checked;
    if (const filesys::Reason problem = filesys::Inspect(destination, options, checked)) {
        fail(*problem);
        return;
    }
    m_target = checked.target;
    const fs::path folder = folderOf(m_target);
    if (options.createFolders) {
        std::error_code ignored;
        fs::create_directories(folder, ignored);
    }
    const Native prefix = temporaryPrefix(m_target, filesys::LongestName(folder));
    // A sweep by another save may take a new file in the moment before it
    // is held; the name is checked once it is, and a file that lost its
    // name is given up for a new one.
    std::string reason;
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_temporary = folder / (prefix + native(randomLetters()) + native(kTemporarySuffix));
        // Claimed before the file exists, so an interruption in the moment
        // after it is made still removes it.
        m_slot = claimSlot(m_temporary);
        const Step created = filesys::CreateNew(m_temporary, m_fd, reason);
        if (created != Step::Done)
            releaseSlot(m_slot);
        if (created == Step::Taken)
            continue;
        if (created == Step::Failed) {
            m_temporary.clear();
            fail(reason);
            return;
        }
        const Step held = filesys::Hold(m_temporary, m_fd, m_lock, reason);
        if (held == Step::Failed) {
            fail(reason);
            return;
        }
        if (held == Step::Taken) {
            filesys::Release(m_lock);
            static_cast<void>(filesys::Close(m_fd));
            m_fd = -1;
            releaseSlot(m_slot);
            m_temporary.clear();
        }
    }
    if (m_fd < 0) {
        m_temporary.clear(); // the last name tried is another file's
        fail(filesys::ErrnoReason(EEXIST));
        return;
    }
    if (const filesys::Reason problem = filesys::TakeOverAttributes(m_fd, checked)) {
        fail(*problem);
        return;
    }
    removeLeftovers(folder, prefix, m_temporary);
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
        std::string reason;
        const std::size_t n = filesys::WriteSome(m_fd, rest, reason);
        if (n == 0) {
            fail(reason);
            return false;
        }
        rest.remove_prefix(n);
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
    if (const filesys::Reason problem = filesys::FlushToDisk(m_fd)) {
        fail(*problem);
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (const filesys::Reason problem = filesys::Close(fd)) {
        fail(*problem);
        return false;
    }
    if (beforeReplaceHook())
        beforeReplaceHook()();
    // What stands at the destination may have changed while the file was
    // written; a FIFO or a folder put there since is still not replaced.
    filesys::Destination now;
    if (const filesys::Reason problem = filesys::Inspect(m_target, {}, now)) {
        fail(*problem);
        return false;
    }
    if (const filesys::Reason problem = filesys::Replace(m_temporary, m_target, now.exists)) {
        fail(*problem);
        return false;
    }
    m_committed = true;
    // Writing the other names in place would give up the whole-or-nothing
    // promise for them; they keep the old file, whole, and the caller says so.
    if (now.links > 1)
        m_warning = Messages::OtherNamesKeepOldContents(filesys::DisplayName(m_target), now.links - 1);
    releaseSlot(m_slot);
    filesys::Release(m_lock);
    filesys::SyncFolder(folderOf(m_target));
    return true;
}

void ReplacementFile::abandon(std::string reason)
{
    fail(std::move(reason));
}

void ReplacementFile::fail(std::string reason)
{
    if (m_error.empty())
        m_error = reason.empty() ? filesys::ErrnoReason(EIO) : std::move(reason);
    discardTemporary();
}

void ReplacementFile::discardTemporary()
{
    if (m_fd >= 0)
        static_cast<void>(filesys::Close(m_fd));
    m_fd = -1;
    if (!m_temporary.empty() && !m_committed)
        filesys::Remove(m_temporary);
    m_temporary.clear();
    releaseSlot(m_slot);
    filesys::Release(m_lock);
}

void ReplacementFile::setBeforeReplaceHookForTesting(std::function<void()> hook)
{
    beforeReplaceHook() = std::move(hook);
}

std::optional<std::string> ReplaceFileContents(const fs::path &destination, std::string_view bytes,
                                               const WriteOptions &options, std::string *warning)
{
    ReplacementFile file(destination, options);
    if (file.write(bytes) && file.commit()) {
        if (warning)
            *warning = file.warning();
        return std::nullopt;
    }
    return file.error();
}

} // namespace quillon

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <ranges>
#include <string>

#include "Filewrite.h"
#include "Filewrite_sys.h"
#include "../support/Testsupport.h"

#ifndef _WIN32
#include <sys/xattr.h>
#include <unistd.h>
#endif

using namespace quillon;

// The writer on the system it runs on, Linux or Windows alike; the settings-file tests drive each step's faults.

namespace fs = std::filesystem;

namespace {

// UTF-8 name below the folder: bytes, "/" a folder, "->to" a symbolic link, "=name" a hard link to a file laid
using Listing = std::map<std::string, std::string>;

// How the folder stands beyond its files (POSIX); another user is uid 65534, whom only root gives files.
enum class Folder { Own, Shared /* as /tmp, the link another user's */, ReadOnly /* the file another user's */ };
// An access ACL as the kernel keeps it: rw- for the owner, nothing for user 65534, r-- for group (mask) and others.
const std::string kAclDenying("\2\0\0\0\1\0\6\0\xff\xff\xff\xff\2\0\0\0\xfe\xff\0\0\4\0\4\0\xff\xff\xff\xff"
                              "\x10\0\4\0\xff\xff\xff\xff\x20\0\4\0\xff\xff\xff\xff", 44);

fs::path pathOf(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

class ReplacementFileTest : public ::testing::Test
{
protected:
    // An empty folder again, whatever the case before left in it.
    void fresh() const
    {
        std::error_code ignored;
        fs::permissions(m_dir, fs::perms::owner_all, ignored);
        fs::remove_all(m_dir, ignored);
        fs::create_directories(m_dir);
    }
    void lay(const Listing &files) const
    {
        for (const auto &[name, bytes] : files) {
            if (bytes == "/")
                fs::create_directories(m_dir / pathOf(name));
            else if (bytes.starts_with("->"))
                fs::create_symlink(pathOf(bytes.substr(2)), m_dir / pathOf(name));
            else if (bytes.starts_with("="))
                fs::create_hard_link(m_dir / pathOf(bytes.substr(1)), m_dir / pathOf(name));
            else
                std::ofstream(m_dir / pathOf(name), std::ios::binary) << bytes;
            // Laid long ago: its name alone tells a sweep what to take. (MinGW fails to set the time of a name
            // beyond ASCII; such a file is laid now, which a wrong sweep of it shows as well.)
            std::error_code ignored;
            if (bytes != "/" && !bytes.starts_with("->"))
                fs::last_write_time(m_dir / pathOf(name), fs::file_time_type::clock::now() - std::chrono::hours(1),
                                    ignored);
        }
    }
    Listing listing() const
    {
        Listing found;
        for (const fs::directory_entry &entry : fs::recursive_directory_iterator(m_dir)) {
            const std::u8string name = entry.path().lexically_relative(m_dir).generic_u8string();
            const std::string link = entry.is_symlink() ? "->" + fs::read_symlink(entry.path()).string() : "";
            found[std::string(name.begin(), name.end())] =
                !link.empty() ? link : entry.is_directory() ? "/" : readFile(entry.path());
        }
        return found;
    }

    const TempFolder m_folder{"quillon-write"};
    const fs::path m_dir = m_folder.path();
};

TEST_F(ReplacementFileTest, ReplacesWholeOrNotAtAllAndLeavesNoTemporaryFile)
{
    const std::string large = std::string(200000, 'x') + "end"; // more than the buffer holds
    const std::string longName(250, 'n'); // too long to take the temporary's letters as well
    // after: the folder after a success (a failure leaves it as it was); attributes: extended attributes, laid on
    // the file named and on it after; said: in the reason, or in the warning of a success (otherwise none).
    struct Case
    {
        const char *what;
        Listing before;
        std::string name, bytes;
        bool createFolders, abandon, succeeds;
        Listing after = {}, attributes = {};
        Folder folder = Folder::Own;
        const char *said = "";
    };
    const Case cases[] = {
        {"a new file in folders not made yet", {}, "a/b/new.txt", "new", true, false, true,
         {{"a", "/"}, {"a/b", "/"}, {"a/b/new.txt", "new"}}},
        {"a missing folder not to be made", {}, "a/new.txt", "new", false, false, false},
        {"an old file larger than the buffer", {{"file.bin", "old"}}, "file.bin", large, false, false, true,
         {{"file.bin", large}}},
        {"a name beyond ASCII", {{"café €.ini", "old"}}, "café €.ini", "new", false, false, true,
         {{"café €.ini", "new"}}},
        {"a name near the longest", {}, longName, "new", false, false, true, {{longName, "new"}}},
        {"a folder at the destination", {{"dir", "/"}}, "dir", "new", false, false, false},
        {"a write given up", {{"file.ini", "old"}}, "file.ini", "new", false, true, false},
        {"left-overs of killed saves go; look-alikes and earlier versions' names stay",
         {{"file.ini", "old"}, {".file.ini.aZ09xy.quillon-tmp", "half"}, {".file.ini.bak", "keep"},
          {".file.ini.aZ09xyz.quillon-tmp", "keep"}, {".file.ini.backup", "keep"}, {".file.ini.Draft1", "keep"},
          {"file.ini.part-2", "keep"}},
         "file.ini", "new", false, false, true,
         {{"file.ini", "new"}, {".file.ini.bak", "keep"}, {".file.ini.aZ09xyz.quillon-tmp", "keep"},
          {".file.ini.backup", "keep"}, {".file.ini.Draft1", "keep"}, {"file.ini.part-2", "keep"}}},
#ifndef _WIN32
        {"a link another user put in a shared folder", {{"mine", "/"}, {"mine/q", "mine"}, {"q", "->mine/q"}}, "q",
         "new", false, false, false, {}, {}, Folder::Shared, "is a link another user made in a shared folder"},
        {"a writable file in a read-only folder", {{"file.ini", "old"}}, "file.ini", "new", false, false, false, {}, {},
         Folder::ReadOnly, "No new file can be made in the folder"},
        {"an ACL denying a user, and a user attribute", {{"file.ini", "old"}}, "file.ini", "new", false, false, true,
         {{"file.ini", "new"}}, {{"system.posix_acl_access", kAclDenying}, {"user.origin", "the clerk"}}},
        {"a file with another name", {{"file.ini", "old"}, {"other.ini", "=file.ini"}}, "file.ini", "new", false,
         false, true, {{"file.ini", "new"}, {"other.ini", "old"}}, {}, Folder::Own, "had 1 other name"},
#endif
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fresh();
        lay(c.before);
        const Listing laid = listing(); // wine under the C locale makes no name beyond ASCII
        if (!std::ranges::equal(std::views::keys(laid), std::views::keys(c.before))) {
            std::printf("[  SKIPPED ] %s: the file system cannot hold the names\n", c.what);
            continue;
        }
        const fs::path named = m_dir / pathOf(c.name);
#ifndef _WIN32
        const bool root = ::geteuid() == 0;
        if (!root && c.folder == Folder::Shared) {
            std::printf("[  SKIPPED ] %s: only root can give a link to another user\n", c.what);
            continue;
        }
        ASSERT_TRUE(c.folder == Folder::Own || !root || ::lchown(named.c_str(), 65534, 65534) == 0);
        fs::permissions(m_dir, fs::perms(c.folder == Folder::Shared ? 01777 : c.folder == Folder::Own ? 0755 : 0555));
        for (const auto &[attribute, value] : c.attributes)
            ASSERT_EQ(::setxattr(named.c_str(), attribute.c_str(), value.data(), value.size(), 0), 0) << attribute;
        ASSERT_TRUE(c.folder != Folder::ReadOnly || !root || ::seteuid(65534) == 0);
#endif
        {
            quillon::WriteOptions options;
            options.createFolders = c.createFolders;
            ReplacementFile file(named, options);
            const std::size_t half = c.bytes.size() / 2;
            file.write(c.bytes.substr(0, half));
            file.write(c.bytes.substr(half));
            if (c.abandon)
                file.abandon("given up");
            EXPECT_EQ(file.commit(), c.succeeds) << file.error();
            EXPECT_EQ(file.error().empty(), c.succeeds); // a failure has its reason
            const std::string &said = c.succeeds ? file.warning() : file.error();
            EXPECT_TRUE(*c.said ? said.find(c.said) != std::string::npos : c.succeeds ? said.empty() : true) << said;
        }
#ifndef _WIN32
        static_cast<void>(::seteuid(0)); // fails, harmlessly, where it was never changed
        for (const auto &[attribute, value] : c.attributes) {
            char now[64];
            const ssize_t size = ::getxattr(named.c_str(), attribute.c_str(), now, sizeof now);
            EXPECT_EQ(std::string(now, std::size_t(std::max<ssize_t>(size, 0))), value);
        }
#endif
        EXPECT_EQ(listing(), c.succeeds ? c.after : c.before);
    }
}

TEST_F(ReplacementFileTest, AnInterruptRemovesTheTemporaryFileOfAWriteInProgress)
{
    lay({{"file.ini", "old"}});
    quillon::ReplacementFile file(m_dir / "file.ini");
    ASSERT_TRUE(file.write("new"));
    quillon::filesys::RemoveClaimedTemporaries(); // what the handlers of SIGINT or a console's Ctrl-C run
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(listing(), (Listing{{"file.ini", "old"}}));
}

} // namespace

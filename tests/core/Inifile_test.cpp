#include <gtest/gtest.h>

#include <clocale>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <pwd.h>
#include <sys/wait.h>
#include <ctime>
#include <unistd.h>

#include "Inifile.h"
#include "../support/Settingsdriver.h"
#include "../support/Testsupport.h"

using namespace quillon;

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test
{
protected:
    void TearDown() override { IniFile::setBeforeReplaceHookForTesting({}); }
    void write(const std::string &contents) { writeFile(m_path, contents); }
    std::string read() const { return readFile(m_path); }
    void saveCo(const std::string &value) const
    {
        IniFile ini(m_path);
        ini.WriteString("REQUIRED", "Co", value);
        ini.save();
    }
    std::size_t filesInDir() const { return std::size_t(std::distance(fs::directory_iterator(m_dir), {})); }
    // Hidden files of the kind a save writes before its rename.
    static std::vector<std::string> temporaries(const fs::path &dir)
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir))
            if (entry.path().filename().string().front() == '.')
                names.push_back(entry.path().filename().string());
        return names;
    }

    const TempFolder m_folder{"quillon-ini"};
    const fs::path m_dir = m_folder.path();
    const fs::path m_path = m_dir / "Quillon32.Ini";
};

const char kHandEdited[] = "; settings written by hand\r\n[Other]\r\nCo=Not ours\r\n\r\n"
                           "[required]\r\n  co   =   Acme Insurance  \r\n; the address follows\r\n"
                           "Add1=1 Main St\r\n\r\n[Tail]\r\nx=1\r\n";

// Files owned by the clerk the saves run as, in a folder the clerk may write: an ordinary user's own settings.
void giveToClerk(const fs::path &path)
{
    ASSERT_TRUE(geteuid() != 0 || lchown(path.c_str(), settingsdriver::kClerk, settingsdriver::kClerk) == 0) << path;
}

} // namespace

// Reads the section and key whatever their case, trims values and returns bytes as they are.
TEST(IniText, ReadsWhateverTheCaseAndTrimsValues)
{
    struct Case { const char *name, *section, *key; std::string expected, text = kHandEdited; };
    const Case cases[] = {
        {"section and key in other case, value trimmed", "REQUIRED", "Co", "Acme Insurance"},
        {"key after a comment line", "REQUIRED", "ADD1", "1 Main St"}, {"another section's", "Other", "Co", "Not ours"},
        {"missing key", "REQUIRED", "Zip", "default"}, {"missing section", "Nowhere", "Co", "default"},
        {"a comment is not a key", "REQUIRED", "; the address follows", "default"},
        {"section header right behind the mark", "REQUIRED", "Co", "Acme", "\xEF\xBB\xBF[REQUIRED]\r\nCo=Acme\r\n"},
        {"comment behind the mark", "REQUIRED", "Co", "Acme", "\xEF\xBB\xBF; hand made\n[REQUIRED]\nCo=Acme\n"},
        {"Latin-1 byte passed through", "REQUIRED", "Co", "Caf\xE9 Assurances", "[REQUIRED]\nCo=Caf\xE9 Assurances\n"},
        {"a mark inside the file is text", "REQUIRED", "Co", "default", "[Other]\n\xEF\xBB\xBF[REQUIRED]\nCo=x\n"},
        {"key line without a value", "REQUIRED", "Co", "", "[REQUIRED]\nCo=\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IniFile::fromText(c.text).ReadString(c.section, c.key, "default"), c.expected) << c.name;
}

TEST(IniText, WritesChangeOnlyTheirOwnBytes)
{
    struct Write { const char *key, *value; };
    struct Case { const char *name; std::string before; std::vector<Write> writes; std::string after; };
    // Under tr_TR the C library's tolower does not take 'I' to 'i'.
    ASSERT_TRUE(setlocale(LC_ALL, "tr_TR.UTF-8"));
    const Case cases[] = {
        {"unchanged value keeps its spacing", "[REQUIRED]\r\n  co   =   Acme  \r\n", {{"Co", "Acme"}},
         "[REQUIRED]\r\n  co   =   Acme  \r\n"},
        {"written back as read keeps a stray CR", "[REQUIRED]\nCo=a\rb\n", {{"Co", "a\rb"}}, "[REQUIRED]\nCo=a\rb\n"},
        {"changed value keeps the key's spelling", "[REQUIRED]\r\n  co   =   Acme  \r\n", {{"Co", "Bell"}},
         "[REQUIRED]\r\nco=Bell\r\n"},
        {"byte-order mark kept, no second section", "\xEF\xBB\xBF[REQUIRED]\r\nCo=Old\r\n",
         {{"Co", "New"}, {"Zip", "1"}}, "\xEF\xBB\xBF[REQUIRED]\r\nCo=New\r\nZip=1\r\n"},
        {"a file of only the mark gets the section after it", "\xEF\xBB\xBF", {{"Co", "New"}},
         "\xEF\xBB\xBF[REQUIRED]\r\nCo=New\r\n"},
        {"a Latin-1 neighbour is untouched", "[REQUIRED]\nCo=Caf\xE9\nCity=Old\n", {{"City", "New"}},
         "[REQUIRED]\nCo=Caf\xE9\nCity=New\n"},
        {"new keys take the file's CRLF", "[REQUIRED]\r\nCo=A\r\n\r\n[Tail]\r\n", {{"Zip", "1"}},
         "[REQUIRED]\r\nCo=A\r\nZip=1\r\n\r\n[Tail]\r\n"},
        {"new keys take the file's LF", "[REQUIRED]\nCo=A\n", {{"Zip", "1"}}, "[REQUIRED]\nCo=A\nZip=1\n"},
        {"a last line without a line end gets one", "[REQUIRED]\nCo=A", {{"Zip", "1"}}, "[REQUIRED]\nCo=A\nZip=1\n"},
        {"a new section goes at the end", "; only a comment", {{"Co", "A"}},
         "; only a comment\r\n[REQUIRED]\r\nCo=A\r\n"},
        {"a key only in a second section of the name is changed where reads find it",
         "[REQUIRED]\nZip=1\n[REQUIRED]\nCo=a\n", {{"Co", "b"}, {"Add1", "x"}},
         "[REQUIRED]\nZip=1\nAdd1=x\n[REQUIRED]\nCo=b\n"},
        {"the key of another section is not ours", "[Other]\nCo=x\n", {{"Co", "A"}}, "[Other]\nCo=x\n[REQUIRED]\nCo=A\n"},
        {"section and key with an I in another case: no twins", "[Required]\nCITY=Old\n",
         {{"City", "Izmir"}, {"Zip", "1"}}, "[Required]\nCITY=Izmir\nZip=1\n"},
        {"a hand-edited file: a new key closes the section, comments and neighbours stay", kHandEdited,
         {{"Co", "Quillon Mutual"}, {"City", "Springfield"}},
         "; settings written by hand\r\n[Other]\r\nCo=Not ours\r\n\r\n[required]\r\nco=Quillon Mutual\r\n"
         "; the address follows\r\nAdd1=1 Main St\r\nCity=Springfield\r\n\r\n[Tail]\r\nx=1\r\n"},
    };
    for (const Case &c : cases) {
        IniFile ini = IniFile::fromText(c.before);
        for (const Write &w : c.writes)
            ini.WriteString("REQUIRED", w.key, w.value);
        EXPECT_EQ(ini.text(), c.after) << c.name;
    }
    setlocale(LC_ALL, "C");
}

// A missing file gives every default and reading never creates it; the first save makes the folder too; a line
// break in a value cannot plant another key.
TEST_F(IniFileTest, FirstSaveCreatesTheFileAndItsDirectory)
{
    const fs::path nested = m_dir / "config" / "Quillon32.Ini";
    IniFile ini(nested);
    EXPECT_EQ(ini.state(), IniFile::State::Missing);
    EXPECT_EQ(ini.ReadString("REQUIRED", "Co", "Company Name"), "Company Name");
    EXPECT_EQ(ini.ReadString("REQUIRED", "Minihelp", "ON"), "ON");
    EXPECT_FALSE(fs::exists(nested.parent_path()));
    ini.WriteString("REQUIRED", "Co", "Acme\r\nMinihelp=OFF\n[Evil]");
    ini.WriteString("REQUIRED", "Add1", "B");
    ini.save();
    EXPECT_EQ(readFile(nested), "[REQUIRED]\r\nCo=Acme  Minihelp=OFF [Evil]\r\nAdd1=B\r\n");
    EXPECT_EQ(IniFile(nested).ReadString("REQUIRED", "Minihelp", "ON"), "ON");
    EXPECT_EQ(fs::status(nested).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(IniFileTest, AFailedSaveNamesTheFileAndLeavesItAsItWas)
{
    // A regular file where the directory should be: nothing can be written.
    const fs::path blocker = m_dir / "blocker";
    writeFile(blocker, "x");
    const fs::path path = blocker / "Quillon32.Ini";
    IniFile ini(path);
    EXPECT_EQ(ini.state(), IniFile::State::Missing);
    ini.WriteString("REQUIRED", "Co", "A");
    try {
        ini.save();
        FAIL() << "the save should fail";
    } catch (const IniWriteError &error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + path.string());
    }
    EXPECT_EQ(readFile(blocker), "x");
}

// Only a missing file may be created. Whatever else is at the path reads as empty, promptly, and stays.
TEST_F(IniFileTest, WhatIsNotARegularFileIsNeverReadNorReplaced)
{
    // fifo: where a FIFO is made; linkTo: what a link at the path holds ("other" links back to it).
    struct Case { const char *name, *fifo, *linkTo; fs::file_type type; }; // type: what stays at the path
    const Case cases[] = {
        {"a FIFO", "Quillon32.Ini", nullptr, fs::file_type::fifo},
        {"a directory", nullptr, nullptr, fs::file_type::directory},
        {"a link to a FIFO", "pipe", "pipe", fs::file_type::symlink},
        {"a loop of links", nullptr, "other", fs::file_type::symlink},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const char *name : {"Quillon32.Ini", "pipe", "other"})
            fs::remove_all(m_dir / name);
        if (c.fifo) { ASSERT_EQ(mkfifo((m_dir / c.fifo).c_str(), 0644), 0); }
        if (c.linkTo)
            fs::create_symlink(c.linkTo, m_path);
        if (c.type == fs::file_type::directory)
            fs::create_directory(m_path);
        if (c.linkTo && std::string_view(c.linkTo) == "other")
            fs::create_symlink(m_path.filename(), m_dir / "other");
        alarm(10); // a read that blocks fails the test instead of hanging it
        IniFile ini(m_path);
        alarm(0);
        EXPECT_EQ(ini.state(), IniFile::State::Unreadable);
        EXPECT_EQ(ini.ReadString("REQUIRED", "Co", "Company Name"), "Company Name");
        ini.WriteString("REQUIRED", "Co", "New");
        EXPECT_THROW(ini.save(), IniWriteError);
        EXPECT_EQ(fs::symlink_status(m_path).type(), c.type);
        EXPECT_EQ(temporaries(m_dir), std::vector<std::string>{});
    }
}

TEST_F(IniFileTest, ASaveReplacesTheTargetOfALinkAndKeepsTheLink)
{
    // linkText is as stored in the link at m_path; target is the file it leads to, relative to m_dir.
    struct Case { const char *name; fs::path linkText, target; bool targetExists; };
    const Case cases[] = {
        {"relative link", "real.ini", "real.ini", true},
        {"link into another folder", "shared/office.ini", "shared/office.ini", true},
        {"chain of two links", "hop", "real.ini", true},
        {"link to a file not made yet", "shared/new.ini", "shared/new.ini", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "shared");
        if (c.linkText == "hop")
            fs::create_symlink("real.ini", m_dir / "hop");
        if (c.targetExists) {
            writeFile(m_dir / c.target, "; theirs\n[REQUIRED]\nCo=Old\n");
            fs::permissions(m_dir / c.target, fs::perms::owner_read | fs::perms::owner_write);
        }
        fs::create_symlink(c.linkText, m_path);
        IniFile ini(m_path);
        EXPECT_EQ(ini.ReadString("REQUIRED", "Co", "none"), c.targetExists ? "Old" : "none");
        ini.WriteString("REQUIRED", "Co", "New");
        ini.save();
        ASSERT_TRUE(fs::is_symlink(fs::symlink_status(m_path)));
        EXPECT_EQ(fs::read_symlink(m_path), c.linkText);
        EXPECT_EQ(readFile(m_dir / c.target),
                  c.targetExists ? "; theirs\n[REQUIRED]\nCo=New\n" : "[REQUIRED]\r\nCo=New\r\n");
        if (c.targetExists) {
            EXPECT_EQ(fs::status(m_dir / c.target).permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write);
        }
        EXPECT_EQ(temporaries(m_dir), std::vector<std::string>{});
        EXPECT_EQ(temporaries(m_dir / "shared"), std::vector<std::string>{});
    }
}

// Writes wait for the one save; a crash before its rename leaves the whole old file, and the next save works.
TEST_F(IniFileTest, ACrashBeforeTheRenameLeavesTheWholeOldFile)
{
    const std::string old = "[REQUIRED]\r\nCo=Old\r\nAdd1=Street\r\n";
    write(old);
    const auto before = fs::last_write_time(m_path);
    IniFile ini(m_path);
    ini.WriteString("REQUIRED", "Co", "New");
    ini.WriteString("REQUIRED", "Zip", "12345");
    EXPECT_EQ(read(), old) << "nothing reaches the file before save()";
    EXPECT_EQ(fs::last_write_time(m_path), before);
    IniFile::setBeforeReplaceHookForTesting([] { throw std::runtime_error("crash"); });
    EXPECT_THROW(ini.save(), std::runtime_error);
    EXPECT_EQ(read(), old);
    EXPECT_EQ(filesInDir(), 1u) << "the temporary file goes as the save unwinds";
    IniFile::setBeforeReplaceHookForTesting({});
    ini.save();
    EXPECT_EQ(read(), "[REQUIRED]\r\nCo=New\r\nAdd1=Street\r\nZip=12345\r\n");
}

TEST_F(IniFileTest, AProcessKilledInTheMiddleOfASaveLeavesAWholeFile)
{
    write("[REQUIRED]\r\nCo=Old\r\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        IniFile::setBeforeReplaceHookForTesting([] { ::kill(::getpid(), SIGKILL); });
        saveCo(std::string(1 << 20, 'N'));
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(read(), "[REQUIRED]\r\nCo=Old\r\n");
    saveCo("New"); // the next save succeeds, replaces the file whole and clears up
    EXPECT_EQ(read(), "[REQUIRED]\r\nCo=New\r\n");
    EXPECT_EQ(filesInDir(), 1u);
}

// A save removes what killed saves left behind, and nothing else: not a look-alike name,
// someone else's file, a link, or the file of a save still running.
TEST_F(IniFileTest, ASaveRemovesOnlyOurOwnLeftoverTemporaryFiles)
{
    struct Case { const char *name, *file; bool removed; };
    const Case cases[] = {
        {"a killed save's", ".Quillon32.Ini.aZ09xy.quillon-tmp", true}, {"", ".Quillon32.Ini.QQQQQQ.quillon-tmp", true},
        {"an earlier version's name, as a backup may have", ".Quillon32.Ini.aZ09xy", false},
        {"another file's, just now", ".Other.Ini.aZ09xy.quillon-tmp", false},
        {"another file's, long ago", ".Other.Ini.Old009.quillon-tmp", true},
        {"an earlier version's quote, just now", "Quillon32.Ini.part-1x2y3z", false},
        {"five letters", ".Quillon32.Ini.aZ09x.quillon-tmp", false}, {"seven letters", ".Quillon32.Ini.aZ09xyz", false},
        {"not a letter or digit", ".Quillon32.Ini.aZ-9xy.quillon-tmp", false},
        {"not hidden", "Quillon32.Ini.aZ09xy.quillon-tmp", false}, {"a backup", ".Quillon32.Ini.bak", false},
        {"a save still running", ".Quillon32.Ini.Locked.quillon-tmp", false},
        {"a link", ".Quillon32.Ini.Link01.quillon-tmp", false},
        {"someone else's", ".Quillon32.Ini.Theirs.quillon-tmp", false},
    };
    write("[REQUIRED]\r\nCo=Old\r\n");
    for (const Case &c : cases)
        if (std::string_view(c.file) != ".Quillon32.Ini.Link01.quillon-tmp")
            writeFile(m_dir / c.file, "partial");
    fs::create_symlink("Quillon32.Ini.aZ09xy.quillon-tmp", m_dir / ".Quillon32.Ini.Link01.quillon-tmp");
    const struct timespec longAgo[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (m_dir / ".Other.Ini.Old009.quillon-tmp").c_str(), longAgo, 0), 0);
    const int running = ::open((m_dir / ".Quillon32.Ini.Locked.quillon-tmp").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(running, LOCK_EX), 0);
    const bool asRoot = geteuid() == 0;
    giveToClerk(m_dir / ".Quillon32.Ini.Theirs.quillon-tmp");
    saveCo("New");
    ::close(running);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!asRoot && std::string(c.file) == ".Quillon32.Ini.Theirs.quillon-tmp")
            continue; // only root can give a file away
        EXPECT_EQ(fs::exists(fs::symlink_status(m_dir / c.file)), !c.removed);
    }
    EXPECT_EQ(readFile(m_dir / "Quillon32.Ini.aZ09xy.quillon-tmp"), "partial") << "the link's target untouched";
}

// What an ordinary user's save may replace. As root the driver drops to the clerk's id, so permissions bind in CI too.
TEST_F(IniFileTest, AnOrdinaryUserSavesOnlyWhatTheyMayWrite)
{
    using fs::perms;
    const perms rw = perms::owner_read | perms::owner_write;
    const perms r = perms::owner_read | perms::group_read | perms::others_read;
    const perms open = perms::owner_all | perms::group_read | perms::group_exec | perms::others_read | perms::others_exec;
    // link: the path is a link to store/settings.ini; byRoot: root saves the clerk's file (root only).
    struct Case { const char *name; perms fileMode, dirMode; bool link, byRoot, saved; };
    const Case cases[] = {
        {"unreadable file (000): defaults, refused", perms::none, open, false, false, false},
        {"read-only file in a writable folder (0444): refused", r, open, false, false, false},
        {"read-only folder: refused", rw | perms::group_read, r | perms::owner_exec, false, false, false},
        {"private file stays 0600", rw, perms::owner_all, false, false, true},
        {"0664 stays", rw | perms::group_read | perms::group_write | perms::others_read, open, false, false, true},
        {"link: target replaced, link kept", rw | perms::group_read, open, true, false, true},
        {"another user's file keeps its owner", rw | perms::group_read, open, false, true, true},
    };
    const std::string old = "; theirs\r\n[Other]\r\nCo=Not ours\r\n[REQUIRED]\r\nCo=Old Agency\r\n";
    const std::string saved = "; theirs\r\n[Other]\r\nCo=Not ours\r\n[REQUIRED]\r\nCo=New Agency\r\nAdd1=\r\n"
                              "Add2=\r\nCity=\r\nState=\r\nZip=\r\nPhone=\r\nFax=\r\nMinihelp=OFF\r\n";
    const bool asRoot = geteuid() == 0;
    fs::permissions(m_dir, open);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.byRoot && !asRoot)
            continue; // giving a file to another user needs root
        const fs::path office = m_dir / "office", path = office / "Quillon32.Ini";
        const fs::path file = c.link ? office / "store" / "settings.ini" : path;
        fs::create_directories(file.parent_path());
        writeFile(file, old);
        if (c.link)
            fs::create_symlink("store/settings.ini", path);
        for (const fs::path &p : {office, file.parent_path(), path, file})
            giveToClerk(p);
        fs::permissions(file, c.fileMode);
        fs::permissions(office, c.dirMode);

        const settingsdriver::Options clerk = settingsdriver::clerk(!c.byRoot);
        const auto read = settingsdriver::run({path.string()}, clerk);
        EXPECT_EQ(read.out.substr(0, read.out.find('\n')), c.fileMode == perms::none ? "Company Name" : "Old Agency");
        const auto run = settingsdriver::run({path.string(), "New Agency", "", "", "", "", "", "", "", "OFF"}, clerk);
        EXPECT_EQ(run.exitCode, c.saved ? 0 : 1);
        EXPECT_EQ(run.err, c.saved ? "" : "Unable to write to " + path.string() + "\n");

        fs::permissions(office, perms::owner_all);
        struct stat st{};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(fs::perms(st.st_mode & 07777), c.fileMode);
        EXPECT_EQ(st.st_uid, asRoot ? settingsdriver::kClerk : geteuid());
        EXPECT_EQ(st.st_gid, asRoot ? settingsdriver::kClerk : getegid());
        EXPECT_EQ(fs::is_symlink(fs::symlink_status(path)), c.link);
        fs::permissions(file, perms::owner_read, fs::perm_options::add);
        EXPECT_EQ(readFile(file), c.saved ? saved : old);
        EXPECT_EQ(temporaries(office), std::vector<std::string>{});
        fs::remove_all(office);
    }
}

TEST(DefaultSettingsPath, FollowsXdgConfigHome)
{
    const char *saved = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = saved ? saved : "", home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/srv/conf", 1);
    EXPECT_EQ(DefaultSettingsPath(), fs::path("/srv/conf/Quillon32.Ini"));
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/clerk", 1);
    EXPECT_EQ(DefaultSettingsPath(), fs::path("/home/clerk/.config/Quillon32.Ini"));
    // Without HOME, the account's home folder, never the working folder.
    unsetenv("HOME");
    EXPECT_EQ(DefaultSettingsPath(), fs::path(getpwuid(geteuid())->pw_dir) / ".config/Quillon32.Ini");
    if (saved)
        setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
}

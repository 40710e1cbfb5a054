#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Inifile.h"

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quillon-ini-XXXXXX";
        m_dir = mkdtemp(pattern);
        m_path = m_dir / "Quillon32.Ini";
    }
    void TearDown() override
    {
        IniFile::setBeforeReplaceHookForTesting({});
        fs::permissions(m_dir, fs::perms::owner_all);
        fs::remove_all(m_dir);
    }
    void write(const std::string &contents)
    {
        std::ofstream(m_path, std::ios::binary) << contents;
    }
    std::string read() const
    {
        std::ifstream in(m_path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t filesInDir() const
    {
        return std::size_t(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()));
    }

    fs::path m_dir;
    fs::path m_path;
};

const char kHandEdited[] =
    "; settings written by hand\r\n"
    "[Other]\r\n"
    "Co=Not ours\r\n"
    "\r\n"
    "[required]\r\n"
    "  co   =   Acme Insurance  \r\n"
    "; the address follows\r\n"
    "Add1=1 Main St\r\n"
    "\r\n"
    "[Tail]\r\n"
    "x=1\r\n";

} // namespace

TEST_F(IniFileTest, MissingFileGivesEveryDefault)
{
    const IniFile ini(m_path);
    EXPECT_EQ(ini.ReadString("REQUIRED", "Co", "Company Name"), "Company Name");
    EXPECT_EQ(ini.ReadString("REQUIRED", "Minihelp", "ON"), "ON");
    EXPECT_FALSE(fs::exists(m_path)) << "reading never creates the file";
}

TEST_F(IniFileTest, ReadsWhateverTheCaseAndTrimsValues)
{
    write(kHandEdited);
    const IniFile ini(m_path);
    struct Case
    {
        const char *name;
        const char *section;
        const char *key;
        const char *expected;
    };
    const Case cases[] = {
        {"section and key in other case, value trimmed", "REQUIRED", "Co", "Acme Insurance"},
        {"key after a comment line", "REQUIRED", "ADD1", "1 Main St"},
        {"same key in another section is separate", "Other", "Co", "Not ours"},
        {"missing key gives the default", "REQUIRED", "Zip", "default"},
        {"missing section gives the default", "Nowhere", "Co", "default"},
        {"a comment is not a key", "REQUIRED", "; the address follows", "default"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ini.ReadString(c.section, c.key, "default"), c.expected);
    }
}

TEST_F(IniFileTest, WritesChangeOnlyTheirOwnLine)
{
    write(kHandEdited);
    IniFile ini(m_path);
    ini.WriteString("REQUIRED", "Co", "Quillon Mutual");
    ini.WriteString("REQUIRED", "City", "Springfield"); // a new key closes the section
    ini.WriteString("Extra", "Minihelp", "OFF");         // a new section goes at the end
    EXPECT_EQ(read(),
              "; settings written by hand\r\n"
              "[Other]\r\n"
              "Co=Not ours\r\n"
              "\r\n"
              "[required]\r\n"
              "co=Quillon Mutual\r\n"
              "; the address follows\r\n"
              "Add1=1 Main St\r\n"
              "City=Springfield\r\n"
              "\r\n"
              "[Tail]\r\n"
              "x=1\r\n"
              "[Extra]\r\n"
              "Minihelp=OFF\r\n");
    EXPECT_EQ(IniFile(m_path).ReadString("required", "CITY", ""), "Springfield");
}

TEST_F(IniFileTest, FirstWriteCreatesTheFileAndItsDirectory)
{
    const fs::path nested = m_dir / "config" / "Quillon32.Ini";
    IniFile ini(nested);
    ini.WriteString("REQUIRED", "Co", "A");
    ini.WriteString("REQUIRED", "Add1", "B");
    std::ifstream in(nested, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "[REQUIRED]\r\nCo=A\r\nAdd1=B\r\n");
}

TEST_F(IniFileTest, KeepsUnixLineEndsAndALastLineWithoutOne)
{
    write("[REQUIRED]\nCo=A");
    IniFile ini(m_path);
    ini.WriteString("REQUIRED", "Zip", "12345");
    EXPECT_EQ(read(), "[REQUIRED]\nCo=A\nZip=12345\n");
}

TEST_F(IniFileTest, ALineBreakInAValueCannotPlantAnotherKey)
{
    IniFile ini(m_path);
    ini.WriteString("REQUIRED", "Co", "Acme\r\nMinihelp=OFF\n[Evil]");
    const IniFile reread(m_path);
    EXPECT_EQ(reread.ReadString("REQUIRED", "Co", ""), "Acme  Minihelp=OFF [Evil]");
    EXPECT_EQ(reread.ReadString("REQUIRED", "Minihelp", "ON"), "ON");
}

TEST_F(IniFileTest, AFailedWriteNamesTheFileAndLeavesItAsItWas)
{
    // A regular file where the directory should be: nothing can be written.
    const fs::path blocker = m_dir / "blocker";
    std::ofstream(blocker) << "x";
    const fs::path path = blocker / "Quillon32.Ini";
    IniFile ini(path);
    try {
        ini.WriteString("REQUIRED", "Co", "A");
        FAIL() << "the write should fail";
    } catch (const IniWriteError &error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + path.string());
    }
}

TEST_F(IniFileTest, AReadOnlyDirectoryFailsTheWrite)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    write("[REQUIRED]\r\nCo=Old\r\n");
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
    IniFile ini(m_path);
    EXPECT_THROW(ini.WriteString("REQUIRED", "Co", "New"), IniWriteError);
    EXPECT_EQ(read(), "[REQUIRED]\r\nCo=Old\r\n");
}

TEST_F(IniFileTest, ACrashBeforeTheRenameLeavesTheWholeOldFile)
{
    write("[REQUIRED]\r\nCo=Old\r\nAdd1=Street\r\n");
    IniFile::setBeforeReplaceHookForTesting([] { throw std::runtime_error("crash"); });
    IniFile ini(m_path);
    EXPECT_THROW(ini.WriteString("REQUIRED", "Co", "New"), std::runtime_error);
    EXPECT_EQ(read(), "[REQUIRED]\r\nCo=Old\r\nAdd1=Street\r\n");
}

TEST_F(IniFileTest, AProcessKilledInTheMiddleOfASaveLeavesAWholeFile)
{
    write("[REQUIRED]\r\nCo=Old\r\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        IniFile::setBeforeReplaceHookForTesting([] { ::kill(::getpid(), SIGKILL); });
        IniFile ini(m_path);
        ini.WriteString("REQUIRED", "Co", std::string(1 << 20, 'N'));
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(read(), "[REQUIRED]\r\nCo=Old\r\n");
    // The next save succeeds and replaces the file whole.
    IniFile ini(m_path);
    ini.WriteString("REQUIRED", "Co", "New");
    EXPECT_EQ(read(), "[REQUIRED]\r\nCo=New\r\n");
}

TEST_F(IniFileTest, KeepsTheFilesPermissions)
{
    write("[REQUIRED]\r\nCo=Old\r\n");
    fs::permissions(m_path, fs::perms::owner_read | fs::perms::owner_write);
    IniFile ini(m_path);
    ini.WriteString("REQUIRED", "Co", "New");
    EXPECT_EQ(fs::status(m_path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(filesInDir(), 1u) << "no temporary file left behind";
}

TEST(DefaultSettingsPath, FollowsXdgConfigHome)
{
    const char *saved = std::getenv("XDG_CONFIG_HOME");
    const std::string restore = saved ? saved : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/srv/conf", 1);
    EXPECT_EQ(DefaultSettingsPath(), fs::path("/srv/conf/Quillon32.Ini"));
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/clerk", 1);
    EXPECT_EQ(DefaultSettingsPath(), fs::path("/home/clerk/.config/Quillon32.Ini"));
    if (saved)
        setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
}

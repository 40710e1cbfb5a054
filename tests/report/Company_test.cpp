#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "Company.h"
#include "Inifile.h"
#include "../support/Settingsdriver.h"
#include "../support/Testsupport.h"

using namespace quillon;

namespace fs = std::filesystem;

namespace {

// Every field, Co to Minihelp and then the city line.
QStringList fields(const CompanyDetails &d)
{
    return {d.Co, d.Add1, d.Add2, d.City, d.State, d.Zip, d.Phone, d.Fax, d.Minihelp, d.CityLine};
}

class CompanyDetailsTest : public ::testing::Test
{
protected:
    CompanyDetails read(const std::string &contents)
    {
        writeFile(m_path, contents);
        return ReadCompanyDetails(IniFile(m_path));
    }

    const TempFolder m_folder{"quillon-company"};
    const fs::path m_dir = m_folder.path();
    const fs::path m_path = m_dir / "Quillon32.Ini";
};

} // namespace

// Only a missing file is expected, but nothing at the path may keep the letterhead or start-up from going on.
TEST_F(CompanyDetailsTest, MissingOrUnreadableFileGivesTheDefaults)
{
    const struct { const char *name; void (*make)(const fs::path &path); } cases[] = {
        {"no file", [](const fs::path &) {}},
        {"a folder", [](const fs::path &p) { fs::create_directory(p); }},
        {"a FIFO no one writes to", [](const fs::path &p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_path);
        c.make(m_path);
        alarm(10); // a blocked read fails the test rather than hanging it
        const CompanyDetails d = ReadCompanyDetails(IniFile(m_path));
        alarm(0);
        EXPECT_EQ(fields(d), QStringList({"Company Name", "", "", "", "", "", "", "", "ON", ""}));
    }
}

TEST_F(CompanyDetailsTest, ReadsEveryKeyOfSectionRequired)
{
    const CompanyDetails d = read("[OTHER]\nCo=Not This One\n"
                                  "[REQUIRED]\nCo=Harbour Office\nAdd1=1 Quay Street\nAdd2=Floor 2\n"
                                  "City=Portland\nState=ME\nZip=04101\nPhone=(207) 555-0100\n"
                                  "Fax=(   ) 555-0199\nMinihelp=off\n");
    // The fax mask's blanks are part of the text; Minihelp is kept as written, for the window to judge.
    EXPECT_EQ(fields(d), QStringList({"Harbour Office", "1 Quay Street", "Floor 2", "Portland", "ME", "04101", "(207) 555-0100",
                                      "(   ) 555-0199", "off", "Portland,ME  04101"}));
    // A section without some keys falls back key by key.
    EXPECT_EQ(fields(read("[REQUIRED]\nCity=Bangor\n")),
              QStringList({"Company Name", "", "", "Bangor", "", "", "", "", "ON", "Bangor,  "}));
}

TEST(ComposeCityLine, JoinsWithACommaAndTwoSpacesUnlessAllEmpty)
{
    const struct { const char *name, *city, *state, *zip, *line; } cases[] = {
        {"all three", "Portland", "ME", "04101", "Portland,ME  04101"},
        {"all empty prints no stray comma", "", "", "", ""},
        {"zip only", "", "", "04101", ",  04101"},
        {"state only", "", "ME", "", ",ME  "},
        {"spaces kept as typed", " Portland ", " ME", "", " Portland , ME  "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ComposeCityLine({{}, {}, {}, c.city, c.state, c.zip, {}, {}, {}, {}}), c.line); // City, State, Zip
    }
}

TEST(CompanyText, NotUtf8IsShownAsLatin1)
{
    const struct { const char *name; std::string file; QString co; } cases[] = {
        {"UTF-8", "[REQUIRED]\nCo=Caf\xC3\xA9 Assurances\n", QStringLiteral("Caf\u00E9 Assurances")},
        {"Latin-1", "[REQUIRED]\nCo=Caf\xE9 Assurances\n", QStringLiteral("Caf\u00E9 Assurances")},
        {"UTF-8 and Latin-1 mixed is Latin-1 throughout", "[REQUIRED]\nCo=\xC3\xA9\xE9\n", QStringLiteral("\u00C3\u00A9\u00E9")},
        {"cut-off UTF-8 sequence", "[REQUIRED]\nCo=Caf\xC3\n", QStringLiteral("Caf\u00C3")},
        {"section behind a byte-order mark", "\xEF\xBB\xBF[REQUIRED]\r\nCo=Real Agency\r\n", QStringLiteral("Real Agency")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadCompanyDetails(IniFile::fromText(c.file)).Co, c.co);
    }
}

namespace {

const char kOffice[] = "\xEF\xBB\xBF; office settings, kept by hand\r\n[Other]\r\nCo=Not ours\r\n\r\n"
                       "[REQUIRED]\r\nCo = Caf\xE9 Assurances \r\nAdd1=1 Quay Street\r\nAdd2=Quai du Caf\xE9\r\n"
                       "City=Portland\r\nState=ME\r\nZip=04101\r\nPhone=555-1234\r\nFax=+1 212 555 0100\r\n"
                       "Minihelp=ON\r\n; end of ours\r\n\r\n[Tail]\r\nx=\xFF\r\n";

} // namespace

// What the clerk did not change is written back byte for byte; a change is UTF-8 on its own line only.
TEST(CompanyText, ASaveChangesTheBytesOfChangedValuesOnly)
{
    // `now`: the file when saved, if changed since it was read.
    struct Case { const char *name; std::string before; void (*edit)(CompanyDetails &); std::string after, now = {}; };
    const std::string office = kOffice;
    auto replaced = [&office](const std::string &from, const std::string &to) {
        std::string s = office;
        return s.replace(s.find(from), from.size(), to);
    };
    const Case cases[] = {
        {"nothing changed", office, [](CompanyDetails &) {}, office},
        {"Latin-1 name changed, written as UTF-8", office,
         [](CompanyDetails &d) { d.Co = QStringLiteral("Caf\u00E9 Neuf"); },
         replaced("Co = Caf\xE9 Assurances \r\n", "Co=Caf\xC3\xA9 Neuf\r\n")},
        {"only the city changed", office, [](CompanyDetails &d) { d.City = QStringLiteral("Bangor"); },
         replaced("City=Portland", "City=Bangor")},
        {"mini-help off", office, [](CompanyDetails &d) { d.Minihelp = QStringLiteral("OFF"); },
         replaced("Minihelp=ON", "Minihelp=OFF")},
        {"missing keys added in order, defaults included", "[REQUIRED]\nCity=Bangor\n", [](CompanyDetails &) {},
         "[REQUIRED]\nCity=Bangor\nCo=Company Name\nAdd1=\nAdd2=\nState=\nZip=\nPhone=\nFax=\nMinihelp=ON\n"},
        {"a hand edit made since reading survives", office, [](CompanyDetails &d) { d.Zip = QStringLiteral("04102"); },
         replaced("Zip=04101\r\nPhone=555-1234\r\nFax=+1", "Zip=04102\r\nPhone=555-1234\r\nFax=+44"),
         replaced("Fax=+1", "Fax=+44")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CompanyDetails opened = ReadCompanyDetails(IniFile::fromText(c.before));
        CompanyDetails details = opened;
        c.edit(details);
        IniFile ini = IniFile::fromText(c.now.empty() ? c.before : c.now);
        WriteCompanyDetails(ini, MergeCompanyDetails(opened, details, ini));
        EXPECT_EQ(ini.text(), c.after);
    }
}

// Every open, write, flush, carried attribute, close and rename of a save fails in turn, in a process of its
// own: each save succeeds whole or is reported and leaves every byte of the old file, with no temporary file
// behind.
TEST_F(CompanyDetailsTest, AFailureAnywhereInASaveLeavesTheOldFileWhole)
{
    // The nine values the driver saves over kOffice, and the file it makes. Add2 is the same text
    // in UTF-8 and keeps the file's Latin-1 bytes.
    const std::vector<std::string> args = {m_path.string(), "New Agency", "1 Quay Street", "Quai du Caf\xC3\xA9", "Bangor",
                                           "ME", "04401", "555-1234", "(212) 555-0100", "OFF"};
    std::string expectedNew = kOffice;
    for (const auto &[from, to] : {std::pair<std::string, std::string>{"Co = Caf\xE9 Assurances ", "Co=New Agency"},
                                   {"City=Portland", "City=Bangor"}, {"Zip=04101", "Zip=04401"},
                                   {"Fax=+1 212 555 0100", "Fax=(212) 555-0100"}, {"Minihelp=ON", "Minihelp=OFF"}})
        expectedNew.replace(expectedNew.find(from), from.size(), to);
    const std::string refused = "Unable to write to " + m_path.string() + "\n";
    for (const char *op : {"open", "write", "fsync", "fsetxattr", "close", "rename"}) {
        int failures = 0, successes = 0;
        for (int n = 1; n <= 6; ++n) {
            SCOPED_TRACE(std::string(op) + " number " + std::to_string(n));
            writeFile(m_path, kOffice);
            ASSERT_EQ(::setxattr(m_path.c_str(), "user.origin", "clerk", 5, 0), 0) << "an attribute to carry";
            const auto run = settingsdriver::run(args, {.env = settingsdriver::faultEnv(op, n, m_dir.string())});
            if (run.exitCode == 0) {
                ++successes;
                EXPECT_EQ(readFile(m_path), expectedNew);
            } else {
                ++failures;
                EXPECT_EQ(run.exitCode, 1);
                EXPECT_EQ(run.err, refused);
                EXPECT_EQ(readFile(m_path), kOffice);
            }
            EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
        }
        SCOPED_TRACE(op);
        EXPECT_GT(failures, 0) << "the fault never reached the save";
        EXPECT_GT(successes, 0) << "the save never got past the fault";
    }
}

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "Company.h"
#include "Inifile.h"

namespace fs = std::filesystem;

void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

class CompanyDetailsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quillon-company-XXXXXX";
        m_dir = mkdtemp(pattern);
        m_path = m_dir / "Quillon32.Ini";
    }
    void TearDown() override { fs::remove_all(m_dir); }
    CompanyDetails read(const std::string &contents)
    {
        std::ofstream(m_path, std::ios::binary) << contents;
        return ReadCompanyDetails(IniFile(m_path));
    }

    fs::path m_dir;
    fs::path m_path;
};

} // namespace

TEST_F(CompanyDetailsTest, MissingFileGivesTheDefaults)
{
    const CompanyDetails d = ReadCompanyDetails(IniFile(m_path));
    EXPECT_EQ(d.Co, "Company Name");
    EXPECT_EQ(d.Minihelp, "ON");
    for (const QString *empty : {&d.Add1, &d.Add2, &d.City, &d.State, &d.Zip, &d.Phone, &d.Fax})
        EXPECT_TRUE(empty->isEmpty());
    EXPECT_EQ(d.CityLine, ",  ");
}

TEST_F(CompanyDetailsTest, ReadsEveryKeyOfSectionRequired)
{
    const CompanyDetails d = read("[OTHER]\nCo=Not This One\n"
                                  "[REQUIRED]\nCo=Harbour Office\nAdd1=1 Quay Street\nAdd2=Floor 2\n"
                                  "City=Portland\nState=ME\nZip=04101\nPhone=(207) 555-0100\n"
                                  "Fax=(   ) 555-0199\nMinihelp=off\n");
    EXPECT_EQ(d.Co, "Harbour Office");
    EXPECT_EQ(d.Add1, "1 Quay Street");
    EXPECT_EQ(d.Add2, "Floor 2");
    EXPECT_EQ(d.City, "Portland");
    EXPECT_EQ(d.State, "ME");
    EXPECT_EQ(d.Zip, "04101");
    EXPECT_EQ(d.Phone, "(207) 555-0100");
    EXPECT_EQ(d.Fax, "(   ) 555-0199") << "the mask's blanks are part of the text";
    EXPECT_EQ(d.Minihelp, "off") << "kept as written; only the window decides what it means";
    EXPECT_EQ(d.CityLine, "Portland,ME  04101");
}

TEST_F(CompanyDetailsTest, SectionWithoutSomeKeysFallsBackPerKey)
{
    const CompanyDetails d = read("[REQUIRED]\nCity=Bangor\n");
    EXPECT_EQ(d.Co, "Company Name");
    EXPECT_EQ(d.Minihelp, "ON");
    EXPECT_EQ(d.CityLine, "Bangor,  ");
}

TEST(ComposeCityLine, JoinsWithACommaAndTwoSpaces)
{
    struct Case
    {
        const char *name;
        const char *city, *state, *zip;
        const char *line;
    };
    const Case cases[] = {
        {"all three", "Portland", "ME", "04101", "Portland,ME  04101"},
        {"all empty", "", "", "", ",  "},
        {"zip only", "", "", "04101", ",  04101"},
        {"spaces kept as typed", " Portland ", " ME", "", " Portland , ME  "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CompanyDetails d;
        d.City = c.city;
        d.State = c.state;
        d.Zip = c.zip;
        EXPECT_EQ(ComposeCityLine(d), c.line);
    }
}

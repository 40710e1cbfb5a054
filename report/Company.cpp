#include "Company.h"

#include <QStringDecoder>

#include "Inifile.h"

using namespace quillon;

namespace {

struct Key
{
    const char *name;
    QString CompanyDetails::*field;
    const char *fallback;
};

// Read in this order: the settings file is shared with the window program,
// which writes the keys in the same order.
const Key kKeys[] = {
    {"Co", &CompanyDetails::Co, "Company Name"},
    {"Add1", &CompanyDetails::Add1, ""},
    {"Add2", &CompanyDetails::Add2, ""},
    {"City", &CompanyDetails::City, ""},
    {"State", &CompanyDetails::State, ""},
    {"Zip", &CompanyDetails::Zip, ""},
    {"Phone", &CompanyDetails::Phone, ""},
    {"Fax", &CompanyDetails::Fax, ""},
    {"Minihelp", &CompanyDetails::Minihelp, "ON"},
};

constexpr const char *kSection = "REQUIRED";

// A hand-edited file may hold text in a single-byte code page. Latin-1 maps
// each byte to one character, so such text shows sensibly and nothing turns
// into a replacement character.
QString decoded(const std::string &bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    const QString text = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return utf8.hasError() ? QString::fromLatin1(bytes.data(), qsizetype(bytes.size())) : text;
}

} // namespace

CompanyDetails ReadCompanyDetails(const IniFile &ini)
{
    CompanyDetails details;
    for (const Key &key : kKeys)
        details.*key.field = decoded(ini.ReadString(kSection, key.name, key.fallback));
    details.CityLine = ComposeCityLine(details);
    return details;
}

void WriteCompanyDetails(IniFile &ini, const CompanyDetails &details)
{
    for (const Key &key : kKeys) {
        const QString &value = details.*key.field;
        // Compared as read, so an unchanged Latin-1 value keeps its bytes
        // rather than coming back as UTF-8. A missing key reads as empty
        // here and is written all the same: every save writes all nine.
        const std::string stored = ini.ReadString(kSection, key.name, "");
        ini.WriteString(kSection, key.name, decoded(stored) == value ? stored : value.toStdString());
    }
}

CompanyDetails MergeCompanyDetails(const CompanyDetails &opened, const CompanyDetails &edited, const IniFile &current)
{
    // A value ends at its line's end, so no key the file holds reads as a
    // line break: that stands for a key the file lacks.
    constexpr const char *kAbsent = "\n";
    CompanyDetails merged;
    for (const Key &key : kKeys) {
        const QString &mine = edited.*key.field;
        const std::string held = current.ReadString(kSection, key.name, kAbsent);
        if (mine != opened.*key.field || held == kAbsent)
            merged.*key.field = mine;
        else
            merged.*key.field = decoded(held);
    }
    merged.CityLine = ComposeCityLine(merged);
    return merged;
}

QString ComposeCityLine(const CompanyDetails &details)
{
    // With no part at all the separators alone would print as a stray comma
    // under the address. A line with any part keeps both separators exactly,
    // as every quote has printed it.
    if (details.City.isEmpty() && details.State.isEmpty() && details.Zip.isEmpty())
        return QString();
    return details.City + u',' + details.State + QStringLiteral("  ") + details.Zip;
}

TCompanyInfo CompanyInfo;
RuleSet OfficeRules;
QString OfficeRulesError;

namespace {

// A settings file that was there but could not be read at start-up is not
// saved over for the rest of the run, even once it can be read: the window
// shows the defaults, not the details the file holds, and saving those
// would replace them.
bool settingsUnreadableAtStart = false;

} // namespace

void LoadCompanyInfo()
{
    const IniFile ini(DefaultSettingsPath());
    settingsUnreadableAtStart = ini.state() == IniFile::State::Unreadable;
    CompanyInfo = ReadCompanyDetails(ini);
    RuleRead<RuleSet> rules = ReadRuleSettings(ini);
    OfficeRules = rules.value ? std::move(*rules.value) : RuleSet{};
    OfficeRulesError = QString::fromUtf8(rules.error.data(), qsizetype(rules.error.size()));
}

void SaveOfficeRules(const RuleSet &rules)
{
    // Read again just before writing, so whatever the file holds now,
    // the company details included, is kept as it is.
    IniFile ini(DefaultSettingsPath());
    if (settingsUnreadableAtStart)
        throw UnableToWrite(ini.path());
    const std::string before = ini.text();
    WriteRuleSettings(ini, rules);
    // The built-in rules chosen where none were ever stored: no file is
    // made, and none is rewritten, for nothing.
    if (ini.text() != before)
        ini.save();
    OfficeRules = rules;
    OfficeRulesError.clear();
}

void SaveCompanyInfo(const TCompanyInfo &opened, const TCompanyInfo &edited)
{
    // All nine keys in one replacement of the file. The file is read again
    // so that whatever else it holds now is kept, and so are the values
    // other windows or a hand edit gave the keys the clerk left alone.
    IniFile ini(DefaultSettingsPath());
    if (settingsUnreadableAtStart)
        throw UnableToWrite(ini.path());
    WriteCompanyDetails(ini, MergeCompanyDetails(opened, edited, ini));
    ini.save();
    // Read back from the text just written, not taken from the edits: the
    // letterhead then prints what the file holds, merged values and trimmed
    // spaces included. After "Unable to write to <file>" the record is left
    // as it was, still what the file held when last read.
    CompanyInfo = ReadCompanyDetails(ini);
}

TCompanyInfo CurrentCompanyInfo()
{
    // The window shows the defaults for a file unreadable at start-up, and
    // nothing can be saved over it; the dialog shows the same.
    if (settingsUnreadableAtStart)
        return CompanyInfo;
    const IniFile ini(DefaultSettingsPath());
    return ini.state() == IniFile::State::Unreadable ? CompanyInfo : ReadCompanyDetails(ini);
}

void ComposeCityLine()
{
    CompanyInfo.CityLine = ComposeCityLine(CompanyInfo);
}

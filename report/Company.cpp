#include "Company.h"

#include "Inifile.h"

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

} // namespace

CompanyDetails ReadCompanyDetails(const IniFile &ini)
{
    CompanyDetails details;
    for (const Key &key : kKeys)
        details.*key.field = QString::fromStdString(ini.ReadString(kSection, key.name, key.fallback));
    details.CityLine = ComposeCityLine(details);
    return details;
}

QString ComposeCityLine(const CompanyDetails &details)
{
    return details.City + u',' + details.State + QStringLiteral("  ") + details.Zip;
}

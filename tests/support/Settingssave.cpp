// Saves company details the way the window program does, in a process of
// its own, so tests can preload a shim that fails one file operation, drop
// privileges, or kill it part-way through a save.
//
//   quillon_settings_save FILE                        print the nine values read
//   quillon_settings_save FILE Co Add1 ... Minihelp   save them, one replacement
//
// Exits 1 with the error on stderr when the save is refused.

#include <cstdio>

#include "Company.h"
#include "Inifile.h"

using namespace quillon;

namespace {

QString CompanyDetails::*const kFields[] = {
    &CompanyDetails::Co,    &CompanyDetails::Add1,  &CompanyDetails::Add2,
    &CompanyDetails::City,  &CompanyDetails::State, &CompanyDetails::Zip,
    &CompanyDetails::Phone, &CompanyDetails::Fax,   &CompanyDetails::Minihelp,
};
constexpr int kFieldCount = int(std::size(kFields));

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 2 + kFieldCount) {
        std::fprintf(stderr, "usage: %s FILE [Co Add1 Add2 City State Zip Phone Fax Minihelp]\n", argv[0]);
        return 2;
    }
    IniFile ini(argv[1]);
    CompanyDetails details = ReadCompanyDetails(ini);
    if (argc == 2) {
        for (const auto field : kFields)
            std::printf("%s\n", (details.*field).toUtf8().constData());
        return 0;
    }
    for (int i = 0; i < kFieldCount; ++i)
        details.*kFields[i] = QString::fromUtf8(argv[2 + i]);
    try {
        WriteCompanyDetails(ini, details);
        ini.save();
    } catch (const IniWriteError &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

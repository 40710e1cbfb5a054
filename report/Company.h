#pragma once

#include <QString>

#include "Rules.h"

namespace quillon {
class IniFile;
}

// The company details printed at the head of every quote, as the settings
// file holds them. CityLine is never stored: it is composed from City, State
// and Zip whenever the record is read.
struct CompanyDetails
{
    QString Co;
    QString Add1;
    QString Add2;
    QString City;
    QString State;
    QString Zip;
    QString Phone;
    QString Fax;
    QString Minihelp;
    QString CityLine;
};

// Reads section REQUIRED, keys Co to Minihelp in that order. A missing file,
// section or key gives its default ("Company Name" for Co, "ON" for
// Minihelp, empty text otherwise) and is not reported; so does a file that
// could not be read. A value that is not UTF-8 is taken as Latin-1, so every
// byte shows as a character. Composes CityLine.
CompanyDetails ReadCompanyDetails(const quillon::IniFile &ini);

// Sets the nine keys of section REQUIRED in `ini`, in the order above, for
// one IniFile::save(). A value that reads the same as the file's keeps the
// file's bytes, whatever their encoding; a changed value is written as UTF-8.
void WriteCompanyDetails(quillon::IniFile &ini, const CompanyDetails &details);

// The details a save from the company dialog writes: each key the clerk
// changed (`edited` differs from `opened`, what the dialog showed when it
// opened) takes the edited value; every other key takes what `current`, the
// file as it is now, holds, so a change another window or a hand edit made
// since the dialog opened survives; and where the file has no such key, the
// value the dialog opened with. Composes CityLine.
CompanyDetails MergeCompanyDetails(const CompanyDetails &opened, const CompanyDetails &edited, const quillon::IniFile &current);

// City, a comma, State, two spaces, Zip; nothing trimmed, so a Zip alone
// gives ",  04101". Three empty parts give an empty line.
QString ComposeCityLine(const CompanyDetails &details);

// The company details and the mini-help preference of the settings file,
// held for the whole run. Only the company information dialog changes it.
using TCompanyInfo = CompanyDetails;

extern TCompanyInfo CompanyInfo;

// The office's short-rate rule and minimum earned premium, section [RULES]
// of the settings file (Rules.h), read with the company details and held for
// the whole run; only the office rules dialog changes them. Fees and an
// expiration date belong to one policy and are never among them.
extern quillon::RuleSet OfficeRules;
// Why the file's rules were refused when read (a table file gone or broken
// since it was chosen), or empty; the built-in rules are then in force.
extern QString OfficeRulesError;

// Writes `rules` into section [RULES] of the settings file in one
// replacement of it, every other byte kept, and then holds them in
// OfficeRules. A file that would not change is not written. Throws
// IniWriteError, leaving OfficeRules and the file as they were.
void SaveOfficeRules(const quillon::RuleSet &rules);

// Fill the record and OfficeRules from the settings file (defaults for
// anything missing or unreadable); save the details the company dialog edited, all nine keys
// merged as MergeCompanyDetails says, in one replacement of the file, and
// then take into the record what the file holds (it throws IniWriteError
// and leaves the record as it was otherwise); and derive the city line.
void LoadCompanyInfo();
void SaveCompanyInfo(const TCompanyInfo &opened, const TCompanyInfo &edited);
void ComposeCityLine();

// The details as the settings file holds them now, for the company dialog
// to open with: the defaults when there is no file, and the record when the
// file cannot be read now or could not be read at start-up.
TCompanyInfo CurrentCompanyInfo();

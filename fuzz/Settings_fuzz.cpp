// Feeds arbitrary bytes to the settings-file reader and writer. The input is
// the file, then up to nine values for our keys, split at NUL bytes.
// Nothing may crash; the values set read back as set; every line that is
// not one of our keys in its section comes through byte for byte and in
// its place; and a record read and written back as it was changes no byte,
// only adds the keys that were missing.

#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "Company.h"
#include "Inifile.h"

using namespace quillon;

namespace {

constexpr std::array<std::string_view, 9> kKeys = {"Co", "Add1", "Add2", "City", "State", "Zip", "Phone", "Fax",
                                                   "Minihelp"};
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view stripBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// What a value written through the writer reads back as: one line, its
// outer blanks gone.
std::string readBackForm(std::string_view value)
{
    std::string v(value);
    std::replace_if(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return std::string(stripBlanks(v));
}

// Lines with their line ends, the byte-order mark set aside.
std::vector<std::string_view> lines(std::string_view s)
{
    if (s.starts_with(kByteOrderMark))
        s.remove_prefix(kByteOrderMark.size());
    std::vector<std::string_view> out;
    while (!s.empty()) {
        const std::size_t nl = s.find('\n');
        const std::size_t size = nl == std::string_view::npos ? s.size() : nl + 1;
        out.push_back(s.substr(0, size));
        s.remove_prefix(size);
    }
    return out;
}

std::string_view withoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

// A line that may be one of our entries: one of our keys before its first '='.
bool looksLikeOurs(std::string_view line)
{
    const std::size_t eq = line.find('=');
    return eq != std::string_view::npos && std::any_of(kKeys.begin(), kKeys.end(), [&](std::string_view key) {
               return equalNoCase(stripBlanks(line.substr(0, eq)), key);
           });
}

// A line the writer made: a key of ours, '=', the value set for that key.
bool writtenByUs(std::string_view line, const std::array<std::string, 9> &written)
{
    const std::string_view text = withoutLineEnd(line);
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        const std::size_t eq = text.find('=');
        if (eq != std::string_view::npos && equalNoCase(text.substr(0, eq), kKeys[i])
            && text.substr(eq + 1) == written[i])
            return true;
    }
    return text == "[REQUIRED]";
}

bool sameLine(std::string_view before, std::string_view after, bool lastBefore)
{
    // The file's last line gains a line end when something follows it.
    return after == before
        || (lastBefore && !before.ends_with('\n')
            && (after == std::string(before) + "\n" || after == std::string(before) + "\r\n"));
}

// Every line of `before` is in `after`, in order and byte for byte, except
// lines of ours that were rewritten; every other line of `after` is ours.
void checkOnlyOursChanged(std::string_view before, std::string_view after, const std::array<std::string, 9> &written,
                          bool rewritesAllowed)
{
    check(before.starts_with(kByteOrderMark) == after.starts_with(kByteOrderMark));
    const auto old = lines(before);
    const auto now = lines(after);
    std::size_t i = 0, j = 0;
    while (i < old.size() || j < now.size()) {
        const bool bothLeft = i < old.size() && j < now.size();
        if (bothLeft && sameLine(old[i], now[j], i + 1 == old.size())) {
            ++i, ++j;
        } else if (bothLeft && rewritesAllowed && looksLikeOurs(old[i]) && writtenByUs(now[j], written)) {
            ++i, ++j;
        } else {
            check(j < now.size() && writtenByUs(now[j], written));
            ++j;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t fileEnd = std::min(input.find('\0'), input.size());
    const std::string file(input.substr(0, fileEnd));
    std::array<std::string, 9> values;
    for (std::size_t at = fileEnd + 1, i = 0; at <= input.size() && i < values.size(); ++i) {
        const std::size_t end = std::min(input.find('\0', at), input.size());
        values[i] = std::string(input.substr(at, end - at));
        at = end + 1;
    }

    // The record as read, written back: no byte of a value changes.
    IniFile same = IniFile::fromText(file);
    const CompanyDetails details = ReadCompanyDetails(same);
    WriteCompanyDetails(same, details);
    std::array<std::string, 9> asRead;
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        asRead[i] = same.ReadString("REQUIRED", kKeys[i], "");
    checkOnlyOursChanged(file, same.text(), asRead, false);
    const CompanyDetails reread = ReadCompanyDetails(IniFile::fromText(same.text()));
    for (const auto field : {&CompanyDetails::Co, &CompanyDetails::Add1, &CompanyDetails::Add2, &CompanyDetails::City,
                             &CompanyDetails::State, &CompanyDetails::Zip, &CompanyDetails::Phone,
                             &CompanyDetails::Fax, &CompanyDetails::Minihelp, &CompanyDetails::CityLine})
        check(reread.*field == details.*field);

    // New values: each reads back as set, and nothing else moves.
    IniFile edited = IniFile::fromText(file);
    std::array<std::string, 9> expected;
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        edited.WriteString("REQUIRED", kKeys[i], values[i]);
        expected[i] = readBackForm(values[i]);
    }
    const IniFile parsed = IniFile::fromText(edited.text());
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        const std::string got = parsed.ReadString("REQUIRED", kKeys[i], "\n");
        // A value equal to the stored one leaves its line as the file had it.
        check(got == expected[i] || got == values[i]);
    }
    std::array<std::string, 9> written;
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        written[i] = values[i];
        std::replace_if(written[i].begin(), written[i].end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    }
    checkOnlyOursChanged(file, edited.text(), written, true);
    return 0;
}

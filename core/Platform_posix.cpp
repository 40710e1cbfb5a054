#include "Platform.h"

#include "Inifile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <pwd.h>
#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace fs = std::filesystem;

namespace quillon::platform {

namespace {

// A locale's texts come in its own character set (ISO-8859-1 under fr_FR,
// KOI8-R, EUC-JP); the program shows and writes UTF-8 only, so they are
// converted once, as the locale is read. Nothing where they cannot be.
std::string utf8(locale_t locale, std::string text)
{
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return text;
    const char *codeset = nl_langinfo_l(CODESET, locale);
    if (!codeset || std::strcmp(codeset, "UTF-8") == 0)
        return text;
    return CharsetToUtf8(text, codeset).value_or(std::string());
}

std::string info(locale_t locale, nl_item item)
{
    const char *value = nl_langinfo_l(item, locale);
    return utf8(locale, value ? value : "");
}

// localeconv's grouping ("\3\2": a three, then twos) as digit group sizes.
// CHAR_MAX (glibc writes -1) ends the grouping: first, for a locale that
// does not group; later, for digits left ungrouped beyond the groups.
std::vector<int> groupSizes(locale_t locale)
{
    // localeconv answers for the thread's locale.
    const locale_t previous = uselocale(locale);
    const std::string grouping = localeconv()->grouping;
    uselocale(previous);
    std::vector<int> sizes;
    for (const char c : grouping) {
        const int size = static_cast<unsigned char>(c);
        if (size >= CHAR_MAX) {
            if (!sizes.empty())
                sizes.push_back(0);
            break;
        }
        sizes.push_back(size);
    }
    return sizes;
}

// Reads to the end or to `most` bytes: 0, or the errno of the failed read.
int readAtMost(int fd, std::uint64_t most, std::string &out)
{
    char buffer[65536];
    while (out.size() < most) {
        const ssize_t n = ::read(fd, buffer, std::size_t(std::min<std::uint64_t>(sizeof buffer, most - out.size())));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            break;
        out.append(buffer, std::size_t(n));
    }
    return 0;
}

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Directory;
    if (S_ISFIFO(mode))
        return FileKind::Fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::Device;
    return FileKind::Other;
}

// `format` of a date through the locale.
std::string timeText(locale_t locale, const char *format, int year, int month, int day)
{
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    char text[256];
    const std::size_t length = strftime_l(text, sizeof text, format, &date, locale);
    return utf8(locale, std::string(text, length));
}

// The era of a short date that writes one (%Ey), where a single era with a
// fixed offset covers every year from 100 to 9999 (the Buddhist era).
// A calendar of several eras (Japanese, Minguo) is left without one, and
// its years read as the C library writes them without an era.
void readEra(locale_t locale, DateWords &words)
{
    std::optional<int> offset;
    std::string name;
    for (const int year : {100, 1900, 2026, 9999}) {
        const std::string eraYear = timeText(locale, "%Ey", year, 6, 15);
        char *end = nullptr;
        const long value = std::strtol(eraYear.c_str(), &end, 10);
        const std::string eraName = timeText(locale, "%EC", year, 6, 15);
        if (eraYear.empty() || *end || (offset && (*offset != value - year || name != eraName)))
            return;
        offset = int(value - year);
        name = eraName;
    }
    if (*offset < 0)
        return;
    words.eraYearOffset = offset;
    words.eraName = name;
}

// The named locale's category, with its character set (LC_CTYPE) from the
// same locale, which the category's texts are written in whatever LC_CTYPE
// the environment names. Without a name it would be the C locale.
locale_t namedLocale(const std::optional<std::string> &name, int category)
{
    return name ? newlocale(category | LC_CTYPE_MASK, name->c_str(), nullptr) : nullptr;
}

} // namespace

std::optional<NumberWords> LocaleNumberWords(const std::optional<std::string> &name)
{
    locale_t locale = namedLocale(name, LC_NUMERIC_MASK);
    if (!locale)
        return std::nullopt;
    NumberWords words{info(locale, RADIXCHAR), info(locale, THOUSEP), groupSizes(locale)};
    freelocale(locale);
    return words;
}

std::optional<DateWords> LocaleDateWords(const std::optional<std::string> &name)
{
    locale_t locale = namedLocale(name, LC_TIME_MASK);
    if (!locale)
        return std::nullopt;
    DateWords words;
    words.posixFormat = info(locale, D_FMT);
    for (int i = 0; i < 12; ++i) {
        words.longMonths[std::size_t(i)] = info(locale, nl_item(MON_1 + i));
        words.shortMonths[std::size_t(i)] = info(locale, nl_item(ABMON_1 + i));
    }
    for (int i = 0; i < 7; ++i) {
        words.longDays[std::size_t(i)] = info(locale, nl_item(DAY_1 + i));
        words.shortDays[std::size_t(i)] = info(locale, nl_item(ABDAY_1 + i));
    }
    // %Oy of the years 2000 to 2099 lists alt_digits 0 to 99, or plain
    // digits where the locale has none.
    for (int year = 0; year < 100; ++year)
        words.altDigits.push_back(timeText(locale, "%Oy", 2000 + year, 1, 1));
    if (words.posixFormat.find("%E") != std::string::npos)
        readEra(locale, words);
    freelocale(locale);
    return words;
}

std::string TypedCharset(const std::optional<std::string> &name)
{
    const locale_t locale = namedLocale(name, 0);
    if (!locale)
        return {};
    const char *codeset = nl_langinfo_l(CODESET, locale);
    std::string charset = codeset ? codeset : "";
    freelocale(locale);
    return charset == "UTF-8" || charset == "ANSI_X3.4-1968" ? std::string() : charset;
}

std::optional<std::string> CharsetToUtf8(std::string_view text, const std::string &charset)
{
    const iconv_t convert = iconv_open("UTF-8", charset.c_str());
    if (convert == iconv_t(-1))
        return std::nullopt;
    std::string source(text);
    // No character of a locale's set takes more than four bytes of UTF-8
    // for each of its own.
    std::string out(source.size() * 4, '\0');
    char *in = source.data();
    char *next = out.data();
    std::size_t inLeft = source.size();
    std::size_t outLeft = out.size();
    const bool done = iconv(convert, &in, &inLeft, &next, &outLeft) != std::size_t(-1)
        && iconv(convert, nullptr, nullptr, &next, &outLeft) != std::size_t(-1);
    iconv_close(convert);
    if (!done)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

long double ReadCNumber(const char *text, char **end)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtold_l(text, end, cLocale);
}

std::tm LocalTime(std::time_t time)
{
    std::tm local{};
    localtime_r(&time, &local);
    return local;
}

BoundedRead ReadFileUpTo(const fs::path &path, std::uint64_t largest, std::string &contents)
{
    const auto failed = [](int code) {
        return BoundedRead{code == ENOENT || code == ENOTDIR ? FileRead::Missing : FileRead::Unreadable,
                           FileKind::Other, false, std::strerror(code)};
    };
    const auto unreadable = [](FileKind kind, bool tooLarge = false) {
        return BoundedRead{FileRead::Unreadable, kind, tooLarge, {}};
    };
    // Looked at before it is opened: opening a device may do something.
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0)
        return failed(errno);
    if (kindOf(st.st_mode) != FileKind::Regular)
        return unreadable(kindOf(st.st_mode));
    if (std::uint64_t(st.st_size) > largest)
        return unreadable(FileKind::Regular, true);
    // Not blocking: a FIFO put in the file's place since would keep the
    // open waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failed(errno);
    // The file opened, looked at again: the path may lead elsewhere by now.
    BoundedRead read;
    if (::fstat(fd, &st) != 0)
        read = failed(errno);
    else if (kindOf(st.st_mode) != FileKind::Regular)
        read = unreadable(kindOf(st.st_mode));
    else if (const int code = readAtMost(fd, largest + 1, contents); code != 0)
        read = failed(code);
    else if (contents.size() > largest)
        read = unreadable(FileKind::Regular, true);
    else
        read = {FileRead::Read, FileKind::Regular, false, {}};
    ::close(fd); // nothing was written, so nothing can be lost
    return read;
}

OpenFileStatus StatusOfOpenFile(std::FILE *stream)
{
    struct stat st{};
    if (::fstat(::fileno(stream), &st) != 0)
        return {};
    return {kindOf(st.st_mode), S_ISREG(st.st_mode) ? std::uint64_t(st.st_size) : 0};
}

bool IsTerminal(std::FILE *stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

std::uint64_t ResidentBytes(std::int64_t pid)
{
    // "size resident shared ...", in pages
    std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
    std::uint64_t size = 0, resident = 0;
    if (!(statm >> size >> resident))
        return 0;
    return resident * std::uint64_t(::sysconf(_SC_PAGESIZE));
}

void HoldToBounds(int cpuSeconds, std::uint64_t addressSpace)
{
#ifdef __linux__
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    const rlimit cpu{rlim_t(cpuSeconds), rlim_t(cpuSeconds + 1)};
    ::setrlimit(RLIMIT_CPU, &cpu);
    if (addressSpace != 0) {
        const rlimit space{rlim_t(addressSpace), rlim_t(addressSpace)};
        ::setrlimit(RLIMIT_AS, &space);
    }
}

unsigned OpenClosedStandardDescriptors()
{
    unsigned filled = 0;
    // In order, so that open() gives each closed one its own number: every
    // lower one is open by then. Open the other way round (standard input
    // for writing, the outputs for reading), so that using one still fails
    // with EBADF as on the closed descriptor: output to a closed standard
    // output is still reported lost, not quietly thrown away.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = ::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
        if (opened < 0)
            continue;
        if (opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
        filled |= 1u << fd;
    }
    return filled;
}

fs::path SettingsFolder()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/')
        return config;
    return HomeFolder() / ".config";
}

} // namespace quillon::platform

fs::path quillon::HomeFolder()
{
    const char *home = std::getenv("HOME");
    if (home && *home == '/')
        return home;
    // Without HOME (a service, `env -i`) the account's own home folder, never
    // the working folder, where the details would be lost from sight.
    if (const struct passwd *account = ::getpwuid(::geteuid()); account && account->pw_dir && *account->pw_dir)
        return account->pw_dir;
    return "/";
}

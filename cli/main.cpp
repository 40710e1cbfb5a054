// quillon-quote: refund and additional-premium quotes from the command line,
// one at a time, in batch from CSV, or as the printed quote page in a PDF.

#include <cstdio>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <optional>
#include <string>
#include <vector>

#include <QGuiApplication>

#include "Batch.h"
#include "Company.h"
#include "Inifile.h"
#include "Localeset.h"
#include "Messages.h"
#include "Pdfquote.h"
#include "Quote.h"
#include "Quotetable.h"
#include "Shortdate.h"


namespace {

const char kUsage[] =
    "Usage: quillon-quote PREMIUM START END [--type refund|addl] [--today DATE]\n"
    "       quillon-quote --csv [FILE] [--today DATE]\n"
    "       quillon-quote --pdf FILE PREMIUM START END [--type refund|addl]\n"
    "                     [--policy-number X] [--client X] [--policy-type X] [--today DATE]\n"
    "\n"
    "Quotes the earned and unearned premium of a cancelled policy (refund) or the\n"
    "pro-rated premium of a mid-term endorsement (addl), for 12-month and 6-month\n"
    "policies, exactly as the Quillon main window shows them.\n"
    "\n"
    "  PREMIUM          the premium as typed into the premium field ($1,234.50, -100, (25))\n"
    "  START, END       inception and cancellation dates in the locale's short date\n"
    "                   order (m/d/yyyy here: 1/15/2026, 1/15/26, 1/15)\n"
    "  --type TYPE      refund (default) or addl, for additional premium\n"
    "  --csv [FILE]     quote every row of FILE (or standard input), a CSV with the\n"
    "                   header premium,start,end; writes CSV to standard output\n"
    "  --pdf FILE       write the quote as the printed one-page quotation to FILE (PDF),\n"
    "                   headed with the company details of the settings file\n"
    "                   ($XDG_CONFIG_HOME/Quillon32.Ini, by default ~/.config)\n"
    "  --policy-number X, --client X, --policy-type X\n"
    "                   the policy information printed on the quote (--pdf only);\n"
    "                   the policy number is printed in capitals\n"
    "  --today DATE     the date two-digit years and dates without a year are read\n"
    "                   against (default: today)\n"
    "  --help           show this help\n"
    "  --version        show the version\n"
    "\n"
    "Exit status: 0 every row quoted; 1 some premium or date could not be read;\n"
    "2 usage error, unreadable input or unwritable output.\n";

struct Options
{
    bool help = false;
    bool version = false;
    bool csv = false;
    std::optional<std::string> csvFile;
    std::optional<std::string> type;
    std::optional<std::string> today;
    std::optional<std::string> pdfFile;
    std::optional<std::string> policyNumber;
    std::optional<std::string> client;
    std::optional<std::string> policyType;
    std::vector<std::string> positionals;
};

// A leading '-' followed by a digit, a point or a parenthesis is a negative
// premium, not an option.
bool looksLikeOption(const char *arg)
{
    return arg[0] == '-' && arg[1] != '\0' && !std::strchr("0123456789.(", arg[1]);
}

std::optional<std::string> parseOptions(int argc, char **argv, Options &options)
{
    bool onlyPositionals = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (onlyPositionals || !looksLikeOption(argv[i])) {
            options.positionals.push_back(arg);
            continue;
        }
        auto value = [&](const char *name, std::optional<std::string> &slot) -> std::optional<std::string> {
            const std::string prefix = std::string(name) + "=";
            if (arg.rfind(prefix, 0) == 0) {
                slot = arg.substr(prefix.size());
                return std::nullopt;
            }
            if (i + 1 >= argc)
                return std::string(name) + " needs a value";
            slot = argv[++i];
            return std::nullopt;
        };
        if (arg == "--") {
            onlyPositionals = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--csv") {
            options.csv = true;
            if (i + 1 < argc && (!looksLikeOption(argv[i + 1]) || std::strcmp(argv[i + 1], "-") == 0))
                options.csvFile = argv[++i];
        } else if (arg == "--type" || arg.rfind("--type=", 0) == 0) {
            if (auto error = value("--type", options.type))
                return error;
        } else if (arg == "--today" || arg.rfind("--today=", 0) == 0) {
            if (auto error = value("--today", options.today))
                return error;
        } else if (arg == "--pdf" || arg.rfind("--pdf=", 0) == 0) {
            if (auto error = value("--pdf", options.pdfFile))
                return error;
        } else if (arg == "--policy-number" || arg.rfind("--policy-number=", 0) == 0) {
            if (auto error = value("--policy-number", options.policyNumber))
                return error;
        } else if (arg == "--client" || arg.rfind("--client=", 0) == 0) {
            if (auto error = value("--client", options.client))
                return error;
        } else if (arg == "--policy-type" || arg.rfind("--policy-type=", 0) == 0) {
            if (auto error = value("--policy-type", options.policyType))
                return error;
        } else {
            return "unknown option '" + arg + "'";
        }
    }
    if (options.help || options.version)
        return std::nullopt;
    if (!options.pdfFile && (options.policyNumber || options.client || options.policyType))
        return "--policy-number, --client and --policy-type apply to --pdf";
    if (options.pdfFile && options.pdfFile->empty())
        return "--pdf needs a file name";
    if (options.csv) {
        if (options.pdfFile)
            return "--pdf writes a single quote, not --csv";
        if (!options.positionals.empty())
            return "--csv takes at most one FILE";
        if (options.type)
            return "--type applies to a single quote, not to --csv";
    } else if (options.positionals.size() != 3) {
        return "expected PREMIUM START END";
    }
    if (options.type && *options.type != "refund" && *options.type != "addl")
        return "--type must be refund or addl";
    return std::nullopt;
}

// Output that never reached its file is a failure, whatever was printed.
int finishOutput(int status)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "quillon-quote: cannot write the output: %s\n", std::strerror(errno));
        return kExitUsage;
    }
    return status;
}

// The quote replaces its file, which must be a file: writing "onto" a FIFO
// or a device would replace the node itself (and /dev/null, run as root).
std::optional<std::string> unsuitableDestination(const std::string &path)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt; // nothing there yet, or the write will say why
    if (S_ISDIR(status.st_mode))
        return "it is a directory";
    if (!S_ISREG(status.st_mode))
        return "it exists and is not a regular file";
    return std::nullopt;
}

int usageError(const std::string &message)
{
    std::fprintf(stderr, "quillon-quote: %s (see --help)\n", message.c_str());
    return kExitUsage;
}

int runCsv(const Options &options, const LocaleSettings &locale, int today)
{
    std::FILE *in = stdin;
    if (options.csvFile && *options.csvFile != "-") {
        in = std::fopen(options.csvFile->c_str(), "rb");
        if (!in) {
            std::fprintf(stderr, "quillon-quote: cannot open '%s': %s\n", options.csvFile->c_str(),
                         std::strerror(errno));
            return kExitUsage;
        }
    }
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    std::string error;
    const int status = RunBatch(in, stdout, locale, today, error);
    if (in != stdin)
        std::fclose(in);
    if (status == kExitUsage)
        std::fprintf(stderr, "quillon-quote: %s\n", error.c_str());
    return status;
}

int runSingle(const Options &options, const LocaleSettings &locale, int today)
{
    const QuoteOutcome outcome = ComputeQuote(
        {options.positionals[0], options.positionals[1], options.positionals[2]}, locale, today);
    if (!outcome.ok()) {
        std::fprintf(stderr, "quillon-quote: %s\n", outcome.error.c_str());
        return kExitRowFailed;
    }
    const QuotationType type = options.type.value_or("refund") == "addl" ? QuotationType::AdditionalPremium
                                                                         : QuotationType::Refund;
    const std::string table = QuoteTable(outcome, type, locale);
    std::fwrite(table.data(), 1, table.size(), stdout);
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "quillon-quote: cannot write the output: %s\n", std::strerror(errno));
        return kExitUsage;
    }
    return kExitOk;
}

void quietQtMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "quillon-quote: %s\n", qPrintable(message));
}

int runPdf(char *program, const Options &options, const LocaleSettings &locale, int today)
{
    const QuoteOutcome outcome = ComputeQuote(
        {options.positionals[0], options.positionals[1], options.positionals[2]}, locale, today);
    if (!outcome.ok()) {
        std::fprintf(stderr, "quillon-quote: %s\n", outcome.error.c_str());
        return kExitRowFailed;
    }
    // The window shows its range box before any figure; the quote is still
    // written, as the window still shows and prints its figures.
    if (const std::string_view message = Messages::ForRange(outcome.quote.Range); !message.empty())
        std::fprintf(stderr, "quillon-quote: %.*s\n", int(message.size()), message.data());
    if (const auto reason = unsuitableDestination(*options.pdfFile)) {
        std::fprintf(stderr, "quillon-quote: cannot write '%s': %s\n", options.pdfFile->c_str(), reason->c_str());
        return kExitUsage;
    }
    // Fonts and the PDF writer need a GUI application, but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notes (a missing runtime directory in a container, say) are
    // not the tool's to report; a failure to write is reported below.
    qInstallMessageHandler(quietQtMessages);
    // Only the program name: the quote's own arguments are not Qt's to read.
    int qtArgc = 1;
    char *qtArgv[] = {program, nullptr};
    const QGuiApplication application(qtArgc, qtArgv);

    const QuotationType type = options.type.value_or("refund") == "addl" ? QuotationType::AdditionalPremium
                                                                         : QuotationType::Refund;
    const PolicyEntry policy{options.policyNumber.value_or(""), options.client.value_or(""),
                             options.policyType.value_or("")};
    const CompanyDetails company = ReadCompanyDetails(IniFile(DefaultSettingsPath()));
    QuotePage page;
    FillQuotePage(page, QuoteTextsFor(outcome, type, policy, company, locale));
    if (const FileWriteResult written = WriteQuotePdf(QString::fromLocal8Bit(options.pdfFile->c_str()), page);
        !written) {
        std::fprintf(stderr, "quillon-quote: cannot write '%s': %s\n", options.pdfFile->c_str(),
                     written.error.toLocal8Bit().constData());
        return kExitUsage;
    }
    return kExitOk;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (const auto error = parseOptions(argc, argv, options))
        return usageError(*error);
    if (options.help) {
        std::fputs(kUsage, stdout);
        return finishOutput(kExitOk);
    }
    if (options.version) {
        std::puts("quillon-quote " QUILLON_VERSION);
        return finishOutput(kExitOk);
    }
    // Read once, as the window program does at start-up.
    const LocaleSettings locale = ReadSystemLocaleSettings();
    int today = Today();
    if (options.today) {
        const std::optional<int> day = TryParseShortDate(*options.today, locale, today);
        if (!day)
            return usageError("--today: '" + *options.today + "' is not a valid date");
        today = *day;
    }
    if (options.pdfFile)
        return runPdf(argv[0], options, locale, today);
    return options.csv ? runCsv(options, locale, today) : runSingle(options, locale, today);
}

// quillon-quote: refund and additional-premium quotes from the command line,
// one at a time, in batch from CSV, or as the printed quote page in a PDF.

#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "Batch.h"
#include "Explain.h"
#include "Filewrite.h"
#include "Fpu.h"
#include "Localeset.h"
#include "Messages.h"
#include "Platform.h"
#include "Quote.h"
#include "Quoterules.h"
#include "Quotetable.h"
#include "Shortdate.h"
#include "Toolplatform.h"

// --pdf draws the printed quote page with Qt; a build without Qt (Windows,
// so far) has every other mode.
#ifndef QUILLON_WITH_PDF
#define QUILLON_WITH_PDF 0
#endif
#if QUILLON_WITH_PDF
#include <QGuiApplication>

#include "Company.h"
#include "Inifile.h"
#include "Pdfbatch.h"
#include "Pdfquote.h"
#include "Quotefile.h"
#endif

using namespace quillon;


namespace {

constexpr bool kWithPdf = QUILLON_WITH_PDF;

// The help, whose lines of --pdf are there only where it is built.
std::string usageText()
{
    std::string text =
    "Usage: quillon-quote PREMIUM START END [--type refund|addl] [--explain]\n"
    "                     [--format table|json] [--today DATE] [RULES]\n"
    "       quillon-quote --csv [FILE] [--format csv|json] [--jobs N] [--quiet] [--today DATE] [RULES]\n";
    if (kWithPdf)
        text +=
    "       quillon-quote --pdf FILE PREMIUM START END [--type refund|addl]\n"
    "                     [--policy-number X] [--client X] [--policy-type X] [--today DATE] [RULES]\n"
    "       quillon-quote --csv FILE --pdf OUT.pdf [--quiet] [--today DATE] [RULES]\n";
    text +=
    "\n"
    "Quotes the earned and unearned premium of a cancelled policy (refund) or the\n"
    "pro-rated premium of a mid-term endorsement (addl), for 12-month and 6-month\n"
    "policies, exactly as the Quillon main window shows them.\n"
    "\n"
    "  PREMIUM          an amount as written in the locale ($1,234.50, -100, (25))\n"
    "  START, END       inception and cancellation dates in the locale's short date\n"
    "                   order (m/d/yyyy here: 1/15/2026, 1/15/26, 1/15)\n"
    "  --type TYPE      refund (default) or addl, for additional premium\n"
    "  --explain        after the table, show how each figure was reached\n"
    "  --format FORMAT  table (default) or json for one quote; csv (default) or\n"
    "                   json (one object per line) for --csv\n"
    "  --csv [FILE]     quote every row of FILE (or standard input), a CSV with the\n"
    "                   header premium,start,end; writes CSV to standard output\n"
    "  --jobs N         work a batch on N threads (default: every core); the\n"
    "                   output keeps the input's order\n"
    "  --quiet          no progress line (shown only when standard error is a terminal)\n";
    if (kWithPdf)
        text +=
    "  --pdf FILE       write the quote as the printed one-page quotation to FILE (PDF),\n"
    "                   headed with the company details of the settings file\n"
    "                   ($XDG_CONFIG_HOME/Quillon32.Ini, by default ~/.config);\n"
    "                   with --csv, one page per row, the policy details from the\n"
    "                   optional columns policy_number, client, policy_type, type\n"
    "  --policy-number X, --client X, --policy-type X\n"
    "                   the policy information printed on the quote (--pdf only);\n"
    "                   the policy number is printed in capitals\n";
    text +=
    "  --today DATE     the date two-digit years and dates without a year are read\n"
    "                   against (default: today)\n"
    "\n"
    "RULES, the office's own (README, \"Office rules\"); in a batch the columns\n"
    "short_rate, minimum_earned, fees and expires override them row by row:\n"
    "  --short-rate R   short rate as a share of pro rata (90%) or from a table\n"
    "                   FILE; tables: the built-in ones\n"
    "  --minimum-earned M  a minimum earned premium, an amount (150.00) or a\n"
    "                   percentage of the premium (25%); none: no minimum\n"
    "  --fees F         fully earned fees, never refunded (25.00)\n"
    "  --expires DATE   the policy's expiration: pro rata over its own term\n"
    "                   (with --type addl, the only rule that applies)\n"
    "\n"
    "  --help           show this help\n"
    "  --version        show the version\n"
    "\n"
    "Exit status: 0 every row quoted; 1 some premium or date could not be read;\n"
    "2 usage error, unreadable input or unwritable output.\n";
    return text;
}

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
    std::optional<std::string> format;
    std::optional<std::string> jobs;
    bool explain = false;
    bool quiet = false;
    RuleOptions rules;
    std::vector<std::string> positionals;
};

// Every option is "-" and a letter or "--" and a name, so a leading '-'
// before anything else (a digit, a point, a parenthesis, "$" as in "-$5", or
// any currency sign) is a negative premium, not an option.
bool looksLikeOption(const char *arg)
{
    const char next = arg[0] == '-' ? arg[1] : '\0';
    return next == '-' || (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
}

// The name of an option that only --pdf takes, or null.
const char *pdfOption(const std::string &arg)
{
    for (const char *name : {"--pdf", "--policy-number", "--client", "--policy-type"}) {
        const std::size_t length = std::strlen(name);
        if (arg.compare(0, length, name) == 0 && (arg.size() == length || arg[length] == '='))
            return name;
    }
    return nullptr;
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
        if (!kWithPdf && pdfOption(arg)) {
            return std::string(pdfOption(arg)) + " is not available in this build";
        } else if (arg == "--") {
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
        } else if (arg == "--format" || arg.rfind("--format=", 0) == 0) {
            if (auto error = value("--format", options.format))
                return error;
        } else if (arg == "--jobs" || arg.rfind("--jobs=", 0) == 0) {
            if (auto error = value("--jobs", options.jobs))
                return error;
        } else if (arg == "--short-rate" || arg.rfind("--short-rate=", 0) == 0) {
            if (auto error = value("--short-rate", options.rules.shortRate))
                return error;
        } else if (arg == "--minimum-earned" || arg.rfind("--minimum-earned=", 0) == 0) {
            if (auto error = value("--minimum-earned", options.rules.minimumEarned))
                return error;
        } else if (arg == "--fees" || arg.rfind("--fees=", 0) == 0) {
            if (auto error = value("--fees", options.rules.fees))
                return error;
        } else if (arg == "--expires" || arg.rfind("--expires=", 0) == 0) {
            if (auto error = value("--expires", options.rules.expires))
                return error;
        } else if (arg == "--explain") {
            options.explain = true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else {
            return "unknown option '" + Messages::QuotedInput(arg) + "'";
        }
    }
    if (options.help || options.version)
        return std::nullopt;
    if (!options.pdfFile && (options.policyNumber || options.client || options.policyType))
        return "--policy-number, --client and --policy-type apply to --pdf";
    if (options.pdfFile && options.pdfFile->empty())
        return "--pdf needs a file name";
    if (options.csv) {
        if (!options.positionals.empty())
            return "--csv takes at most one FILE";
        if (options.type)
            return "--type applies to a single quote; a batch takes it from a type column";
        if (options.explain)
            return "--explain applies to a single quote";
        if (options.format && *options.format != "csv" && *options.format != "json")
            return "--format of a batch must be csv or json";
        if (options.pdfFile && (options.format || options.jobs))
            return "--csv with --pdf writes pages, not --format or --jobs";
        if (options.pdfFile && (options.policyNumber || options.client || options.policyType))
            return "--csv with --pdf takes the policy details from its columns";
    } else {
        if (options.positionals.size() != 3)
            return "expected PREMIUM START END";
        if (options.format && *options.format != "table" && *options.format != "json")
            return "--format of a single quote must be table or json";
        if (options.jobs)
            return "--jobs applies to --csv";
        if (options.pdfFile && (options.format || options.explain))
            return "--pdf writes the quote page, not --format or --explain";
        if (options.explain && options.format == "json")
            return "--explain shows the working as text, not with --format json";
    }
    if (options.jobs) {
        const std::string &jobs = *options.jobs;
        if (jobs.empty() || jobs.size() > 3 || jobs.find_first_not_of("0123456789") != std::string::npos
            || std::stoi(jobs) < 1)
            return "--jobs must be a whole number from 1 to 999";
    }
    if (options.type && *options.type != "refund" && *options.type != "addl")
        return "--type must be refund or addl";
    // The short rate, the minimum and the fees describe a cancellation; an
    // additional premium has none of them, and quietly dropping one would
    // give a figure the clerk did not ask for.
    if (options.type == "addl" && options.rules.cancellationRule())
        return "--short-rate, --minimum-earned and --fees apply to a refund, not to --type addl";
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

int usageError(const std::string &message)
{
    std::fprintf(stderr, "quillon-quote: %s (see --help)\n", message.c_str());
    return kExitUsage;
}

// The descriptors 0 to 2 the tool was started without; the null device
// stands in for each (see OpenClosedStandardDescriptors).
unsigned g_closedAtStart = 0;

// The batch's input: the file named, or standard input for none or "-".
// Says why on standard error and gives nothing when it cannot be read.
std::FILE *openBatchInput(const Options &options)
{
    const bool standard = !options.csvFile || *options.csvFile == "-";
    const std::string shown = standard ? "standard input" : "'" + Messages::PrintableText(*options.csvFile) + "'";
    if (standard && (g_closedAtStart & 1u) != 0) {
        std::fprintf(stderr, "quillon-quote: cannot read standard input: it is closed\n");
        return nullptr;
    }
    std::FILE *in = standard ? stdin : OpenForReading(*options.csvFile);
    if (!in) {
        std::fprintf(stderr, "quillon-quote: cannot open %s: %s\n", shown.c_str(), std::strerror(errno));
        return nullptr;
    }
    // A folder opens for reading and fails only at the first read, with a
    // reason that names no folder.
    if (quillon::platform::StatusOfOpenFile(in).kind == quillon::platform::FileKind::Directory) {
        std::fprintf(stderr, "quillon-quote: cannot read %s: it is a directory, not a CSV file\n", shown.c_str());
        if (!standard)
            std::fclose(in);
        return nullptr;
    }
    return in;
}

// Whether standard output is the batch's input file: appended to, the batch
// would read its own rows back until the disk is full; truncated by the
// shell, it would quote nothing and say it succeeded. Refused, as cat does.
bool outputIsInput(std::FILE *in, const Options &options)
{
    const std::optional<quillon::FileIdentity> input = quillon::RegularFileIdentity(fileno(in));
    if (!input || input != quillon::RegularFileIdentity(fileno(stdout)))
        return false;
    const bool standard = in == stdin;
    std::fprintf(stderr, "quillon-quote: the input file %s is the output file; nothing is written\n",
                 standard ? "(standard input)" : ("'" + Messages::PrintableText(*options.csvFile) + "'").c_str());
    return true;
}

int runCsv(const Options &options, const LocaleSettings &locale, int today, const RuleSet *rules)
{
    std::FILE *in = openBatchInput(options);
    if (!in)
        return kExitUsage;
    if (outputIsInput(in, options)) {
        if (in != stdin)
            std::fclose(in);
        return kExitUsage;
    }
    // The batch gathers its output in blocks of its own; a buffer in the
    // stream would only copy every byte once more on its way out.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::string error;
    BatchOptions batch;
    batch.format = options.format == "json" ? BatchFormat::JsonLines : BatchFormat::Csv;
    batch.jobs = options.jobs ? unsigned(std::stoi(*options.jobs)) : std::max(1u, std::thread::hardware_concurrency());
    batch.progress = !options.quiet;
    batch.rules = rules;
    const int status = RunBatch(in, stdout, locale, today, error, batch);
    // The input is left for the process's end to close: a batch whose
    // output failed may have left its reader inside a read of it.
    if (status == kExitUsage)
        std::fprintf(stderr, "quillon-quote: %s\n", error.c_str());
    return status;
}

QuotationType quotationType(const Options &options)
{
    return options.type.value_or("refund") == "addl" ? QuotationType::AdditionalPremium : QuotationType::Refund;
}

// The single quote of the arguments, under `rules` where given.
QuoteRecord singleQuote(const Options &options, const LocaleSettings &locale, int today, const RuleSet *rules)
{
    const QuotationType type = quotationType(options);
    RuleSet only;
    if (rules && type == QuotationType::AdditionalPremium)
        only = RulesForAdditionalPremium(*rules);
    QuoteRequest request{options.positionals[0], options.positionals[1], options.positionals[2], type};
    request.rules = rules && type == QuotationType::AdditionalPremium ? &only : rules;
    return MakeQuote(request, locale, today);
}

int runSingle(const Options &options, const LocaleSettings &locale, int today, const RuleSet *rules)
{
    const QuoteRecord outcome = singleQuote(options, locale, today, rules);
    if (!outcome.ok()) {
        std::fprintf(stderr, "quillon-quote: %s\n", outcome.error.c_str());
        return kExitRowFailed;
    }
    std::string text;
    if (options.format == "json") {
        // The batch's columns, as one object; the day count is a number.
        nlohmann::ordered_json object;
        AddQuoteColumns(object, outcome, QuoteRangeMessage(outcome));
        if (rules)
            object["rules"] = RulesObject(*rules, outcome, locale);
        text = object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    } else {
        text = QuoteTable(outcome, rules ? RulesText(*rules, outcome, locale) : std::string());
        if (options.explain)
            text += "\n" + ExplainQuote(outcome, locale, rules);
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "quillon-quote: cannot write the output: %s\n", std::strerror(errno));
        return kExitUsage;
    }
    return kExitOk;
}

#if QUILLON_WITH_PDF

// Says why a quote cannot be written to `path`, before any work is done;
// the write itself checks again.
bool destinationRefused(const std::string &path, const quillon::WriteOptions &options)
{
    const std::optional<std::string> reason = quillon::DestinationProblem(quillon::PathFromBytes(path), options);
    if (reason)
        std::fprintf(stderr, "quillon-quote: cannot write '%s': %s\n", Messages::PrintableText(path).c_str(),
                     reason->c_str());
    return reason.has_value();
}

void quietQtMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "quillon-quote: %s\n", qPrintable(message));
}

// Fonts and the PDF writer need a GUI application, but never a display.
std::unique_ptr<QGuiApplication> pdfApplication(char *program)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notes (a missing runtime directory in a container, say) are
    // not the tool's to report; a failure to write is reported by the caller.
    qInstallMessageHandler(quietQtMessages);
    // Only the program name: the quote's own arguments are not Qt's to read.
    static int qtArgc = 1;
    static char *qtArgv[] = {program, nullptr};
    return std::make_unique<QGuiApplication>(qtArgc, qtArgv);
}

// The letterhead from the window's settings file. A file that is there but
// cannot be read gives the defaults, as in the window, but here nobody would
// see why the quote says "Company Name", so it is said.
CompanyDetails companyDetails()
{
    const IniFile ini(DefaultSettingsPath());
    if (ini.state() == IniFile::State::Unreadable)
        std::fprintf(stderr, "quillon-quote: the company details could not be read from '%s'; the quote shows the defaults\n",
                     Messages::PrintableText(ini.path().string()).c_str());
    return ReadCompanyDetails(ini);
}

int runBatchPdf(char *program, const Options &options, const LocaleSettings &locale, int today, const RuleSet *rules)
{
    std::FILE *in = openBatchInput(options);
    if (!in)
        return kExitUsage;
    // The pages never replace the rows they are made from, whatever name
    // (a link, another path, standard input) leads to the file.
    quillon::WriteOptions destination;
    destination.notThe = quillon::RegularFileIdentity(fileno(in));
    if (destinationRefused(*options.pdfFile, destination)) {
        if (in != stdin)
            std::fclose(in);
        return kExitUsage;
    }
    const auto application = pdfApplication(program);
    const CompanyDetails company = companyDetails();
    std::string error;
    const int status =
        RunBatchPdf(in, *options.pdfFile, destination, locale, today, company, !options.quiet, error, rules);
    if (in != stdin)
        std::fclose(in);
    if (!error.empty())
        std::fprintf(stderr, "quillon-quote: %s\n", error.c_str());
    return status;
}

int runPdf(char *program, const Options &options, const LocaleSettings &locale, int today, const RuleSet *rules)
{
    const QuoteRecord outcome = singleQuote(options, locale, today, rules);
    if (!outcome.ok()) {
        std::fprintf(stderr, "quillon-quote: %s\n", outcome.error.c_str());
        return kExitRowFailed;
    }
    // The window shows its range box before any figure; the quote is still
    // written, as the window still shows and prints its figures.
    if (const std::string_view message = QuoteRangeMessage(outcome); !message.empty())
        std::fprintf(stderr, "quillon-quote: %.*s\n", int(message.size()), message.data());
    if (destinationRefused(*options.pdfFile, {}))
        return kExitUsage;
    const auto application = pdfApplication(program);
    const PolicyEntry policy{options.policyNumber.value_or(""), options.client.value_or(""),
                             options.policyType.value_or("")};
    const CompanyDetails company = companyDetails();
    QuotePage page;
    FillQuotePage(page, QuoteTextsFor(outcome, policy, company, rules, &locale));
    const FileWriteResult written = WriteQuotePdf(quillon::PathFromBytes(*options.pdfFile), page);
    if (!written) {
        std::fprintf(stderr, "quillon-quote: cannot write '%s': %s\n", Messages::PrintableText(*options.pdfFile).c_str(),
                     written.error.toLocal8Bit().constData());
        return kExitUsage;
    }
    if (!written.warning.isEmpty())
        std::fprintf(stderr, "quillon-quote: %s\n", written.warning.toLocal8Bit().constData());
    return kExitOk;
}

#endif

} // namespace

int main(int argc, char **argv)
{
    // Before anything opens a file, so that none takes a standard descriptor's number.
    g_closedAtStart = quillon::platform::OpenClosedStandardDescriptors();
    UseBinaryStandardStreams();
    // This thread works single quotes and a batch of one job.
    quillon::UseExtendedPrecision();
    // From here on every argument is as CommandLineArguments gives it.
    std::vector<std::string> arguments = CommandLineArguments(argc, argv);
    std::vector<char *> pointers;
    for (std::string &argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    argc = int(arguments.size());
    argv = pointers.data();

    Options options;
    if (const auto error = parseOptions(argc, argv, options))
        return usageError(*error);
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return finishOutput(kExitOk);
    }
    if (options.version) {
        std::puts("quillon-quote " QUILLON_VERSION);
        return finishOutput(kExitOk);
    }
    // Read once, as the window program does at start-up.
    std::string unavailable;
    const LocaleSettings locale = ReadSystemLocaleSettings(unavailable);
    // Else a slip such as en_UK for en_GB would read 1/2 as the 2nd of January without a word.
    if (!unavailable.empty())
        std::fprintf(stderr,
                     "quillon-quote: the locale '%s' cannot be loaded; dates are read month first (m/d/yyyy) "
                     "and amounts as in the C locale\n",
                     Messages::PrintableText(unavailable).c_str());
    // What is typed on a terminal of a locale whose character set is not
    // UTF-8 comes in that set; file names stay the bytes they are.
    for (std::optional<std::string> *text :
         {&options.today, &options.policyNumber, &options.client, &options.policyType, &options.rules.minimumEarned,
          &options.rules.fees}) {
        std::string converted;
        if (*text)
            TypedText(**text, locale, converted);
        if (!converted.empty())
            **text = std::move(converted);
    }
    int today = Today();
    if (options.today) {
        const std::optional<int> day = TryParseShortDate(*options.today, locale, today);
        if (!day)
            return usageError("--today: " + Messages::InvalidDate(Messages::QuotedInput(*options.today)));
        today = *day;
    }
    // Read once a run: a table file is read here, not row by row.
    RuleSet ruleSet;
    if (const auto error = ReadRuleOptions(options.rules, locale, today, ruleSet))
        return usageError(*error);
    const RuleSet *rules = options.rules.any() ? &ruleSet : nullptr;
#if QUILLON_WITH_PDF
    if (options.pdfFile)
        return options.csv ? runBatchPdf(argv[0], options, locale, today, rules)
                           : runPdf(argv[0], options, locale, today, rules);
#endif
    return options.csv ? runCsv(options, locale, today, rules) : runSingle(options, locale, today, rules);
}

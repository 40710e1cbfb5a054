// Saving a quote while the file system fails, or onto what must not be replaced. A preloaded shim
// (tests/support/Faultshim.c) makes one open, write, fsync, close or rename fail in a child that saves over
// an existing quote: a run of this program (the preview, WriteQuotePdf) or of quillon-quote. Whatever step
// fails, the earlier file survives byte for byte with no partial file beside it, and the reason is told.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "../support/Modalwatch.h"
#include "../support/Testsupport.h"
#include "Errordisplay.h"
#include "Openquote.h"
#include "Preview.h"
#include "Quotefile.h"
#include "Uprpt.h"

using namespace quillon;

namespace {

// Set in a child run: which save to make, and over what file.
const char kChildScenario[] = "QUILLON_FAULT_CHILD", kChildTarget[] = "QUILLON_FAULT_TARGET";

// The saves tried: two of this program's own, the preview's reading a quote back, and the tool's.
const char kWriteQuotePdf[] = "WriteQuotePdf", kPreviewPage[] = "preview saving its page",
           kPreviewReopened[] = "preview saving an opened quote over itself";
const char kToolPdf[] = "quillon-quote --pdf", kToolBatchPdf[] = "quillon-quote --csv --pdf";

bool isTool(const QString &scenario)
{
    return scenario.startsWith(QStringLiteral("quillon-quote"));
}

// The user an ordinary clerk is played by when the tests run as root.
constexpr uid_t kClerk = 65534;

QStringList clerkRun(const QString &program)
{
    return {QStringLiteral("--reuid=%1").arg(kClerk), QStringLiteral("--regid=%1").arg(kClerk),
            QStringLiteral("--clear-groups"), QStringLiteral("--"), program};
}

// The programs the clerk runs, copied where every user may enter (the build folder may be in a clone
// only root can enter). They link no library of the build's own.
struct ClerkPrograms
{
    QTemporaryDir dir;
    QString self = copy(QCoreApplication::applicationFilePath()), tool = copy(QStringLiteral(QUOTE_TOOL));
    // False only where even the temporary folder is closed to the clerk.
    bool reachable = QProcess::execute(QStringLiteral("setpriv"), clerkRun(tool) << QStringLiteral("--version")) == 0;

    QString copy(const QString &from)
    {
        const QString to = dir.filePath(QFileInfo(from).fileName());
        QFile::copy(from, to);
        for (const QString &path : {dir.path(), to})
            QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOther | QFile::ReadOther);
        return to;
    }
};

const ClerkPrograms &clerkPrograms()
{
    static const ClerkPrograms programs;
    return programs;
}

QuotePage pageWithCompany(const char *company)
{
    QuotePage page;
    page.setText(QStringLiteral("CoName"), QString::fromLatin1(company));
    return page;
}

// The child's side: one save, then "saved", or "failed" and every text it reported, one to a line.
int saveInThisProcess(const QString &scenario, const QString &target)
{
    QStringList reported;
    bool saved = false;
    if (scenario == kWriteQuotePdf) {
        const FileWriteResult written = WriteQuotePdf(target, pageWithCompany("New Agency"));
        saved = written.ok();
        reported << written.error;
    } else {
        ModalWatch watch({}, [&reported](const ModalWatch::Seen &seen) { reported << seen.text; });
        TQuotePreview preview(pageWithCompany("New Agency"));
        saved = (scenario != kPreviewReopened || preview.openPdf(target)) && preview.savePdf(target);
    }
    std::printf("%s\n%s\n", saved ? "saved" : "failed", qPrintable(reported.join(u'\n')));
    return 0;
}

// The shim, after the sanitizer's runtime when this program has one: that runtime must come first.
QString preloads()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    const QByteArray all = maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
    for (const QByteArray &line : all.split('\n'))
        if (line.contains("/libasan.so"))
            return QString::fromLocal8Bit(line.mid(line.indexOf('/'))) + u':' + QStringLiteral(QUILLON_FAULTSHIM);
    return QStringLiteral(QUILLON_FAULTSHIM);
}

struct ChildRun { bool finished = false, saved = false; QString reported; };

// A name as a shell word of octal escapes, so that any bytes reach the tool as they are.
QString shellBytes(const QByteArray &bytes)
{
    QString word = QStringLiteral("\"$(printf '");
    for (const char c : bytes)
        word += QStringLiteral("\\%1").arg(uint(uchar(c)), 3, 8, QLatin1Char('0'));
    return word + QStringLiteral("')\"");
}

struct ChildSetUp { QProcessEnvironment env = QProcessEnvironment::systemEnvironment(); bool asClerk = false; QString batchInput; };

// One save of `scenario` onto `target` (bytes, as the file system names it) in a child process.
ChildRun runChild(const QString &scenario, const QByteArray &target, ChildSetUp setUp)
{
    QProcessEnvironment &env = setUp.env;
    const bool clerk = setUp.asClerk && ::geteuid() == 0;
    QString program = clerk ? clerkPrograms().self : QCoreApplication::applicationFilePath();
    QStringList arguments;
    if (isTool(scenario)) {
        program = QStringLiteral("/bin/sh");
        arguments = {QStringLiteral("-c"), QStringLiteral("exec '%1' --today 12/7/2026 --pdf %2 %3")
                                               .arg(clerk ? clerkPrograms().tool : QStringLiteral(QUOTE_TOOL), shellBytes(target),
                                                    scenario == kToolPdf ? QStringLiteral("1000 1/1/2026 4/11/2026")
                                                                         : QStringLiteral("--quiet --csv '%1'").arg(setUp.batchInput))};
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("/nonexistent/quillon")); // the defaults
    } else {
        env.insert(QString::fromLatin1(kChildScenario), scenario);
        env.insert(QString::fromLatin1(kChildTarget), QFile::decodeName(target));
    }
    if (clerk) {
        arguments = clerkRun(program) + arguments;
        program = QStringLiteral("setpriv");
    }
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(program, arguments);
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return {};
    }
    // The tool exits 0 when it saved and 2 when it refused; this program's child prints what happened.
    const bool tool = isTool(scenario), exited = child.exitStatus() == QProcess::NormalExit;
    const QString out = QString::fromLocal8Bit(tool ? child.readAllStandardError() : child.readAllStandardOutput());
    return {exited && (child.exitCode() == 0 || (tool && child.exitCode() == 2)),
            tool ? child.exitCode() == 0 : out.startsWith(QStringLiteral("saved\n")), tool ? out.trimmed() : out.section(u'\n', 1).trimmed()};
}

// What a folder holds, link targets and file contents included, for telling whether a refused save
// changed anything. Names are bytes, as the file system keeps them.
std::map<QByteArray, QByteArray> snapshot(const QString &folder)
{
    std::map<QByteArray, QByteArray> seen;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(QFile::encodeName(folder).toStdString())) {
        const std::string &name = entry.path().native();
        struct stat st{};
        ::lstat(name.c_str(), &st);
        QByteArray what = QByteArray::number(st.st_mode, 8) + ' ' + QByteArray::number(qulonglong(st.st_ino));
        if (S_ISLNK(st.st_mode))
            what += " -> " + QByteArray::fromStdString(std::filesystem::read_symlink(entry.path()).native());
        else if (S_ISREG(st.st_mode))
            what += ' ' + QByteArray::fromStdString((std::ostringstream() << std::ifstream(name, std::ios::binary).rdbuf()).str());
        seen[QByteArray::fromStdString(name)] = what;
    }
    return seen;
}

// Where a save is sent: `replaced` is the file that takes the quote (empty: refused), `only` the one
// scenario the row applies to.
const struct { const char *name; QByteArray destination, replaced; const char *reason; bool asClerk = false; const char *only = nullptr; }
    kDestinations[] = {
    {"a FIFO", "fifo.pdf", "", "Not a regular file"},
    {"a folder", "folder.pdf", "", "Is a directory"},
    {"a device", "/dev/null", "", "Not a regular file"},
    {"a link to a device", "device.pdf", "", "Not a regular file"},
    {"a read-only file", "readonly.pdf", "", "Permission denied", true},
    {"a chain of links", "c1.pdf", "store/c3.pdf", ""},
    {"a loop of links", "l1.pdf", "", "Too many levels of symbolic links"},
    {"a name as long as the file system allows", QByteArray(251, 'q') + ".pdf", QByteArray(251, 'q') + ".pdf", ""},
    {"a name in Latin-1", "q\xe9.pdf", "q\xe9.pdf", "", false, kToolPdf},
    {"the input, through a link", "rows-link.pdf", "", "It is the input file", false, kToolBatchPdf},
};

} // namespace

class TestQuoteFaults : public QObject
{
    Q_OBJECT

private slots:
    void aFailedSaveKeepsTheEarlierFileAndSaysWhy_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("op");
        for (const char *scenario : {kWriteQuotePdf, kPreviewPage, kPreviewReopened, kToolPdf, kToolBatchPdf})
            for (const char *op : {"open", "write", "fsync", "close", "rename"})
                QTest::addRow("%s, %s fails", scenario, op) << QString::fromLatin1(scenario) << QString::fromLatin1(op);
    }

    // Fails the first such call of the save, then the second, and so on, until none is left to fail and it saves.
    void aFailedSaveKeepsTheEarlierFileAndSaysWhy()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, op);
        // Reading the quote back opens and closes it once before the save begins.
        const int firstCall = scenario == kPreviewReopened && (op == "open" || op == "close") ? 2 : 1;
        // The shim's default errors: EACCES for open, ENOSPC for write, EIO for the rest.
        const QString reason = op == "open" ? "Permission denied" : op == "write" ? "No space left on device" : "Input/output error";
        QTemporaryDir dir, elsewhere;
        const QString target = dir.filePath(QStringLiteral("quote.pdf"));
        QVERIFY(WriteQuotePdf(target, pageWithCompany("Old Agency")));
        const QByteArray old = readFile(target);
        const QString input = elsewhere.filePath(QStringLiteral("rows.csv"));
        QVERIFY(writeFile(input, "premium,start,end\n1000,1/1/2026,4/11/2026\n250,2/1/2026,3/1/2026\n"));

        constexpr int kLastCall = 6;
        int n = firstCall;
        for (; n <= kLastCall; ++n) {
            ChildSetUp setUp{.batchInput = input};
            for (const auto &[name, value] : {std::pair<QString, QString>{"LD_PRELOAD", preloads()}, {"QUILLON_FAULT_OP", op},
                                              {"QUILLON_FAULT_N", QString::number(n)}, {"QUILLON_FAULT_PATH", dir.path()}})
                setUp.env.insert(name, value);
            const ChildRun run = runChild(scenario, QFile::encodeName(target), setUp);
            const QString where = QStringLiteral("call %1: %2").arg(n).arg(run.reported);
            QVERIFY2(run.finished, qPrintable(where));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"quote.pdf"});
            if (run.saved) {
                QVERIFY2(n > firstCall, qPrintable("the failure went unreported; " + where));
                QVERIFY(scenario == kPreviewReopened ? readFile(target) == old
                                                     : pdfText(target).contains(isTool(scenario) ? "Company Name" : "New Agency"));
                break;
            }
            QVERIFY2(readFile(target) == old, qPrintable(where));
            QVERIFY2(run.reported.contains(reason) && (scenario == kWriteQuotePdf || run.reported.contains(target))
                         && (!isTool(scenario) || run.reported.startsWith(QStringLiteral("quillon-quote: cannot write '"))),
                     qPrintable(where));
        }
        QVERIFY2(n <= kLastCall, "the save never succeeded");
    }

    void refusedDestinationsStayAsTheyWere_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("row");
        for (const char *scenario : {kPreviewPage, kToolPdf, kToolBatchPdf})
            for (int row = 0; row < int(std::size(kDestinations)); ++row)
                if (!kDestinations[row].only || qstrcmp(kDestinations[row].only, scenario) == 0)
                    QTest::addRow("%s, %s", scenario, kDestinations[row].name) << QString::fromLatin1(scenario) << row;
    }

    // What is not a regular file its user may write is refused with the reason and left as it was; the end
    // of a chain of links is replaced beside itself; the name given is the file written.
    void refusedDestinationsStayAsTheyWere()
    {
        QFETCH(QString, scenario);
        QFETCH(int, row);
        const auto &[label, destination, replaced, reason, asClerk, only] = kDestinations[row];
        if (asClerk && ::geteuid() == 0 && !clerkPrograms().reachable)
            QSKIP("no folder here that the clerk may enter to run the programs from");
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther | QFile::ReadOther));
        const auto at = [&dir](const char *name) { return QFile::encodeName(dir.filePath(QString::fromLatin1(name))); };
        const QString input = dir.filePath(QStringLiteral("rows.csv"));
        QVERIFY(writeFile(input, "premium,start,end\n1000,1/1/2026,4/11/2026\n"));
        // The second FIFO is where a Latin-1 name read as UTF-8 would lead.
        QVERIFY(::mkfifo(at("fifo.pdf"), 0644) == 0 && ::mkfifo(at("q\xef\xbf\xbd.pdf"), 0644) == 0);
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder.pdf")) && QDir(dir.path()).mkpath(QStringLiteral("store")));
        QVERIFY(WriteQuotePdf(dir.filePath("readonly.pdf"), pageWithCompany("Old Agency")) && ::chmod(at("readonly.pdf"), 0444) == 0);
        QVERIFY(WriteQuotePdf(dir.filePath("store/c3.pdf"), pageWithCompany("Old Agency")) && ::chmod(at("store/c3.pdf"), 0640) == 0);
        QVERIFY(::symlink("/dev/null", at("device.pdf")) == 0 && ::symlink("rows.csv", at("rows-link.pdf")) == 0);
        QVERIFY(::symlink("c2.pdf", at("c1.pdf")) == 0 && ::symlink("store/c3.pdf", at("c2.pdf")) == 0);
        QVERIFY(::symlink("l2.pdf", at("l1.pdf")) == 0 && ::symlink("l1.pdf", at("l2.pdf")) == 0);
        auto before = snapshot(dir.path());

        const ChildRun run = runChild(scenario, destination.startsWith('/') ? destination : QFile::encodeName(dir.path()) + '/' + destination,
                                      {.asClerk = asClerk, .batchInput = input});
        QVERIFY2(run.finished && run.saved == !replaced.isEmpty() && run.reported.contains(reason), qPrintable(run.reported));
        auto after = snapshot(dir.path());
        for (const auto &[name, what] : after)
            QVERIFY2(!name.endsWith(".quillon-tmp") && !name.contains(".part-"), name.constData()); // no temporary file left
        if (!replaced.isEmpty()) {
            const QByteArray file = QFile::encodeName(dir.path()) + '/' + replaced;
            QVERIFY2(after.count(file) && after[file].contains(" %PDF-"), "the quote is in the file at the end of the name");
            // The mode goes with the file replaced; a new file takes the umask.
            if (before.count(file))
                QCOMPARE(after[file].left(after[file].indexOf(' ')), before[file].left(before[file].indexOf(' ')));
            before.erase(file);
            after.erase(file);
        }
        QVERIFY2(after == before, "nothing else changed");
    }
};

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    SetPageDrawProgram(QStringLiteral(QUILLON_PDFPAGE));
    if (qEnvironmentVariableIsSet(kChildScenario))
        return saveInThisProcess(qEnvironmentVariable(kChildScenario), qEnvironmentVariable(kChildTarget));
    TestQuoteFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "Quotefaults_test.moc"

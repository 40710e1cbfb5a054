// Saving a quote while the file system fails, or onto what must not be
// replaced. A preloaded shim (tests/support/Faultshim.c) makes one open,
// write, fsync, close or rename fail in a child that saves over an existing
// quote: a run of this same program (the preview, WriteQuotePdf) or of
// quillon-quote (--pdf, --csv --pdf). Whatever step fails, the earlier file
// must survive byte for byte, no partial file may be left beside it, and the
// reason must be reported.

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
const char kChildScenario[] = "QUILLON_FAULT_CHILD";
const char kChildTarget[] = "QUILLON_FAULT_TARGET";

const char kWriteQuotePdf[] = "WriteQuotePdf";
const char kPreviewPage[] = "preview saving its page";
const char kPreviewReopened[] = "preview saving an opened quote over itself";
const char kToolPdf[] = "quillon-quote --pdf";
const char kToolBatchPdf[] = "quillon-quote --csv --pdf";

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

// The programs the clerk runs, copied where every user may enter: the build folder
// may be in a clone only root can enter. They link no library of the build's own.
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

// The child's side: one save, then "saved", or "failed" and every text it
// reported, one to a line.
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
        if (scenario == kPreviewReopened)
            saved = preview.openPdf(target) && preview.savePdf(target);
        else
            saved = preview.savePdf(target);
    }
    std::printf("%s\n%s\n", saved ? "saved" : "failed", qPrintable(reported.join(u'\n')));
    return 0;
}

// The shim, after the sanitizer's runtime when this program has one: that
// runtime must come first among the libraries of a sanitized process.
QString preloads()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (maps.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : maps.readAll().split('\n')) {
            const qsizetype at = line.indexOf('/');
            if (at >= 0 && line.contains("/libasan.so"))
                return QString::fromLocal8Bit(line.mid(at)) + u':' + QStringLiteral(QUILLON_FAULTSHIM);
        }
    }
    return QStringLiteral(QUILLON_FAULTSHIM);
}

struct ChildRun
{
    bool finished = false;
    bool saved = false;
    QString reported;
};

// A name as a shell word of octal escapes, so that any bytes reach the tool
// as they are.
QString shellBytes(const QByteArray &bytes)
{
    QString word = QStringLiteral("\"$(printf '");
    for (const char c : bytes)
        word += QStringLiteral("\\%1").arg(uint(uchar(c)), 3, 8, QLatin1Char('0'));
    return word + QStringLiteral("')\"");
}

struct ChildSetUp
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    bool asClerk = false;
    QString input; // the rows of a batch
};

// One save of `scenario` onto `target` (bytes, as the file system names it)
// in a child process.
ChildRun runChild(const QString &scenario, const QByteArray &target, ChildSetUp setUp)
{
    QProcessEnvironment &env = setUp.env;
    const bool clerk = setUp.asClerk && ::geteuid() == 0;
    QString program = clerk ? clerkPrograms().self : QCoreApplication::applicationFilePath();
    QStringList arguments;
    if (isTool(scenario)) {
        program = QStringLiteral("/bin/sh");
        QString command = QStringLiteral("exec '%1' --today 12/7/2026 --pdf %2 ")
                              .arg(clerk ? clerkPrograms().tool : QStringLiteral(QUOTE_TOOL), shellBytes(target));
        command += scenario == kToolPdf ? QStringLiteral("1000 1/1/2026 4/11/2026") : QStringLiteral("--quiet --csv '%1'").arg(setUp.input);
        arguments = {QStringLiteral("-c"), command};
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
    ChildRun run;
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return run;
    }
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    if (isTool(scenario)) {
        run.finished = child.exitStatus() == QProcess::NormalExit && (child.exitCode() == 0 || child.exitCode() == 2);
        run.saved = child.exitCode() == 0;
        run.reported = QString::fromLocal8Bit(child.readAllStandardError()).trimmed();
        return run;
    }
    run.finished = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    run.saved = out.startsWith(QStringLiteral("saved\n"));
    run.reported = out.section(u'\n', 1).trimmed();
    return run;
}

ChildRun runFaulty(const QString &scenario, const QString &target, const QString &op, int n, const QString &input)
{
    ChildSetUp setUp;
    setUp.input = input;
    setUp.env.insert(QStringLiteral("LD_PRELOAD"), preloads());
    setUp.env.insert(QStringLiteral("QUILLON_FAULT_OP"), op);
    setUp.env.insert(QStringLiteral("QUILLON_FAULT_N"), QString::number(n));
    setUp.env.insert(QStringLiteral("QUILLON_FAULT_PATH"), QFileInfo(target).absolutePath());
    return runChild(scenario, QFile::encodeName(target), setUp);
}

// What a folder holds, link targets and file contents included, for telling
// whether a refused save changed anything. Names are bytes, as the file
// system keeps them.
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

bool hasTemporaryFiles(const QString &folder)
{
    for (const auto &[name, what] : snapshot(folder))
        if (name.endsWith(".quillon-tmp") || name.contains(".part-"))
            return true;
    return false;
}

} // namespace

class TestQuoteFaults : public QObject
{
    Q_OBJECT

private slots:
    void aFailedSaveKeepsTheEarlierFileAndSaysWhy_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("op");
        QTest::addColumn<int>("firstCall");
        QTest::addColumn<QString>("reason");
        // The shim's default errors: EACCES for open, ENOSPC for write,
        // EIO for the rest.
        struct Fault
        {
            const char *op;
            const char *reason;
        };
        const Fault faults[] = {
            {"open", "Permission denied"},      {"write", "No space left on device"},
            {"fsync", "Input/output error"},    {"close", "Input/output error"},
            {"rename", "Input/output error"},
        };
        for (const char *scenario : {kWriteQuotePdf, kPreviewPage, kPreviewReopened, kToolPdf, kToolBatchPdf}) {
            for (const Fault &fault : faults) {
                // Reading the quote back opens and closes it once before
                // the save begins.
                const bool readFirst = scenario == kPreviewReopened &&
                                       (qstrcmp(fault.op, "open") == 0 || qstrcmp(fault.op, "close") == 0);
                QTest::addRow("%s, %s fails", scenario, fault.op)
                    << QString::fromLatin1(scenario) << QString::fromLatin1(fault.op) << (readFirst ? 2 : 1)
                    << QString::fromLatin1(fault.reason);
            }
        }
    }

    // Fails the first such call of the save, then the second, and so on,
    // until a run has no such call left to fail and saves.
    void aFailedSaveKeepsTheEarlierFileAndSaysWhy()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, op);
        QFETCH(int, firstCall);
        QFETCH(QString, reason);
        QTemporaryDir dir, elsewhere;
        const QString target = dir.filePath(QStringLiteral("quote.pdf"));
        QVERIFY(WriteQuotePdf(target, pageWithCompany("Old Agency")));
        const QByteArray old = readFile(target);
        const QString input = elsewhere.filePath(QStringLiteral("rows.csv"));
        QVERIFY(writeFile(input, "premium,start,end\n1000,1/1/2026,4/11/2026\n250,2/1/2026,3/1/2026\n"));

        constexpr int kLastCall = 6;
        int n = firstCall;
        for (; n <= kLastCall; ++n) {
            const ChildRun run = runFaulty(scenario, target, op, n, input);
            const QString where = QStringLiteral("call %1: %2").arg(n).arg(run.reported);
            QVERIFY2(run.finished, qPrintable(where));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"quote.pdf"});
            if (run.saved) {
                QVERIFY2(n > firstCall, qPrintable("the failure went unreported; " + where));
                if (scenario == kPreviewReopened)
                    QCOMPARE(readFile(target), old);
                else
                    QVERIFY(pdfText(target).contains(isTool(scenario) ? "Company Name" : "New Agency"));
                break;
            }
            QVERIFY2(readFile(target) == old, qPrintable(where));
            QVERIFY2(run.reported.contains(reason), qPrintable(where));
            if (scenario != kWriteQuotePdf)
                QVERIFY2(run.reported.contains(target), qPrintable(where));
            if (isTool(scenario))
                QVERIFY2(run.reported.startsWith(QStringLiteral("quillon-quote: cannot write '")), qPrintable(where));
        }
        QVERIFY2(n <= kLastCall, "the save never succeeded");
    }

    void refusedDestinationsStayAsTheyWere_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QByteArray>("destination");
        QTest::addColumn<QByteArray>("replaced"); // the file that takes the quote; empty: refused
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("asClerk");
        struct Case
        {
            const char *name;
            QByteArray destination;
            QByteArray replaced;
            const char *reason;
            bool asClerk = false;
            const char *only = nullptr; // the one scenario the case applies to
        };
        const QByteArray longName = QByteArray(251, 'q') + ".pdf";
        const Case cases[] = {
            {"a FIFO", "fifo.pdf", "", "Not a regular file"},
            {"a folder", "folder.pdf", "", "Is a directory"},
            {"a device", "/dev/null", "", "Not a regular file"},
            {"a link to a device", "device.pdf", "", "Not a regular file"},
            {"a read-only file", "readonly.pdf", "", "Permission denied", true},
            {"a chain of links", "c1.pdf", "store/c3.pdf", ""},
            {"a loop of links", "l1.pdf", "", "Too many levels of symbolic links"},
            {"a name as long as the file system allows", longName, longName, ""},
            {"a name in Latin-1", "q\xe9.pdf", "q\xe9.pdf", "", false, kToolPdf},
            {"the input, through a link", "rows-link.pdf", "", "It is the input file", false, kToolBatchPdf},
        };
        for (const char *scenario : {kPreviewPage, kToolPdf, kToolBatchPdf}) {
            for (const Case &c : cases) {
                if (c.only && qstrcmp(c.only, scenario) != 0)
                    continue;
                QTest::addRow("%s, %s", scenario, c.name) << QString::fromLatin1(scenario) << c.destination
                                                          << c.replaced << QString::fromLatin1(c.reason) << c.asClerk;
            }
        }
    }

    // What is not a regular file its user may write is refused with the
    // reason and left exactly as it was, and the end of a chain of links
    // is replaced beside itself; the name given is the file written.
    void refusedDestinationsStayAsTheyWere()
    {
        QFETCH(QString, scenario);
        QFETCH(QByteArray, destination);
        QFETCH(QByteArray, replaced);
        QFETCH(QString, reason);
        QFETCH(bool, asClerk);
        if (asClerk && ::geteuid() == 0 && !clerkPrograms().reachable)
            QSKIP("no folder here that the clerk may enter to run the programs from");
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther | QFile::ReadOther));
        const auto at = [&dir](const char *name) { return QFile::encodeName(dir.filePath(QString::fromLatin1(name))); };
        const QString input = dir.filePath(QStringLiteral("rows.csv"));
        QVERIFY(writeFile(input, "premium,start,end\n1000,1/1/2026,4/11/2026\n"));
        QVERIFY(::mkfifo(at("fifo.pdf"), 0644) == 0);
        QVERIFY(::mkfifo(at("q\xef\xbf\xbd.pdf"), 0644) == 0); // where a Latin-1 name read as UTF-8 would lead
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder.pdf")));
        QVERIFY(::symlink("/dev/null", at("device.pdf")) == 0);
        QVERIFY(WriteQuotePdf(dir.filePath(QStringLiteral("readonly.pdf")), pageWithCompany("Old Agency")));
        QVERIFY(::chmod(at("readonly.pdf"), 0444) == 0);
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("store")));
        QVERIFY(WriteQuotePdf(dir.filePath(QStringLiteral("store/c3.pdf")), pageWithCompany("Old Agency")));
        QVERIFY(::chmod(at("store/c3.pdf"), 0640) == 0);
        QVERIFY(::symlink("c2.pdf", at("c1.pdf")) == 0 && ::symlink("store/c3.pdf", at("c2.pdf")) == 0);
        QVERIFY(::symlink("l2.pdf", at("l1.pdf")) == 0 && ::symlink("l1.pdf", at("l2.pdf")) == 0);
        QVERIFY(::symlink("rows.csv", at("rows-link.pdf")) == 0);
        auto before = snapshot(dir.path());

        ChildSetUp setUp;
        setUp.asClerk = asClerk;
        setUp.input = input;
        const ChildRun run = runChild(
            scenario, destination.startsWith('/') ? destination : QFile::encodeName(dir.path()) + '/' + destination, setUp);
        QVERIFY2(run.finished, qPrintable(run.reported));
        QVERIFY2(run.saved == !replaced.isEmpty(), qPrintable(run.reported));
        QVERIFY2(run.reported.contains(reason), qPrintable(run.reported));
        QVERIFY(!hasTemporaryFiles(dir.path()));
        auto after = snapshot(dir.path());
        if (!replaced.isEmpty()) {
            const QByteArray file = QFile::encodeName(dir.path()) + '/' + replaced;
            QVERIFY(after.count(file));
            QVERIFY2(after[file].contains(" %PDF-"), "the quote is in the file at the end of the name");
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

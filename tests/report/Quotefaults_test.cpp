// Saving a quote while the file system fails. A preloaded shim
// (tests/support/Faultshim.c) makes one open, write, fsync, close or rename
// fail in a child run of this same program, which saves over an existing
// quote. Whatever step fails, the earlier file must survive byte for byte,
// no partial file may be left beside it, and the reason must be reported.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "../support/Modalwatch.h"
#include "Errordisplay.h"
#include "Preview.h"
#include "Uprpt.h"

namespace {

// Set in a child run: which save to make, and over what file.
const char kChildScenario[] = "QUILLON_FAULT_CHILD";
const char kChildTarget[] = "QUILLON_FAULT_TARGET";

const char kWriteQuotePdf[] = "WriteQuotePdf";
const char kPreviewPage[] = "preview saving its page";
const char kPreviewReopened[] = "preview saving an opened quote over itself";

QuotePage pageWithCompany(const char *company)
{
    QuotePage page;
    page.setText(QStringLiteral("CoName"), QString::fromLatin1(company));
    return page;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The child's side: one save, then "saved", or "failed" and every text it
// reported, one to a line.
int runChild(const QString &scenario, const QString &target)
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

ChildRun runFaulty(const QString &scenario, const QString &target, const QString &op, int n)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildScenario), scenario);
    env.insert(QString::fromLatin1(kChildTarget), target);
    env.insert(QStringLiteral("LD_PRELOAD"), preloads());
    env.insert(QStringLiteral("QUILLON_FAULT_OP"), op);
    env.insert(QStringLiteral("QUILLON_FAULT_N"), QString::number(n));
    env.insert(QStringLiteral("QUILLON_FAULT_PATH"), QFileInfo(target).absolutePath());
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    ChildRun run;
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return run;
    }
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    run.finished = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    run.saved = out.startsWith(QStringLiteral("saved\n"));
    run.reported = out.section(u'\n', 1).trimmed();
    return run;
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
        for (const char *scenario : {kWriteQuotePdf, kPreviewPage, kPreviewReopened}) {
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
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("quote.pdf"));
        QVERIFY(WriteQuotePdf(target, pageWithCompany("Old Agency")));
        const QByteArray old = bytesOf(target);

        constexpr int kLastCall = 6;
        int n = firstCall;
        for (; n <= kLastCall; ++n) {
            const ChildRun run = runFaulty(scenario, target, op, n);
            const QString where = QStringLiteral("call %1: %2").arg(n).arg(run.reported);
            QVERIFY2(run.finished, qPrintable(where));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"quote.pdf"});
            if (run.saved) {
                QVERIFY2(n > firstCall, qPrintable("the failure went unreported; " + where));
                if (scenario == kPreviewReopened)
                    QCOMPARE(bytesOf(target), old);
                else
                    QVERIFY(pdfText(target).contains("New Agency"));
                break;
            }
            QVERIFY2(bytesOf(target) == old, qPrintable(where));
            QVERIFY2(run.reported.contains(reason), qPrintable(where));
            if (scenario != kWriteQuotePdf)
                QVERIFY2(run.reported.contains(target), qPrintable(where));
        }
        QVERIFY2(n <= kLastCall, "the save never succeeded");
    }
};

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kChildScenario))
        return runChild(qEnvironmentVariable(kChildScenario), qEnvironmentVariable(kChildTarget));
    TestQuoteFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "Quotefaults_test.moc"

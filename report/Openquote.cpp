#include "Openquote.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <cstring>

#include "Platform.h"
#include "Quotefile.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("TQuotePreview", text);
}

QuoteFileRead refused(const QString &reason)
{
    return {QByteArray(), reason};
}

// Why a file of `kind` is not one to read a quote from. A FIFO would wait
// for a writer, a device could give without end.
QString notAFile(quillon::platform::FileKind kind)
{
    using quillon::platform::FileKind;
    switch (kind) {
    case FileKind::Directory:
        return tr("It is a directory, not a file");
    case FileKind::Fifo:
        return tr("It is a named pipe (FIFO), not a file");
    case FileKind::Device:
        return tr("It is a device, not a file");
    case FileKind::Regular:
    case FileKind::Other:
        break;
    }
    return tr("It is not a regular file");
}

QString &givenProgram()
{
    static QString path;
    return path;
}

#ifdef QUILLON_HAVE_QTPDF

enum class Stopped { No, Memory, Time, Output, Abandoned };

// Runs the started `child` to its end with the event loop turning, and
// kills it once it holds more than its memory, takes longer than its time or
// writes more than `expected` bytes. Its output is left in `out`.
Stopped watch(QProcess &child, qint64 expected, QByteArray &out)
{
    // 20 ms is some 20 MB at the pace pdfium inflates a content stream.
    constexpr int kLookEveryMs = 20;
    Stopped stopped = Stopped::No;
    const auto stop = [&](Stopped why) {
        if (stopped == Stopped::No) {
            stopped = why;
            child.kill();
        }
    };
    QEventLoop loop;
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&child, &QProcess::readyReadStandardOutput, &loop, [&] {
        out += child.readAllStandardOutput();
        if (out.size() > expected)
            stop(Stopped::Output);
    });
    const QDeadlineTimer deadline(kPageDrawSeconds * 1000);
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (quillon::platform::ResidentBytes(child.processId()) > std::uint64_t(kPageDrawMiB) << 20)
            stop(Stopped::Memory);
        else if (deadline.hasExpired())
            stop(Stopped::Time);
    });
    look.start(kLookEveryMs);
    if (child.state() != QProcess::NotRunning)
        loop.exec();
    // The loop also ends when the program quits.
    if (child.state() != QProcess::NotRunning) {
        stop(Stopped::Abandoned);
        child.waitForFinished();
    }
    out += child.readAllStandardOutput();
    return stopped;
}

QString whyNotDrawn(Stopped stopped, const QProcess &child, const QByteArray &out)
{
    const QString tooMuchMemory = tr("Drawing its page would take more than %1 MB of memory").arg(kPageDrawMiB);
    const QString tooLong = tr("Drawing its page would take more than %1 seconds").arg(kPageDrawSeconds);
    switch (stopped) {
    case Stopped::Memory:
        return tooMuchMemory;
    case Stopped::Time:
        return tooLong;
    case Stopped::Abandoned:
        return tr("Drawing its page was given up");
    case Stopped::Output:
    case Stopped::No:
        break;
    }
    if (child.exitStatus() == QProcess::CrashExit) {
        // On a crash exitCode() is the signal: this one ends a helper that
        // went past its own bound of processor time.
        if (child.exitCode() == SIGXCPU)
            return tooLong;
    } else if (child.exitCode() == kPageNoQuote) {
        return QString::fromUtf8(out);
    } else if (child.exitCode() == kPageOutOfMemory) {
        return tooMuchMemory;
    }
    return tr("Its page could not be drawn");
}

#endif

} // namespace

QuoteFileRead ReadQuoteFile(const QString &path, qint64 largest)
{
    using quillon::platform::FileRead;
    std::string contents;
    const quillon::platform::BoundedRead read =
        quillon::platform::ReadFileUpTo(QuoteFilePath(path), std::uint64_t(largest), contents);
    if (read.outcome == FileRead::Read && contents.empty())
        return refused(tr("The file is empty"));
    if (read.outcome == FileRead::Read)
        return {QByteArray(contents.data(), qsizetype(contents.size())), QString()};
    if (read.tooLarge)
        return refused(tr("It is too large to be a one-page quote"));
    if (!read.reason.empty())
        return refused(QString::fromStdString(read.reason));
    return refused(notAFile(read.kind));
}

#ifdef QUILLON_HAVE_QTPDF

PageDrawn DrawQuotePage(const QByteArray &pdf, const QSize &size)
{
    QProcess child;
    child.setProgram(PageDrawProgram());
    child.setArguments({QString::number(size.width()), QString::number(size.height())});
    // Its complaints and a sanitizer's reports belong on the program's own
    // standard error; none of it is kept.
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start();
    if (!child.waitForStarted())
        return {QImage(), tr("%1 could not be started: %2").arg(child.program(), child.errorString())};
    child.write(pdf);
    child.closeWriteChannel();

    const qsizetype row = qsizetype(size.width()) * 4;
    const qsizetype expected = row * size.height();
    QByteArray out;
    const Stopped stopped = watch(child, expected, out);
    if (stopped != Stopped::No || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || out.size() != expected)
        return {QImage(), whyNotDrawn(stopped, child, out)};
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return {QImage(), tr("Its page could not be drawn")};
    for (int y = 0; y < size.height(); ++y)
        std::memcpy(image.scanLine(y), out.constData() + y * row, size_t(row));
    return {image, QString()};
}

#else

PageDrawn DrawQuotePage(const QByteArray &, const QSize &)
{
    // Built without Qt Pdf, so without the helper: a PDF with no page
    // record would need a general PDF renderer to draw it.
    return {QImage(), tr("It holds no quote page saved by Quillon, and this system cannot draw any other PDF")};
}

#endif

void SetPageDrawProgram(const QString &path)
{
    givenProgram() = path;
}

QString PageDrawProgram()
{
    if (!givenProgram().isEmpty())
        return givenProgram();
#ifndef QUILLON_HAVE_QTPDF
    return QString();
#else
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/quillon-pdfpage");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral(QUILLON_PDFPAGE_DIR "/quillon-pdfpage");
#endif
}

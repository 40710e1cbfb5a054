#include "Startprobe.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

long long realtimeNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// The kernel's figure for the process's peak and present resident memory.
QByteArray memoryLine()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    QByteArray line;
    for (const QByteArray &entry : status.readAll().split('\n'))
        if (entry.startsWith("VmHWM:") || entry.startsWith("VmRSS:"))
            line += " " + entry.simplified();
    return line;
}

class FirstFrame : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // The backing store is flushed when this paint returns; the
            // next turn of the loop comes after it.
            QTimer::singleShot(0, this, [] {
                const long long now = realtimeNanoseconds();
                const long long launch = qEnvironmentVariable("QUILLON_PROBE_LAUNCH_NS").toLongLong();
                std::printf("first-frame-ms %.1f%s\n", launch > 0 ? double(now - launch) / 1e6 : -1.0,
                            memoryLine().constData());
                std::fflush(stdout);
                QApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

void ReportFirstFrame(QWidget *window)
{
    window->installEventFilter(new FirstFrame(window));
}

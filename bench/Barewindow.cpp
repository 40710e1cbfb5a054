// The yardstick for start-up: a bare Qt Widgets window with a line of text,
// started and timed as the program's own probe is.

#include <QApplication>
#include <QLabel>

#include "Startprobe.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Quillon Insurance Refund Calculator"));
    window.resize(640, 400);
    ReportFirstFrame(&window);
    window.show();
    return app.exec();
}

// The window program started as main() starts it, timed to its main
// window's first frame.

#include "Errordisplay.h"
#include "Startprobe.h"
#include "Startup.h"
#include "Ucalc.h"

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    StartQuillon();
    ReportFirstFrame(FGIS);
    return app.exec();
}

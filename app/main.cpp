// The window program: start-up in the order the forms depend on, then the
// message loop until the main window closes.

#include "Errordisplay.h"
#include "Platform.h"
#include "Startup.h"

int main(int argc, char **argv)
{
    // Before anything opens a file, so that none takes a standard descriptor's number.
    quillon::platform::OpenClosedStandardDescriptors();
    QuillonApplication app(argc, argv);
    StartQuillon();
    return app.exec();
}

// The window program: start-up in the order the forms depend on, then the
// message loop until the main window closes.

#include "Errordisplay.h"
#include "Startup.h"

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    StartQuillon();
    return app.exec();
}

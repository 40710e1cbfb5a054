// The window program: start-up in the order the forms depend on.

#include <QIcon>
#include <QScreen>

#include "Ctlsettings.h"
#include "Errordisplay.h"
#include "Localeset.h"
#include "Picpanel.h"
#include "Ucalc.h"
#include "Uprpt.h"
#include "Ussplash.h"

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    initQuillonPictures();
    // Read once, before any field formats a figure or reads a date.
    SetControlLocale(ReadSystemLocaleSettings());

    // No event loop runs yet, so the splash is painted by hand.
    FSSplash = new TFSSplash();
    FSSplash->paintNow();

    SetApplicationTitle(QStringLiteral("Quillon Insurance Refund Calculator"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/images/quillon.png")));

    FGIS = new TFGIS();
    FGIS->setAttribute(Qt::WA_DeleteOnClose); // closing the main window ends the program
    FQReport = new TFQReport; // lives for the whole run, never shown itself

    FSSplash->hide();
    delete FSSplash;
    FSSplash = nullptr;

    // Centred on the screen it opens on.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        FGIS->move(screen->availableGeometry().center() - FGIS->rect().center());
    FGIS->show();
    return app.exec();
}

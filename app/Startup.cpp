#include "Startup.h"

#include <QIcon>
#include <QScreen>
#include <QStandardPaths>

#include "Ctlsettings.h"
#include "Errordisplay.h"
#include "Localeset.h"
#include "Picpanel.h"
#include "Ucalc.h"
#include "Uprpt.h"
#include "Ussplash.h"

using namespace quillon;

namespace {

// The icon installed with the menu entry, in every size it is installed in,
// each read only when a size is asked for; run from the build folder, where
// none is installed, the embedded drawing. Looked up file by file where the
// package puts them, not through QIcon::fromTheme: the theme's search of
// every one of its folders was the largest single cost of start-up, and no
// theme but the fallback one carries this program's icon.
QIcon programIcon()
{
    QIcon icon;
    for (const int size : {QUILLON_ICON_SIZES}) {
        const QString file = QStandardPaths::locate(
            QStandardPaths::GenericDataLocation,
            QStringLiteral("icons/hicolor/%1x%1/apps/" QUILLON_APP_ID ".png").arg(size));
        if (!file.isEmpty())
            icon.addFile(file, QSize(size, size));
    }
    return icon.isNull() ? QIcon(QStringLiteral(":/images/quillon.png")) : icon;
}

} // namespace

void StartQuillon()
{
    // The installed menu entry and theme icon carry this id (data/), and a
    // desktop groups the windows under that entry by it; a Wayland window
    // takes it when created, so it is set before the splash.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLON_APP_ID));
    initQuillonPictures();
    // Read once, before any field formats a figure or reads a date.
    SetControlLocale(ReadSystemLocaleSettings());

    // No event loop runs yet, so the splash is painted by hand.
    FSSplash = new TFSSplash();
    FSSplash->paintNow();

    SetApplicationTitle(QStringLiteral("Quillon Insurance Refund Calculator"));
    QGuiApplication::setWindowIcon(programIcon());

    FGIS = new TFGIS();
    FGIS->setAttribute(Qt::WA_DeleteOnClose); // closing the main window ends the program
    // The form names the 32-pixel drawing; the installed icon has every size
    // a task switcher asks for.
    FGIS->setWindowIcon(QGuiApplication::windowIcon());
    FQReport = new TFQReport; // lives for the whole run, never shown itself

    FSSplash->hide();
    delete FSSplash;
    FSSplash = nullptr;

    // Centred on the screen it opens on (the primary one, before it is
    // shown), its title bar kept on that screen when a scaled window is
    // taller than the screen.
    CentreOnScreen(FGIS);
    FGIS->show();
}

#include "Startup.h"

#include <QIcon>
#include <QScreen>

#include "Ctlsettings.h"
#include "Errordisplay.h"
#include "Localeset.h"
#include "Picpanel.h"
#include "Ucalc.h"
#include "Uprpt.h"
#include "Ussplash.h"

using namespace quillon;

void StartQuillon()
{
    // The installed menu entry and theme icon carry this id (data/), and a
    // desktop groups the windows under that entry by it; a Wayland window
    // takes it when created, so it is set before the splash.
    QGuiApplication::setDesktopFileName(QStringLiteral("invalid.quillon.Quillon"));
    initQuillonPictures();
    // Read once, before any field formats a figure or reads a date.
    SetControlLocale(ReadSystemLocaleSettings());

    // No event loop runs yet, so the splash is painted by hand.
    FSSplash = new TFSSplash();
    FSSplash->paintNow();

    SetApplicationTitle(QStringLiteral("Quillon Insurance Refund Calculator"));
    // Run from the build folder, where no icon theme has ours, the embedded
    // drawing stands in.
    QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("invalid.quillon.Quillon"),
                                                    QIcon(QStringLiteral(":/images/quillon.png"))));

    FGIS = new TFGIS();
    FGIS->setAttribute(Qt::WA_DeleteOnClose); // closing the main window ends the program
    // The form names the 32-pixel drawing; the theme has every size a task
    // switcher asks for.
    FGIS->setWindowIcon(QGuiApplication::windowIcon());
    FQReport = new TFQReport; // lives for the whole run, never shown itself

    FSSplash->hide();
    delete FSSplash;
    FSSplash = nullptr;

    // Centred on the screen it opens on, its title bar kept on that screen
    // when a scaled window is taller than the screen.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        PlaceOnScreen(FGIS, screen, screen->availableGeometry().center() - FGIS->rect().center());
    FGIS->show();
}

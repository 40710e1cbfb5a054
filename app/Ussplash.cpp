#include "Ussplash.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "Formscale.h"
#include "Picpanel.h"
#include "ui_Ussplash.h"

TFSSplash *FSSplash = nullptr;

TFSSplash::TFSSplash()
    : ui(std::make_unique<Ui::TFSSplash>())
{
    initQuillonPictures();
    ui->setupUi(this);
    FitFormToFonts(this);
    centreOnScreen();
}

TFSSplash::~TFSSplash() = default;

// Before the window is first shown its frame counts as nothing, so this centres
// the client area; once shown, and the frame is known, the whole window.
void TFSSplash::centreOnScreen()
{
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - (frameGeometry().center() - pos()));
}

bool TFSSplash::isExposed() const
{
    const QWindow *window = windowHandle();
    return window && window->isExposed();
}

void TFSSplash::paintNow()
{
    show();
    centreOnScreen();
    raise();
    // The expose that maps the window arrives as a queued event, and until it
    // is handled repaint() paints nothing. A desktop that never exposes the
    // window costs half a second here and the splash, nothing more.
    // The wait sleeps until the window system sends something, rather than
    // spinning: the time is the display server's to map the window.
    const QDeadlineTimer deadline(500);
    QTimer wake; // no event might come at all; its timeout ends the wait
    // Precise: a coarse timer may fire a little early, before the deadline,
    // and the wait would go on to its next tick.
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(500);
    while (!isExposed() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    repaint();
}

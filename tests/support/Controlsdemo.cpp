// A small window with the entry controls, for looking at them by eye and for
// the screenshots in docs/: `controls_demo --open` opens the calendar at once.

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "Ctlsettings.h"
#include "Curred32.h"
#include "Dateedit.h"
#include "Errordisplay.h"
#include "Shortdate.h"

using namespace quillon;

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    SetControlLocale(ReadSystemLocaleSettings());
    SetApplicationTitle(QStringLiteral("Quillon Insurance Refund Calculator"));

    QWidget window;
    window.setWindowTitle(QStringLiteral("Quillon entry controls"));
    window.resize(300, 260);
    auto *premiumLabel = new QLabel(QStringLiteral("Premium"), &window);
    premiumLabel->move(16, 12);
    auto *premium = new TCurrencyEdit(&window);
    premium->move(16, 30);
    premiumLabel->setBuddy(premium);
    auto *dateLabel = new QLabel(QStringLiteral("Inception Date"), &window);
    dateLabel->move(16, 64);
    auto *date = new TDateEdit(&window);
    date->setGeometry(16, 82, 121, 25);
    date->setText(QString::fromStdString(FormatShortDate(Today(), ControlLocale())));
    dateLabel->setBuddy(date);
    window.show();

    if (app.arguments().contains(QStringLiteral("--open")))
        QTimer::singleShot(300, date->button(), &QPushButton::click);
    return app.exec();
}

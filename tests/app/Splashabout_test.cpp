#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>
#include <functional>

#include "Fontsubst.h"
#include "Picpanel.h"
#include "Uaboutbx.h"
#include "Ussplash.h"
#include "../support/Widgettest.h"
#include "../support/Tablerows.h"

namespace {

const QRgb kNavy = qRgb(0, 0, 128);
const QRgb kMaroon = qRgb(128, 0, 0);

const QString kLogo = QStringLiteral(":/images/logo.png");
const char *const kPanelLabels[] = {"Label2", "Label3", "Label4", "Label5", "Label6", "Label7", "Label8"};

int countPixels(const QImage &image, const QRect &area, const std::function<bool(QRgb)> &match)
{
    int n = 0;
    const QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += match(image.pixel(x, y)) ? 1 : 0;
    return n;
}

bool isYellowish(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 80; }
bool isDarkInk(QRgb c) { return qGray(c) < 60; }
bool isGrey(QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); }

QImage rgb32(const QImage &image) { return image.convertToFormat(QImage::Format_RGB32); }

// The logo's rows above the highest label over it, as they should appear in `shot` of `panel` at `panelAt`.
bool showsLogo(const QImage &shot, const TPicturePanel &panel, QPoint panelAt = {})
{
    const QWidget *image = named(&panel, "Image1");
    int top = panel.height();
    for (const char *label : kPanelLabels)
        top = std::min(top, named(&panel, label)->y());
    const QRect band(0, 0, 300, top - image->y());
    const QImage logo(kLogo);
    return !logo.isNull() && band.height() > 20
        && rgb32(shot.copy(band.translated(panelAt + image->pos()))) == rgb32(logo.copy(band));
}

int offCentre(const QWidget &window)
{
    return (window.frameGeometry().center() - window.screen()->availableGeometry().center()).manhattanLength();
}

} // namespace

class TestSplashAbout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initQuillonPictures();
        // As the program's application object does, before any face is chosen.
        InstallFontSubstitutions();
    }

    void pictures_data()
    {
        addColumns<QString, QSize, bool>({"path", "size", "greyed"});
        const QSize glyph(18, 18);
        QTest::newRow("logo") << kLogo << QSize(300, 180) << false;
        QTest::newRow("program icon") << ":/images/quillon.png" << QSize(32, 32) << false;
        // Each glyph also drawn at twice its size, which Qt takes on a 2x screen.
        for (const char *name : {"print", "print-disabled", "exit", "cancel", "cancel-disabled", "save", "save-disabled", "ok"}) {
            const bool greyed = QByteArray(name).endsWith("-disabled");
            QTest::addRow("%s", name) << QStringLiteral(":/images/%1.png").arg(name) << glyph << greyed;
            QTest::addRow("%s@2x", name) << QStringLiteral(":/images/%1@2x.png").arg(name) << glyph * 2 << greyed;
        }
    }
    // Every picture is linked in at its size; a disabled glyph holds only greys, the others have colour.
    void pictures()
    {
        auto [path, size, greyed] = fetchRow<QString, QSize, bool>({"path", "size", "greyed"});
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QCOMPARE(image.size(), size);
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        const int seen = countPixels(argb, argb.rect(), [](QRgb c) { return qAlpha(c) > 0; });
        const int coloured = countPixels(argb, argb.rect(), [](QRgb c) { return qAlpha(c) > 0 && !isGrey(c); });
        QVERIFY(seen > 0);
        QCOMPARE(coloured == 0, greyed);
    }

    void panelLabels_data()
    {
        addColumns<QString, QString>({"name", "text"});
        QTest::newRow("notice heading") << "Label2" << "Copyright (c) 2026";
        QTest::newRow("holders") << "Label3" << "The Quillon developers";
        QTest::newRow("licence") << "Label4" << "Released under the MIT License";
        QTest::newRow("what it is") << "Label5" << "Insurance premium refund calculator";
        // Where the manual is installed, never an address the project does not own.
        QTest::newRow("documentation") << "Label7" << "Documentation: " QUILLON_DOCDIR;
        QTest::newRow("for whom") << "Label8" << "Free software for insurance offices";
        // The same version as the printed quote and quillon-quote --version.
        QTest::newRow("version") << "Label6" << "Version " QUILLON_VERSION;
    }
    // Each label sits over the picture clear of the others, whole, yellow on its own navy ground.
    void panelLabels()
    {
        auto [name, text] = fetchRow<QString, QString>({"name", "text"});
        TPicturePanel panel;
        auto *label = named<QLabel>(&panel, name.toLatin1());
        QCOMPARE(label->parentWidget(), &panel);
        QCOMPARE(label->text(), text);
        QVERIFY(label->width() >= label->sizeHint().width());
        QVERIFY2(named(&panel, "Image1")->geometry().contains(label->geometry()), "the label runs past the picture");
        for (const char *other : kPanelLabels)
            QVERIFY2(other == name || !named(&panel, other)->geometry().intersects(label->geometry()), other);

        const QImage shot = panel.grab().toImage();
        const QRect area = label->geometry();
        const int navy = countPixels(shot, area, [](QRgb c) { return c == kNavy; });
        const int yellow = countPixels(shot, area, isYellowish);
        QVERIFY2(navy * 2 > area.width() * area.height(), qPrintable(QString::number(navy)));
        QVERIFY2(yellow > 10, qPrintable(QString::number(yellow)));
    }

    void panelPictureAndFrame()
    {
        TPicturePanel panel;
        const QImage shot = panel.grab().toImage();
        QVERIFY(showsLogo(shot, panel));
        // Beside and below the picture the panel is maroon.
        const QRect image = named(&panel, "Image1")->geometry();
        QCOMPARE(shot.pixel(image.right() + 2, 100), kMaroon);
        QCOMPARE(shot.pixel(100, image.bottom() + 3), kMaroon);
        // Edge inwards: a dark line, a raised bevel, the maroon border, a lowered bevel.
        const int y = 100, w = panel.width();
        QVERIFY(qGray(shot.pixel(0, y)) < 40 && qGray(shot.pixel(w - 1, y)) < 40);
        QVERIFY(qGray(shot.pixel(2, y)) > qGray(shot.pixel(w - 3, y)));
        QCOMPARE(shot.pixel(5, y), kMaroon);
        QCOMPARE(shot.pixel(w - 6, y), kMaroon);
        QVERIFY(qGray(shot.pixel(8, y)) < qGray(shot.pixel(w - 9, y)));
    }

    // Start-up paints the whole splash before any event loop runs, centred, loading line under it; panels follow a resize.
    void splashPaintedAtOnce()
    {
        TFSSplash splash;
        splash.paintNow();
        const QImage shot = splash.screen()->grabWindow(splash.winId()).toImage();
        QVERIFY2(!shot.isNull(), "nothing was flushed to the window");
        QCOMPARE(shot.size(), splash.size());
        QVERIFY(!splash.windowIcon().isNull());
        QVERIFY(offCentre(splash) <= 2);
        const auto *picture = named<TPicturePanel>(&splash, "Panel1");
        QVERIFY(showsLogo(shot, *picture, picture->pos()));
        QVERIFY(countPixels(shot, picture->geometry(), isYellowish) > 100);
        auto *line = named<QLabel>(&splash, "Label1");
        QCOMPARE(line->text(), QStringLiteral("Program Loading Please Wait.........."));
        QVERIFY(line->width() >= line->sizeHint().width());
        const QRect lineArea(line->mapTo(&splash, QPoint(0, 0)), line->size());
        QVERIFY(lineArea.top() >= picture->geometry().bottom());
        QVERIFY2(countPixels(shot, lineArea, isDarkInk) > 40, "no loading line");

        const int lineHeight = named(&splash, "Panel2")->height();
        splash.resize(400, 300);
        QTRY_COMPARE(named(&splash, "Panel2")->geometry(), QRect(0, 300 - lineHeight, 400, lineHeight));
        QCOMPARE(picture->geometry(), QRect(0, 0, 400, 300 - lineHeight));
    }

    // A box of one size, the picture over its OK button, the default with its glyph. Keys reach OK, focused from the
    // start; Escape is kept from the box, the title bar's close box still works.
    void aboutBoxKeys_data()
    {
        addColumns<int, int>({"key", "result"}); // key: 0: the title bar's close box; result: -1: still open
        QTest::newRow("Return presses OK") << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("keypad Enter presses OK") << int(Qt::Key_Enter) << int(QDialog::Accepted);
        QTest::newRow("space presses the focused OK") << int(Qt::Key_Space) << int(QDialog::Accepted);
        QTest::newRow("Escape leaves the box open") << int(Qt::Key_Escape) << -1;
        QTest::newRow("the close box rejects") << 0 << int(QDialog::Rejected);
    }

    void aboutBoxKeys()
    {
        auto [key, result] = fetchRow<int, int>({"key", "result"});
        QWidget owner;
        owner.show();
        TFAboutBox box(&owner);
        QCOMPARE(box.minimumSize(), box.maximumSize());
        auto *ok = named<QPushButton>(&box, "OKButton");
        QVERIFY(named(&box, "Panel1")->geometry().bottom() < ok->y());
        QVERIFY(box.rect().contains(ok->geometry()));
        QVERIFY(ok->width() >= ok->sizeHint().width());
        QVERIFY(!ok->icon().isNull() && ok->isDefault());
        QSignalSpy rejected(&box, &QDialog::rejected);
        QVERIFY(activate(&box));
        QCOMPARE(QApplication::focusWidget(), named(&box, "OKButton"));
        if (key)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        else
            QVERIFY(box.close());
        QCOMPARE(box.isVisible(), result == -1);
        if (result != -1)
            QCOMPARE(box.result(), result);
        QCOMPARE(rejected.count(), result == QDialog::Rejected ? 1 : 0);
    }
};

QTEST_MAIN(TestSplashAbout)
#include "Splashabout_test.moc"

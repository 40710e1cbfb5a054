#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "Fontsubst.h"
#include "Picpanel.h"
#include "Uaboutbx.h"
#include "Ussplash.h"

namespace {

const QRgb kNavy = qRgb(0, 0, 128);
const QRgb kMaroon = qRgb(128, 0, 0);

const QString kLogo = QStringLiteral(":/images/logo.png");
const QRect kImage1(16, 16, 302, 181);
// Rows of the picture above the highest label (Label2 at y 84), where the
// picture shows as it is.
const int kClearRows = 84 - kImage1.top();

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

// The logo's top rows, as they should appear at `origin` in `shot`.
bool showsLogoAt(const QImage &shot, QPoint origin)
{
    const QRect band(0, 0, 300, kClearRows);
    const QImage logo(kLogo);
    return !logo.isNull() && rgb32(shot.copy(band.translated(origin))) == rgb32(logo.copy(band));
}

template <typename T>
T *named(const QObject *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

int distance(QPoint a, QPoint b) { return (a - b).manhattanLength(); }

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
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("greyed");
        const QSize glyph(18, 18);
        QTest::newRow("logo") << kLogo << QSize(300, 180) << false;
        QTest::newRow("program icon") << ":/images/quillon.png" << QSize(32, 32) << false;
        // Each glyph also drawn at twice its size, which Qt takes on a 2x screen.
        const struct
        {
            const char *name;
            bool greyed;
        } glyphs[] = {{"print", false}, {"print-disabled", true}, {"exit", false}, {"cancel", false},
                      {"cancel-disabled", true}, {"save", false}, {"save-disabled", true}, {"ok", false}};
        for (const auto &g : glyphs) {
            QTest::addRow("%s", g.name) << QStringLiteral(":/images/%1.png").arg(QLatin1String(g.name)) << glyph
                                        << g.greyed;
            QTest::addRow("%s@2x", g.name) << QStringLiteral(":/images/%1@2x.png").arg(QLatin1String(g.name))
                                           << glyph * 2 << g.greyed;
        }
    }
    // Every picture is linked in at its size; a disabled glyph holds only greys,
    // the others have colour.
    void pictures()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(bool, greyed);
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QCOMPARE(image.size(), size);
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        const int seen = countPixels(argb, argb.rect(), [](QRgb c) { return qAlpha(c) > 0; });
        const int coloured = countPixels(argb, argb.rect(), [](QRgb c) { return qAlpha(c) > 0 && !isGrey(c); });
        QVERIFY(seen > 0);
        if (greyed)
            QCOMPARE(coloured, 0);
        else
            QVERIFY(coloured > 0);
    }

    void panelLabels_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<QString>("text");
        QTest::newRow("notice heading") << "Label2" << QPoint(132, 84) << "Copyright (c) 2026";
        QTest::newRow("holders") << "Label3" << QPoint(112, 104) << "The Quillon developers";
        QTest::newRow("licence") << "Label4" << QPoint(116, 120) << "Released under the MIT License";
        QTest::newRow("what it is") << "Label5" << QPoint(92, 136) << "Insurance premium refund calculator";
        // Where the manual is installed, never an address the project does not own.
        QTest::newRow("documentation") << "Label7" << QPoint(52, 152) << "Documentation: " QUILLON_DOCDIR;
        QTest::newRow("for whom") << "Label8" << QPoint(108, 168) << "Free software for insurance offices";
        // The same version as the printed quote and quillon-quote --version.
        QTest::newRow("version") << "Label6" << QPoint(20, 180) << "Version " QUILLON_VERSION;
    }
    // Each label sits at its place over the picture, shows all of its text
    // and paints its own navy ground under yellow letters.
    void panelLabels()
    {
        QFETCH(QString, name);
        QFETCH(QPoint, pos);
        QFETCH(QString, text);
        TPicturePanel panel;
        auto *label = panel.findChild<QLabel *>(name);
        QVERIFY(label);
        QCOMPARE(label->parentWidget(), &panel);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->pos(), pos);
        QCOMPARE(label->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(label->font().pointSize(), 8);
        QVERIFY(label->width() >= label->sizeHint().width());
        QVERIFY2(label->geometry().right() <= kImage1.right(), "the label runs past the picture");

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
        QCOMPARE(panel.objectName(), QStringLiteral("Panel1"));
        QCOMPARE(panel.size(), QSize(336, 213));
        auto *image = named<QLabel>(&panel, "Image1");
        QVERIFY(image);
        QCOMPARE(image->geometry(), kImage1);
        QCOMPARE(image->pixmap().size(), QSize(300, 180));

        const QImage shot = panel.grab().toImage();
        QVERIFY(showsLogoAt(shot, kImage1.topLeft()));
        // Beside and below the picture the panel is maroon.
        QCOMPARE(shot.pixel(320, 100), kMaroon);
        QCOMPARE(shot.pixel(100, 200), kMaroon);
        // From the edge inwards: a dark line, a raised bevel (light on the
        // left, dark on the right), the maroon border, a lowered bevel
        // (dark on the left, light on the right).
        const int y = 100, w = panel.width();
        QVERIFY(qGray(shot.pixel(0, y)) < 40 && qGray(shot.pixel(w - 1, y)) < 40);
        QVERIFY(qGray(shot.pixel(2, y)) > qGray(shot.pixel(w - 3, y)));
        QCOMPARE(shot.pixel(5, y), kMaroon);
        QCOMPARE(shot.pixel(w - 6, y), kMaroon);
        QVERIFY(qGray(shot.pixel(8, y)) < qGray(shot.pixel(w - 9, y)));
    }

    // Start-up paints the splash before any event loop runs: what the window
    // system holds for the window right after paintNow() is the finished
    // picture, not a blank.
    void splashPaintedAtOnce()
    {
        TFSSplash splash;
        splash.paintNow();
        const QImage shot = splash.screen()->grabWindow(splash.winId()).toImage();
        QVERIFY2(!shot.isNull(), "nothing was flushed to the window");
        QCOMPARE(shot.size(), QSize(336, 254));
        QVERIFY(showsLogoAt(shot, kImage1.topLeft()));
        auto *label1 = named<QLabel>(&splash, "Label1");
        QVERIFY(label1);
        const QRect lineArea(label1->mapTo(&splash, QPoint(0, 0)), label1->size());
        QVERIFY2(countPixels(shot, lineArea, isDarkInk) > 40, "no loading line");
        QVERIFY(countPixels(shot, QRect(0, 84, 336, 110), isYellowish) > 100);
    }

    void splashLayout()
    {
        TFSSplash splash;
        splash.paintNow();
        QCOMPARE(splash.windowTitle(), QStringLiteral("Quillon - Copyright (c) 2026 The Quillon developers"));
        QCOMPARE(splash.size(), QSize(336, 254));
        QVERIFY(splash.isWindow());
        QVERIFY(!splash.windowIcon().isNull());
        auto *panel1 = named<TPicturePanel>(&splash, "Panel1");
        auto *panel2 = named<TBevelPanel>(&splash, "Panel2");
        auto *label1 = named<QLabel>(&splash, "Label1");
        QVERIFY(panel1 && panel2 && label1);
        QCOMPARE(panel1->geometry(), QRect(0, 0, 336, 213));
        QCOMPARE(panel2->geometry(), QRect(0, 213, 336, 41));
        QCOMPARE(label1->parentWidget(), panel2);
        QCOMPARE(label1->geometry(), QRect(8, 11, 293, 19));
        QCOMPARE(label1->text(), QStringLiteral("Program Loading Please Wait.........."));
        QCOMPARE(label1->alignment(), Qt::AlignCenter);
        QCOMPARE(label1->font().family(), QStringLiteral("Times New Roman"));
        QCOMPARE(label1->font().pointSize(), 12);
        QVERIFY(label1->font().italic());
        const QRect screen = splash.screen()->availableGeometry();
        QVERIFY(distance(splash.frameGeometry().center(), screen.center()) <= 2);
    }

    void splashFollowsResizing()
    {
        TFSSplash splash;
        splash.paintNow();
        splash.resize(400, 300);
        QTRY_COMPARE(named<QWidget>(&splash, "Panel2")->geometry(), QRect(0, 259, 400, 41));
        QCOMPARE(named<QWidget>(&splash, "Panel1")->geometry(), QRect(0, 0, 400, 259));
    }

    void aboutBoxLayout()
    {
        TFAboutBox box;
        QCOMPARE(box.windowTitle(), QStringLiteral("About Quillon"));
        QCOMPARE(box.minimumSize(), QSize(336, 248));
        QCOMPARE(box.maximumSize(), QSize(336, 248));
        auto *panel = named<TPicturePanel>(&box, "Panel1");
        QVERIFY(panel);
        QCOMPARE(panel->geometry(), QRect(0, 0, 336, 213));
        auto *ok = named<QPushButton>(&box, "OKButton");
        QVERIFY(ok);
        QCOMPARE(ok->geometry(), QRect(119, 218, 82, 27));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->font().bold());
        QCOMPARE(ok->font().family(), QStringLiteral("MS Sans Serif"));
        QVERIFY(!ok->icon().isNull());
        QVERIFY(ok->isDefault());
    }

    void aboutBoxKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Return presses OK") << int(Qt::Key_Return) << true;
        QTest::newRow("keypad Enter presses OK") << int(Qt::Key_Enter) << true;
        QTest::newRow("space presses the focused OK") << int(Qt::Key_Space) << true;
        QTest::newRow("Escape leaves the box open") << int(Qt::Key_Escape) << false;
    }
    // Keys go where the user's keys go: to the focused control, which must be
    // OK from the moment the box opens.
    void aboutBoxKeys()
    {
        QFETCH(int, key);
        QFETCH(bool, closes);
        QWidget owner;
        owner.show();
        TFAboutBox box(&owner);
        QSignalSpy rejected(&box, &QDialog::rejected);
        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QCOMPARE(QApplication::focusWidget(), named<QWidget>(&box, "OKButton"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(box.isVisible(), !closes);
        if (closes)
            QCOMPARE(box.result(), int(QDialog::Accepted));
        QCOMPARE(rejected.count(), 0);
    }

    // Escape is kept from the box, but closing from the title bar still works.
    void aboutBoxCloseBox()
    {
        TFAboutBox box;
        QSignalSpy rejected(&box, &QDialog::rejected);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QVERIFY(box.close());
        QVERIFY(!box.isVisible());
        QCOMPARE(rejected.count(), 1);
    }

    // The main window's way of showing the box, twice: each time a new box
    // is the only one, modal and centred on the screen (not over its owner,
    // which sits in a corner here), and Enter ends it.
    void aboutBoxTwiceInARow()
    {
        QWidget owner;
        owner.setGeometry(0, 0, 300, 200);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        for (int round = 0; round < 2; ++round) {
            int result = -1;
            int boxesWhileOpen = 0;
            bool modal = false;
            bool focusOnOk = false;
            int offCentre = -1;
            {
                TFAboutBox box(&owner);
                QTimer poll;
                QElapsedTimer waited;
                waited.start();
                connect(&poll, &QTimer::timeout, &box, [&] {
                    if (waited.elapsed() > 5000) {
                        box.done(-1); // give up rather than hang the run
                        return;
                    }
                    if (!box.isActiveWindow())
                        return;
                    poll.stop();
                    boxesWhileOpen = int(owner.findChildren<TFAboutBox *>().size());
                    modal = QApplication::activeModalWidget() == &box;
                    focusOnOk = QApplication::focusWidget() == named<QWidget>(&box, "OKButton");
                    // In the middle of the screen, wherever its owner is.
                    offCentre = distance(box.frameGeometry().center(), box.screen()->availableGeometry().center());
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                });
                poll.start(10);
                result = box.exec();
            }
            QCOMPARE(result, int(QDialog::Accepted));
            QCOMPARE(boxesWhileOpen, 1);
            QVERIFY(modal);
            QVERIFY(focusOnOk);
            QVERIFY2(offCentre >= 0 && offCentre <= 2, qPrintable(QString::number(offCentre)));
            QVERIFY(owner.findChildren<TFAboutBox *>().isEmpty());
        }
    }
};

QTEST_MAIN(TestSplashAbout)
#include "Splashabout_test.moc"

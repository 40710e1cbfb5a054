#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QScreen>
#include <QtTest>
#include <fstream>
#ifdef _WIN32
// No FIFOs at a path and no alarm: the rows that need them are POSIX only.
static unsigned alarm(unsigned) { return 0; }
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "Errordisplay.h"
#include "Maskedit.h"
#include "Radiogrp.h"
#include "Shortdate.h"
#include "Ucalc.h"
#include "Ucompany.h"
#include "Urules.h"
#include "../support/Modalwatch.h"
#include "../support/Widgettest.h"
#include "../support/Tablerows.h"

using namespace quillon;

class TestCompanyInfo : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<TFGIS> m_window;

    QString iniPath() const { return m_config->filePath("Quillon32.Ini"); }
    std::string fileText() const
    {
        std::ifstream file(iniPath().toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
    void writeFile(const std::string &text) const { std::ofstream(iniPath().toStdString(), std::ios::binary) << text; }
    // Starts the window, on a settings file of `file` where it is given.
    void openWindow(const std::string &file = {})
    {
        if (!file.empty())
            writeFile(file);
        m_window = std::make_unique<TFGIS>();
        FGIS = m_window.get();
        QVERIFY(activate(m_window.get()));
    }
    // The boxes `watch` saw, leaving out the dialog it was started over.
    static QList<ModalWatch::Seen> boxes(const ModalWatch &watch)
    {
        QList<ModalWatch::Seen> seen = watch.seen();
        seen.removeIf([](const ModalWatch::Seen &s) { return s.className != QLatin1String("QMessageBox"); });
        return seen;
    }
    // Opens the dialog and lets `act` work in it once active; a failing check in `act` gets the dialog closed here.
    QList<ModalWatch::Seen> withDialog(const std::function<void(QWidget *)> &act, const char *dialogClass = "TFCompanyInfo",
                                       void (TFGIS::*open)() = &TFGIS::BitBtn3Click)
    {
        ModalWatch watch([&](QWidget *modal) {
            if (!modal->inherits(dialogClass))
                return;
            QPointer<QWidget> dialog = modal;
            if (activate(modal))
                act(modal);
            else
                QTest::qFail("the dialog never became active", __FILE__, __LINE__);
            if (dialog && QTest::currentTestFailed())
                static_cast<QDialog *>(dialog.data())->reject();
        });
        (m_window.get()->*open)();
        return watch.seen();
    }

private slots:
    void init()
    {
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
        SetApplicationTitle("Quillon Insurance Refund Calculator");
        CompanyInfo = {};
    }

    void cleanup() { m_window.reset(); m_config.reset(); }

    // A first start shows the defaults and writes nothing; after it only the exact word ON shows hints.
    void onlyTheExactWordOnShowsHints_data()
    {
        addColumns<QString, bool>({"stored", "shown"}); // stored: null: no file
        QTest::newRow("first start") << QString() << true;
        QTest::newRow("ON") << "ON" << true;
        QTest::newRow("lower case") << "on" << false;
        QTest::newRow("OFF") << "OFF" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("padded value is read trimmed") << "  ON  " << true;
    }

    void onlyTheExactWordOnShowsHints()
    {
        auto [stored, shown] = fetchRow<QString, bool>({"stored", "shown"});
        openWindow(stored.isNull() ? std::string() : "[REQUIRED]\r\nMinihelp=" + stored.toStdString() + "\r\n");
        QCOMPARE(m_window->hintsShown(), shown);
        QCOMPARE(m_window->LCoName()->text(), QString("Company Name"));
        QCOMPARE(CompanyInfo.CityLine, QString());
        QCOMPARE(QFile::exists(iniPath()), !stored.isNull());
    }

    void cityLineJoinsItsParts_data()
    {
        addColumns<QString, QString, QString, QString>({"city", "state", "zip", "line"});
        QTest::newRow("all") << "Springfield" << "IL" << "62701" << "Springfield,IL  62701";
        QTest::newRow("no state") << "Springfield" << "" << "62701" << "Springfield,  62701";
        QTest::newRow("zip only") << "" << "" << "62701" << ",  62701";
        QTest::newRow("none") << "" << "" << "" << "";
    }

    void cityLineJoinsItsParts()
    {
        auto [city, state, zip, line] = fetchRow<QString, QString, QString, QString>({"city", "state", "zip", "line"});
        CompanyInfo.City = city;
        CompanyInfo.State = state;
        CompanyInfo.Zip = zip;
        ComposeCityLine();
        QCOMPARE(CompanyInfo.CityLine, line);
    }

    void saveAndLoadGiveTheSameRecord()
    {
        SaveCompanyInfo({}, {"Acme", "1 Main St", "Suite 2", "Springfield", "IL", "62701", "( 12) 555-1234",
                         "(999) 555-0000", "OFF", ""});
        const TCompanyInfo saved = CompanyInfo;
        CompanyInfo = {};
        LoadCompanyInfo();
        for (auto member : {&TCompanyInfo::Co, &TCompanyInfo::Add1, &TCompanyInfo::Add2, &TCompanyInfo::City,
                            &TCompanyInfo::State, &TCompanyInfo::Zip, &TCompanyInfo::Phone, &TCompanyInfo::Fax,
                            &TCompanyInfo::Minihelp, &TCompanyInfo::CityLine})
            QCOMPARE(CompanyInfo.*member, saved.*member);
        QCOMPARE(CompanyInfo.CityLine, QString("Springfield,IL  62701"));
    }

    // Another window saves a new name before the dialog opens, a fax is added while open; the clerk changes the zip.
    void aSaveKeepsWhatOthersChanged()
    {
        openWindow("[REQUIRED]\r\nCo=Old Agency\r\nZip=04101\r\n");
        writeFile("[REQUIRED]\r\nCo=Alpha Agency\r\nZip=04101\r\n");
        withDialog([&](QWidget *dialog) {
            QCOMPARE(named<QLineEdit>(dialog, "Edit1")->text(), QString("Alpha Agency"));
            writeFile("[REQUIRED]\r\nCo=Alpha Agency\r\nZip=04101\r\nFax=+1 207 555 0199\r\n");
            named<QLineEdit>(dialog, "Edit6")->setText("04102");
            named<QPushButton>(dialog, "BitBtn2")->click();
        });
        QCOMPARE(fileText(), std::string("[REQUIRED]\r\nCo=Alpha Agency\r\nZip=04102\r\nFax=+1 207 555 0199\r\nAdd1=\r\n"
                                         "Add2=\r\nCity=\r\nState=\r\nPhone=(   )    -    \r\nMinihelp=ON\r\n"));
        QCOMPARE(CompanyInfo.Phone, QString("(   )    -")); // read back from the file, which trims
        QCOMPARE(m_window->LCoName()->text(), QString("Alpha Agency"));
    }

    // Each caption whole, left of its field and level with it; the dialog centred on the screen, not over the window.
    // An empty number, read back trimmed, still fills the mask.
    void opensCentredWithItsCaptionsBesideTheirFields()
    {
        openWindow("[REQUIRED]\r\nPhone=(   )    -    \r\n");
        QCOMPARE(CompanyInfo.Phone, QString("(   )    -")); // values are read trimmed
        m_window->move(0, 0);
        withDialog([](QWidget *dialog) {
            QCOMPARE(named<TMaskEdit>(dialog, "MaskEdit2")->Text(), QString("(   )    -    "));
            int captions = 0;
            for (const QLabel *caption : dialog->findChildren<QLabel *>()) {
                const QWidget *field = caption->buddy();
                if (!field)
                    continue;
                ++captions;
                QCOMPARE(caption->y(), field->y());
                QVERIFY2(caption->geometry().right() < field->x(), qPrintable(caption->text()));
                QVERIFY2(caption->width() >= caption->sizeHint().width(), qPrintable(caption->text()));
            }
            QCOMPARE(captions, 8);
            const QPoint offCentre = dialog->frameGeometry().center() - dialog->screen()->availableGeometry().center();
            QVERIFY2(offCentre.manhattanLength() <= 2, qPrintable(QString::number(offCentre.manhattanLength())));
            static_cast<QDialog *>(dialog)->reject();
        });
    }

    void saveTakesEveryControlAndSwitchesHintsAtOnce()
    {
        openWindow();
        withDialog([](QWidget *dialog) {
            QCOMPARE(named<QLineEdit>(dialog, "Edit1")->text(), QString("Company Name"));
            QCOMPARE(named<TMaskEdit>(dialog, "MaskEdit2")->Text(), QString("(   )    -    "));
            QVERIFY(named<QRadioButton>(dialog, "MiniHelpOn")->isChecked());
            QTest::keyClicks(named<QLineEdit>(dialog, "Edit6"), "k1a 2b3");
            auto *phone = named<TMaskEdit>(dialog, "MaskEdit2");
            phone->setFocus(Qt::TabFocusReason);
            phone->setCursorPosition(1);
            QTest::keyClicks(phone, "12");
            phone->setCursorPosition(6);
            QTest::keyClicks(phone, "5551234");
            named<QRadioButton>(dialog, "MiniHelpOff")->click();
            named<QPushButton>(dialog, "BitBtn2")->click();
        });
        QCOMPARE(CompanyInfo.Zip, QString("K1A 2B3"));
        QCOMPARE(CompanyInfo.Phone, QString("( 12) 555-1234"));
        QCOMPARE(CompanyInfo.Minihelp, QString("OFF"));
        QVERIFY(!m_window->hintsShown());
        QVERIFY(fileText().find("Minihelp=OFF") != std::string::npos);
        QVERIFY(fileText().find("Zip=K1A 2B3") != std::string::npos);
    }

    // Enter and Escape leave the dialog open; Cancel closes it and changes nothing in memory or on disk.
    void cancelChangesNothingInMemoryOrOnDisk()
    {
        openWindow("[REQUIRED]\r\nCo=Acme\r\n");
        const TCompanyInfo before = CompanyInfo;
        QPointer<QWidget> opened;
        bool stillOpen = false;
        withDialog([&](QWidget *dialog) {
            opened = dialog;
            named<QLineEdit>(dialog, "Edit1")->setText("Changed");
            named<QRadioButton>(dialog, "MiniHelpOff")->click();
            QTest::keyClick(named<QLineEdit>(dialog, "Edit1"), Qt::Key_Return);
            QTest::keyClick(named<QLineEdit>(dialog, "Edit1"), Qt::Key_Escape);
            stillOpen = dialog->isVisible();
            named<QPushButton>(dialog, "BitBtn1")->click();
        });
        QVERIFY(stillOpen);
        QTRY_VERIFY(opened.isNull());
        QCOMPARE(CompanyInfo.Co, before.Co);
        QCOMPARE(CompanyInfo.Minihelp, before.Minihelp);
        QCOMPARE(fileText(), std::string("[REQUIRED]\r\nCo=Acme\r\n"));
        QCOMPARE(m_window->LCoName()->text(), QString("Acme"));
    }

    void anIncompletePhoneIsRefusedAndEscapeRestoresIt()
    {
        openWindow();
        QList<ModalWatch::Seen> errors;
        QString afterEscape;
        bool focusBack = false;
        withDialog([&](QWidget *dialog) {
            auto *phone = named<TMaskEdit>(dialog, "MaskEdit2");
            ModalWatch inner([](QWidget *) {}); // boxes only: the dialog itself stays open
            phone->setFocus(Qt::TabFocusReason);
            phone->setCursorPosition(6);
            QTest::keyClicks(phone, "555");
            named<QLineEdit>(dialog, "Edit1")->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(!boxes(inner).isEmpty());
            errors = boxes(inner);
            QTRY_VERIFY(phone->hasFocus());
            focusBack = true;
            QTest::keyClick(phone, Qt::Key_Escape);
            afterEscape = phone->Text();
            named<QPushButton>(dialog, "BitBtn1")->click();
        });
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().text, QString("Invalid input value.  Use escape key to abandon changes."));
        QVERIFY(focusBack);
        QCOMPARE(afterEscape, QString("(   )    -    "));
    }

    // Changing only the name keeps every other byte as written by hand, and adds our missing keys to our section.
    void untouchedValuesKeepTheirBytes_data()
    {
        // saved: empty: the file with the new name
        addColumns<QByteArray, QString, QByteArray>({"file", "shownAdd1", "saved"});
        const QByteArray keys = "Co=Old Agency\r\nAdd1=1 Quay St\r\nAdd2=\r\nCity=Portland\r\nState=ME\r\n"
                                "Zip=04101\r\nPhone=(207) 555-0100\r\nFax=(207) 555-0199\r\nMinihelp=ON\r\n";
        const QByteArray section = "[REQUIRED]\r\n" + keys;
        QTest::newRow("phone typed without the mask")
            << QByteArray(section).replace("Phone=(207) 555-0100", "Phone=555-1234") << "1 Quay St" << QByteArray();
        QTest::newRow("fax in international form")
            << QByteArray(section).replace("Fax=(207) 555-0199", "Fax=+1 212 555 0100") << "1 Quay St" << QByteArray();
        QTest::newRow("Latin-1 address shown as such")
            << QByteArray(section).replace("1 Quay St", "Caf\xE9 du Port") << QStringLiteral("Caf\u00E9 du Port") << QByteArray();
        QTest::newRow("byte-order mark") << "\xEF\xBB\xBF" + section << "1 Quay St" << QByteArray();
        QTest::newRow("LF line ends, spacing, comments and other sections")
            << QByteArray("; by hand\n[Printer]\nName=Front\n\n[REQUIRED]\n" + keys + "; ours end\n\n[Tail]\nx=\xFF\n")
                   .replace("\r\n", "\n")
                   .replace("Zip=04101", "  Zip =  04101  ")
            << "1 Quay St" << QByteArray();
        QTest::newRow("a section of another case, a key spaced, our keys missing")
            << QByteArray("; kept\r\n[required]\r\nco = Old Agency\r\nExtra=stays\r\n\r\n[Last]\r\nx=1\r\n") << ""
            << QByteArray("; kept\r\n[required]\r\nco=New Agency\r\nExtra=stays\r\nAdd1=\r\nAdd2=\r\nCity=\r\nState=\r\n"
                          "Zip=\r\nPhone=(   )    -    \r\nFax=(   )    -    \r\nMinihelp=ON\r\n\r\n[Last]\r\nx=1\r\n");
    }

    void untouchedValuesKeepTheirBytes()
    {
        auto [file, shownAdd1, saved] = fetchRow<QByteArray, QString, QByteArray>({"file", "shownAdd1", "saved"});
        openWindow(file.toStdString());
        QCOMPARE(m_window->LCoName()->text(), QString("Old Agency"));
        QString shown;
        withDialog([&](QWidget *dialog) {
            shown = named<QLineEdit>(dialog, "Edit2")->text();
            named<QLineEdit>(dialog, "Edit1")->setText("New Agency");
            named<QPushButton>(dialog, "BitBtn2")->click();
        });
        QCOMPARE(shown, shownAdd1);
        QCOMPARE(QByteArray::fromStdString(fileText()),
                 saved.isEmpty() ? QByteArray(file).replace("Co=Old Agency", "Co=New Agency") : saved);
        QCOMPARE(m_window->LCoName()->text(), QString("New Agency"));
    }

    // [RULES] goes through the one settings writer, survives a restart and keeps other bytes; a refusal or failed
    // save shows why, saves nothing and leaves the dialog open.
    void officeRulesSurviveARestartAndKeepEveryOtherByte_data()
    {
        // rule: its radio button; typed: the share, or the table's name in the settings folder;
        // error: %1 the settings folder; line: under the figures, then after a restart
        addColumns<QString, QString, QString, QString, QByteArray, QString>({"rule", "typed", "minimum", "error", "added", "line"});
        const QString help = "Click right mouse button for popup menu";
        QTest::newRow("90% and 150") << "RBShare" << "90" << "150" << "" << QByteArray("[RULES]\nShortRate=90%\nMinimumEarned=150.00\n")
            << "Office rules: short rate 90% of pro rata, minimum earned premium $150.00.";
        QTest::newRow("a table file and 25%") << "RBTable" << "good.csv" << "25%" << "" << QByteArray("[RULES]\nShortRate=%1/good.csv\nMinimumEarned=25%\n")
            << "Office rules: short rate by the 12-month table good.csv, minimum earned premium 25% of the premium.";
        QTest::newRow("the built-in rules write nothing") << "RBTables" << "" << "" << "" << QByteArray() << help;
        QTest::newRow("a malformed table") << "RBTable" << "bad.csv" << "" << "%1/bad.csv, line 4: days 5 to 6 are missing." << QByteArray() << help;
        QTest::newRow("a minimum that is no amount") << "RBShare" << "90" << "lots"
            << "'lots' is not a minimum earned premium: an amount, or a percentage from 0% to 100%" << QByteArray() << help;
        QTest::newRow("a save that fails") << "RBShare" << "90" << "" << "Unable to write to %1/blocked/Quillon32.Ini." << QByteArray() << help;
    }

    void officeRulesSurviveARestartAndKeepEveryOtherByte()
    {
        auto [rule, typed, minimum, error, added, line] =
            fetchRow<QString, QString, QString, QString, QByteArray, QString>({"rule", "typed", "minimum", "error", "added", "line"});
        const QString folder = m_config->path();
        const std::string file = "; by hand\n[Printer]\nName=Front\n\n[REQUIRED]\nCo=Acme\nPhone=555-1234\n  Zip =  04101  \n"
                                 "Minihelp=ON\n\n[Tail]\nx=\xFF\n";
        std::ofstream(m_config->filePath("good.csv").toStdString()) << "term_months,12\ndays,earned_percent\n0-365,50\n";
        std::ofstream(m_config->filePath("bad.csv").toStdString()) << "term_months,12\ndays,earned_percent\n0-4,5\n7-365,50\n";
        openWindow(file);
        if (error.startsWith("Unable")) {
            QFile(m_config->filePath("blocked")).open(QIODevice::WriteOnly);
            qputenv("XDG_CONFIG_HOME", m_config->filePath("blocked").toLocal8Bit());
        }
        QStringList errors;
        bool openAfterEnter = false;
        withDialog(
            [&](QWidget *dialog) {
                ModalWatch inner([](QWidget *) {});
                named<QRadioButton>(dialog, rule.toLatin1())->click();
                auto *field = named<QLineEdit>(dialog, rule == "RBTable" ? "ETable" : "EShare");
                QTest::keyClicks(field, rule == "RBTable" ? folder + '/' + typed : typed);
                QTest::keyClicks(named<QLineEdit>(dialog, "EMinimum"), minimum);
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Return); // saves
                for (const ModalWatch::Seen &seen : inner.seen())
                    errors << QDir::fromNativeSeparators(seen.text);
                openAfterEnter = dialog->isVisible();
                if (openAfterEnter)
                    QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
            },
            "TFRules", &TFGIS::OfficeRules1Click);
        QCOMPARE(errors, error.isEmpty() ? QStringList() : QStringList{error.arg(folder)});
        QCOMPARE(openAfterEnter, !error.isEmpty());
        QCOMPARE(QString::fromStdString(fileText()), QString::fromStdString(file) + QString::fromLatin1(added).arg(folder));
        QCOMPARE(m_window->findChild<QLabel *>("Label25")->text(), line);
        qputenv("XDG_CONFIG_HOME", folder.toLocal8Bit());
        m_window.reset();
        openWindow(); // a restart
        QCOMPARE(m_window->findChild<QLabel *>("Label25")->text(), line);
    }

    // A failed save is reported, the dialog closes, the window keeps what it read; something at the settings path
    // that is no readable file: start-up uses the defaults without waiting on it, and no save replaces it.
    void aFailedSaveChangesNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a file where the settings folder should be") << "blocked";
#ifndef _WIN32
        QTest::newRow("FIFO") << "fifo";
#endif
        QTest::newRow("folder") << "folder";
        // The window showed the defaults, not the details this file holds.
        QTest::newRow("folder, a readable file by the time of the save") << "file later";
    }

    void aFailedSaveChangesNothing()
    {
        QFETCH(QString, kind);
        const QByteArray path = iniPath().toLocal8Bit();
        const std::string savedFile = "[REQUIRED]\r\nCo=Saved Name\r\nMinihelp=ON\r\n";
        if (kind == "blocked")
            writeFile(savedFile);
#ifndef _WIN32
        else if (kind == "fifo")
            QCOMPARE(mkfifo(path.constData(), 0644), 0);
#endif
        else
            QVERIFY(QDir().mkdir(iniPath()));
        alarm(20); // a start-up that blocks fails here rather than hanging
        openWindow();
        alarm(0);
        const QString name = kind == "blocked" ? "Saved Name" : "Company Name";
        QCOMPARE(m_window->LCoName()->text(), name);
        const TCompanyInfo before = CompanyInfo;
        const std::string realFile = "; theirs\r\n[REQUIRED]\r\nCo=Real Agency\r\nZip=04101\r\n";
        if (kind == "file later") {
            QVERIFY(QDir().rmdir(iniPath()));
            writeFile(realFile);
        }
        const QString blocker = m_config->filePath("blocked");
        if (kind == "blocked") {
            QFile(blocker).open(QIODevice::WriteOnly);
            qputenv("XDG_CONFIG_HOME", blocker.toLocal8Bit());
        }
        QList<ModalWatch::Seen> errors;
        withDialog([&](QWidget *dialog) {
            ModalWatch inner([](QWidget *) {}); // closes the error box, leaves the dialog
            named<QLineEdit>(dialog, "Edit1")->setText("Typed Agency");
            named<QLineEdit>(dialog, "Edit4")->setText("Elsewhere");
            named<QRadioButton>(dialog, "MiniHelpOff")->click();
            named<QPushButton>(dialog, "BitBtn2")->click();
            QTRY_VERIFY(!dialog->isVisible());
            errors = boxes(inner);
        });
        QCOMPARE(errors.size(), 1);
        const QString target = kind == "blocked" ? blocker + "/Quillon32.Ini" : iniPath();
        QCOMPARE(QDir::fromNativeSeparators(errors[0].text), "Unable to write to " + target + ".");
        QCOMPARE(errors[0].title, QString("Quillon Insurance Refund Calculator"));
        for (auto member : {&TCompanyInfo::Co, &TCompanyInfo::City, &TCompanyInfo::Minihelp, &TCompanyInfo::CityLine})
            QCOMPARE(CompanyInfo.*member, before.*member);
        QCOMPARE(m_window->LCoName()->text(), name);
        QVERIFY(m_window->hintsShown());
        QVERIFY(m_window->findChildren<QDialog *>().isEmpty() || !m_window->findChild<QDialog *>()->isVisible());
        if (kind == "file later")
            QCOMPARE(fileText(), realFile);
        else if (kind == "folder")
            QVERIFY(QFileInfo(iniPath()).isDir());
        qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
        if (kind == "blocked")
            QCOMPARE(fileText(), savedFile);
#ifndef _WIN32
        struct stat st{};
        QCOMPARE(lstat(path.constData(), &st), 0);
        if (kind == "fifo")
            QVERIFY(S_ISFIFO(st.st_mode));
#endif
    }
};

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    TestCompanyInfo test;
    return QTest::qExec(&test, argc, argv);
}

#include "Ucompany_test.moc"

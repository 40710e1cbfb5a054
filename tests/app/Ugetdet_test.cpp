// The policy information dialog's note on texts too long to print in full.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "Ugetdet.h"
#include "../support/Modalwatch.h"
#include "../support/Widgettest.h"
#include "../support/Tablerows.h"

namespace {

// 47 characters: wider than the policy number's 305 units at 10 pt, but 28.1 em of Arial, so whole at 8 pt.
const QString kShrinkingNumber = QStringLiteral("POL-ABC-DEF-GHI-JKL-MNO-PQR-STU-VWX-YZA-BCD-EFG");
// 26 groups of "ABC-": 62 em, past the 38 em the field holds at 6 pt.
const QString kLongNumber = QStringLiteral("ABC-").repeated(26);
// About 100 em of words: past the 44 em the client and type fields hold at 6 pt.
const QString kLongWords = QStringLiteral("Alpha Bravo Charlie Delta Echo Foxtrot Golf Hotel India Juliett ").repeated(3);

} // namespace

class TestGetDetail : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<TFGetDetail> m_dialog;

    template <class T = QWidget>
    T *in(const char *name) const
    {
        return named<T>(m_dialog.get(), name);
    }
    QLabel *note() const { return in<QLabel>("LongTextNote"); }
    void open() { QVERIFY(activate(m_dialog.get())); }

private slots:
    void init() { m_owner = std::make_unique<QWidget>(); m_dialog = std::make_unique<TFGetDetail>(m_owner.get()); }
    void cleanup() { m_dialog.reset(); m_owner.reset(); }

    void noteNamesTheTextsTooLongToPrint_data()
    {
        // expected: empty: no note
        addColumns<QString, QString, QString, QString>({"number", "client", "type", "expected"});

        const QString prefix = QStringLiteral("Too long to print in full: ");
        const QString suffix = QStringLiteral(" will end in \u2026");
        QTest::newRow("all empty") << "" << "" << "" << "";
        QTest::newRow("ordinary texts") << "PN-4711" << "Jane Public" << "Home owners" << "";
        QTest::newRow("long number that prints smaller but whole") << kShrinkingNumber << "" << "" << "";
        QTest::newRow("number too long") << kLongNumber << "" << "" << prefix + "Policy Number" + suffix;
        QTest::newRow("client too long") << "" << kLongWords << "" << prefix + "Client Name/Code" + suffix;
        QTest::newRow("type too long") << "" << "" << kLongWords << prefix + "Type of Policy" + suffix;
        QTest::newRow("two too long")
            << kLongNumber << kLongWords << "" << prefix + "Policy Number and Client Name/Code" + suffix;
        QTest::newRow("all three too long")
            << kLongNumber << kLongWords << kLongWords
            << prefix + "Policy Number, Client Name/Code and Type of Policy" + suffix;
        // 18 x "abc-" is 35.0 em as typed but 43.0 em in the capitals the field keeps and the quote prints.
        QTest::newRow("lower case judged in the capitals it prints in")
            << QStringLiteral("abc-").repeated(18) << "" << "" << prefix + "Policy Number" + suffix;
    }

    void noteNamesTheTextsTooLongToPrint()
    {
        auto [number, client, type, expected] =
            fetchRow<QString, QString, QString, QString>({"number", "client", "type", "expected"});
        open();
        QTest::keyClicks(in<QLineEdit>("PolicyNum"), number);
        QTest::keyClicks(in<QLineEdit>("ClientName"), client);
        QTest::keyClicks(in<QLineEdit>("PolicyType"), type);
        QCOMPARE(note()->isVisible(), !expected.isEmpty());
        QCOMPARE(note()->text(), expected);
        // The note only warns: the quote still gets every character typed.
        QCOMPARE(m_dialog->PolicyNum(), number.toUpper());
        QCOMPARE(m_dialog->ClientName(), client);
        QCOMPARE(m_dialog->PolicyType(), type);
    }

    void noteComesAndGoesAsTheTextIsEditedAndCleared()
    {
        open();
        QLineEdit *client = in<QLineEdit>("ClientName");
        QVERIFY(!note()->isVisible());
        QTest::keyClicks(client, kLongWords);
        QVERIFY(note()->isVisible());
        // Shortened from the end, a key at a time, until it prints whole.
        int backspaces = 0;
        while (note()->isVisible() && !client->text().isEmpty()) {
            QTest::keyClick(client, Qt::Key_Backspace);
            ++backspaces;
        }
        QVERIFY(!note()->isVisible());
        QVERIFY2(backspaces > 1 && !client->text().isEmpty(), "goes at the length that fits, not only when empty");
        QTest::keyClicks(client, "xxx");
        QVERIFY(note()->isVisible());
        client->clear();
        QVERIFY(!note()->isVisible());
        QCOMPARE(note()->text(), QString());
    }

    // The focus starts on the policy number; Tab reaches every field then Done in reading order, never the note.
    void noteLeavesTheFocusAndTabOrderAlone()
    {
        open();
        QCOMPARE(QApplication::focusWidget(), in("PolicyNum"));
        QTest::keyClicks(in<QLineEdit>("PolicyNum"), kLongNumber);
        QVERIFY(note()->isVisible());
        const QList<QWidget *> cycle = tabCycle();
        QCOMPARE(cycle.last(), in("PolicyNum"));
        QVERIFY(inReadingOrder(QList<QWidget *>{in("PolicyNum")} + cycle.mid(0, cycle.size() - 1)));
        QCOMPARE(cycle.size(), editableFields(m_dialog.get()).size() + 1);
        QCOMPARE(cycle.value(cycle.size() - 2), in("BitBtn1"));
        // Beside the button, inside the window, clear of every other control.
        QVERIFY(m_dialog->rect().contains(note()->geometry()));
        for (const char *name : {"BitBtn1", "PolicyNum", "ClientName", "PolicyType", "Label1", "Label2", "Label3"})
            QVERIFY2(!note()->geometry().intersects(in<QWidget>(name)->geometry()), name);
    }

    void tooLongATextOpensNoBoxAndDoneStillCloses()
    {
        QList<ModalWatch::Seen> seen;
        QString typed;
        {
            ModalWatch watch([&](QWidget *modal) {
                if (modal != m_dialog.get()) {
                    modal->close();
                    return;
                }
                QTest::keyClicks(in<QLineEdit>("PolicyNum"), kLongNumber);
                QTest::mouseClick(in<QPushButton>("BitBtn1"), Qt::LeftButton);
            });
            QCOMPARE(m_dialog->exec(), int(QDialog::Accepted));
            seen = watch.seen();
        }
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.front().className, QStringLiteral("TFGetDetail"));
        QCOMPARE(m_dialog->PolicyNum(), kLongNumber);
    }
};

QTEST_MAIN(TestGetDetail)
#include "Ugetdet_test.moc"

#include <QtTest>
#include <stdexcept>

#include "Errordisplay.h"
#include "../support/Modalwatch.h"
#include "../support/Widgettest.h"
#include "../support/Tablerows.h"

namespace {

// An object whose event handler fails, as a handler with a bad date would.
class Failing : public QObject
{
public:
    explicit Failing(const char *message) : m_message(message) {}
    int handled = 0;
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User)
            throw std::runtime_error(m_message);
        if (event->type() == QEvent::User + 1) {
            ++handled;
            return true;
        }
        return QObject::event(event);
    }

private:
    const char *m_message;
};

} // namespace

class TestErrorDisplay : public QObject
{
    Q_OBJECT

private slots:
    void fullStopRule_data()
    {
        addColumns<QString, QString>({"message", "shown"});
        QTest::newRow("letter gets one") << "'abc' is not a valid date" << "'abc' is not a valid date.";
        QTest::newRow("digit gets one") << "code 5" << "code 5.";
        QTest::newRow("slash sorts after the point") << "a/" << "a/.";
        QTest::newRow("non-ASCII letter gets one") << QString::fromUtf8("caf\u00e9") << QString::fromUtf8("caf\u00e9.");
        QTest::newRow("exclamation mark does not") << "Please try again!" << "Please try again!";
        QTest::newRow("full stop does not") << "Done." << "Done.";
        QTest::newRow("closing parenthesis does not") << "(x)" << "(x)";
        QTest::newRow("comma does not") << "a," << "a,";
        QTest::newRow("empty stays empty") << "" << "";
    }

    void fullStopRule()
    {
        auto [message, shown] = fetchRow<QString, QString>({"message", "shown"});
        QCOMPARE(GeneralErrorText(message), shown);
    }

    // An unhandled error shows in the program's title as text (it quotes what was typed); the program carries on.
    void anEscapedErrorIsShownAndTheProgramCarriesOn_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("a date") << QByteArray("'abc' is not a valid date");
        QTest::newRow("markup typed") << QByteArray("'<b>x</b><br>y' is not a valid date");
    }

    void anEscapedErrorIsShownAndTheProgramCarriesOn()
    {
        QFETCH(QByteArray, message);
        SetApplicationTitle("Quillon Insurance Refund Calculator");
        Failing target(message.constData());
        QList<Qt::TextFormat> formats;
        ModalWatch watch({}, [&](const ModalWatch::Seen &) { formats << activeBoxFormat(); });
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        QCoreApplication::postEvent(&target, new QEvent(QEvent::Type(QEvent::User + 1)));
        QTRY_COMPARE(target.handled, 1);
        QCOMPARE(watch.seen().size(), 1);
        const ModalWatch::Seen box = watch.seen().first();
        QCOMPARE(box.title, QString("Quillon Insurance Refund Calculator"));
        QCOMPARE(box.text, QString::fromUtf8(message + '.'));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(formats, QList<Qt::TextFormat>{Qt::PlainText});
    }
};

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    TestErrorDisplay test;
    return QTest::qExec(&test, argc, argv);
}

#include "Errordisplay_test.moc"

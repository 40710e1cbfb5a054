#include <QAccessible>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPrinterInfo>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScreen>
#include <QtTest>
#include <random>

#include "Ctlsettings.h"
#include "Curred32.h"
#include "Dateedit.h"
#include "Errordisplay.h"
#include "Preview.h"
#include "Quote.h"
#include "Radiogrp.h"
#include "Shortdate.h"
#include "Ucalc.h"
#include "Uprpt.h"
#include "../support/Locales.h"
#include "../support/Modalwatch.h"
#include "../support/Widgettest.h"
#include "../support/Tablerows.h"

using namespace quillon;

namespace {

constexpr int kToday = 46363; // 12/7/2026

// Quotes typed in `locale` from a fixed seed: premiums of every size and sign, half-cent ties, spans mostly within
// a year, some beyond it or negative. Rows of premium, start, end.
QList<QStringList> generatedQuotes(int count, const LocaleSettings &locale)
{
    std::mt19937 random(20261207);
    QList<QStringList> rows;
    for (int i = 0; i < count; ++i) {
        const long long mills = std::uniform_int_distribution<long long>(-2'000'000, 90'000'000'000)(random);
        const long long whole = std::llabs(mills) / 1000;
        QString premium = QString::number(whole) + QString::fromStdString(locale.decimalSeparator)
            + QStringLiteral("%1").arg(std::llabs(mills) % 1000, 3, 10, QLatin1Char('0'));
        if (mills < 0)
            premium = i % 2 ? QStringLiteral("(%1)").arg(premium) : QStringLiteral("-") + premium;
        const int start = std::uniform_int_distribution<int>(43831, 47848)(random); // 2020 to 2030
        const int span = i % 25 == 0 ? std::uniform_int_distribution<int>(-40, 800)(random)
                                     : std::uniform_int_distribution<int>(0, 365)(random);
        rows << QStringList{premium, QString::fromStdString(DateFieldText(start, locale)),
                            QString::fromStdString(DateFieldText(start + span, locale))};
    }
    return rows;
}

// The ways a clerk starts a quote.
enum class Print { Button, AltP, Menu };

// A printer set-up's answer: the paper typed by the printer's name for it, Alt+O portrait or Alt+L landscape, OK or Escape.
struct SetUpAnswer { QPageSize::PageSizeId paper = QPageSize::Letter; Qt::Key orientationKey = Qt::Key_O; bool ok = true; };
struct PreviewSeen { QString printerName; QPageSize::PageSizeId paper; QPageLayout::Orientation orientation; };

// Closes what a quote opens (dialogs, boxes, previews) and keeps what it showed; a menu gets `entry`, a set-up `answer`.
class QuoteWatch : public QObject
{
public:
    explicit QuoteWatch(const char *entry = "PrintForm1", const SetUpAnswer &answer = {})
        : m_entry(entry)
        , m_answer(answer)
        , m_modal([this](QWidget *modal) { close(modal); }, [this](const ModalWatch::Seen &seen) { m_seen << seen; })
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &QuoteWatch::closePreview);
        m_timer.start();
    }

    QList<QuotePage> pages;
    QList<PreviewSeen> previews;
    QStringList setUpButtons;
    QString printed(const QString &label) const { return pages.last().text(label); }
    QStringList boxes() const
    {
        QStringList texts;
        for (const ModalWatch::Seen &seen : m_seen)
            if (seen.className == QLatin1String("QMessageBox"))
                texts << seen.text;
        return texts;
    }
    // The windows seen of a class or a title.
    int count(const char *what) const
    {
        return int(std::count_if(m_seen.begin(), m_seen.end(), [what](const ModalWatch::Seen &seen) {
            return seen.className == QLatin1String(what) || seen.title == QLatin1String(what);
        }));
    }

private:
    void close(QWidget *modal)
    {
        if (auto *menu = qobject_cast<QMenu *>(modal)) {
            // From a call of its own, so the watch goes on closing what the entry opens.
            QTimer::singleShot(0, menu, [this, menu] {
                menu->setActiveAction(menu->findChild<QAction *>(QString::fromLatin1(m_entry)));
                QTest::keyClick(menu, Qt::Key_Return);
            });
        } else if (modal->windowTitle() == QLatin1String("Printer Setup")) {
            for (QAbstractButton *button : modal->findChild<QDialogButtonBox *>()->buttons())
                setUpButtons << button->text().remove(u'&');
            // Mnemonics reach only the active window.
            QVERIFY(QTest::qWaitForWindowActive(modal));
            QTest::keyClick(modal, Qt::Key_S, Qt::AltModifier);
            QTest::keyClicks(modal->focusWidget(), paperName(modal));
            QTest::keyClick(modal, m_answer.orientationKey, Qt::AltModifier);
            QTest::qWait(300); // a mnemonic clicks its button as the eye can see it
            QTest::keyClick(modal->focusWidget(), m_answer.ok ? Qt::Key_Return : Qt::Key_Escape);
        } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            dialog->reject();
        }
    }

    void closePreview()
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            auto *preview = qobject_cast<TQuotePreview *>(window);
            if (!preview || !preview->isVisible())
                continue;
            pages << FQReport->QR;
            previews << PreviewSeen{preview->printerChoice().printerName, preview->printer().pageLayout().pageSize().id(),
                                    preview->view()->orientation()};
            preview->close();
        }
    }

    // "Letter", "US Letter": each printer has its own names for paper.
    QString paperName(const QWidget *setUp) const
    {
        const QString printer = setUp->findChild<QComboBox *>(QStringLiteral("PrinterCombo"))->currentText();
        for (const QPageSize &size : OfferedPageSizes(printer))
            if (size.key() == QPageSize(m_answer.paper).key())
                return size.name();
        return QString();
    }

    const char *m_entry;
    SetUpAnswer m_answer;
    ModalWatch m_modal;
    QTimer m_timer;
    QList<ModalWatch::Seen> m_seen;
};

// The printer a set-up offers before the clerk picks one.
QString serviceDefault()
{
    const QStringList names = QPrinterInfo::availablePrinterNames();
    const QString named = QPrinterInfo::defaultPrinterName();
    return names.contains(named) ? named : names.value(0);
}

} // namespace

Q_DECLARE_METATYPE(Print)
Q_DECLARE_METATYPE(SetUpAnswer)

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TFGIS> m_window;
    QTemporaryDir m_config; // no clerk's settings are read
    // Font substitutions a row replaced, by family, to be put back.
    QHash<QString, QStringList> m_replacedSubstitutes;

    template <class T = QWidget>
    T *control(const char *name) const
    {
        return named<T>(m_window.get(), name);
    }
    QString text(const char *name) const { return control<QLineEdit>(name)->text(); }
    QStringList results() const
    {
        QStringList texts;
        for (const QuoteFigure &figure : kQuoteFigures)
            texts << text(figure.name.data()); // the names are literals
        return texts;
    }
    void focus(const char *name) { control(name)->setFocus(Qt::TabFocusReason); }
    // Enters a field as Tab does, which selects its text, and types over it.
    void type(QWidget *field, const QString &typed)
    {
        field->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(field, typed);
    }
    // Sets a field's text from within it and leaves it for the print button.
    void retype(const char *name, const QString &text)
    {
        focus(name);
        control<QLineEdit>(name)->setText(text);
        focus("BBPrint");
    }
    void type(const char *name, const QString &typed) { type(control(name), typed); }
    void print(Print how)
    {
        if (how == Print::Button)
            QTest::mouseClick(control<QPushButton>("BBPrint"), Qt::LeftButton);
        else if (how == Print::AltP) // wherever the focus is; the accelerator leaves it there
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
        else
            rightClick(control("Label25"));
    }
    // Types the three inputs and leaves the inception date for "Print Quote", so exactly one calculation runs.
    void quote(const QString &premium, const QString &start, const QString &end)
    {
        focus("Premium");
        control<TCurrencyEdit>("Premium")->setText(premium);
        control<TDateEdit>("DateEnd")->setText(end);
        retype("DateStart", start);
    }
    static QStringList figures(const QString &spaced) { return spaced.split(u' '); }
    // Compares each spaced "name=text" of `expected` with what `actual` gives for the name.
    static void compareNamed(const QString &expected, const std::function<QString(const QString &)> &actual)
    {
        for (const QString &pair : expected.split(u' ', Qt::SkipEmptyParts)) {
            const QString name = pair.section(u'=', 0, 0);
            QVERIFY2(actual(name) == pair.section(u'=', 1), qPrintable(pair + " but " + actual(name)));
        }
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit()); }

    void init()
    {
        SetTodayForTesting(kToday);
        m_window = std::make_unique<TFGIS>();
        FGIS = m_window.get();
        QVERIFY(activate(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        for (auto it = m_replacedSubstitutes.cbegin(); it != m_replacedSubstitutes.cend(); ++it) {
            QFont::removeSubstitutions(it.key());
            QFont::insertSubstitutions(it.key(), it.value());
        }
        m_replacedSubstitutes.clear();
        SetTodayForTesting(std::nullopt);
    }

    // Today in both dates, zeros everywhere, the focus on the quotation type; the first Tab applies the refund wording.
    void firstDisplayAndFirstTab()
    {
        for (const char *date : {"DateStart", "DateEnd"})
            QCOMPARE(text(date), QString("12/7/26"));
        QCOMPARE(text("Premium") + ' ' + text("NumDays"), QString("$0.00 0"));
        QCOMPARE(results(), figures("$0.00 $0.00 0.000 0.000 $0.00 $0.00 0.000 0.000 $0.00 $0.00 0.00 0.00 $0.00 $0.00 0.00 0.00"));
        QCOMPARE(control<QLabel>("LCoName")->text(), QString("Company Name"));
        QVERIFY(!control("NA1")->isVisible());
        QCOMPARE(control<TRadioGroup>("RadioGroup1")->ItemIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), control("RadioRefund"));
        QCOMPARE(control<QLabel>("Label9")->text(), QString("Unearned"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(control<QLabel>("Label9")->text(), QString("Refund"));
        QCOMPARE(control<QLabel>("Label13")->text(), QString("Total Premium"));
        QCOMPARE(control<QLabel>("Label14")->text(), QString("Policy Effective date"));
    }

    // Run by test_ucalc_large_font too, at 144 dpi; a wider face stands in where no metric-compatible one is installed.
    void everyFigureAndCaptionShowsWhole_data()
    {
        // face: empty: the faces the program installs
        addColumns<QString, QString, bool>({"face", "premium", "additional"});
        QTest::newRow("refund") << "" << "1234567.89" << false;
        QTest::newRow("additional premium") << "" << "1550000.01" << true;
        QTest::newRow("refund in a wider face") << "DejaVu Sans" << "1234567.89" << false;
        QTest::newRow("additional premium in a wider face") << "DejaVu Sans" << "-1550000.01" << true;
        QTest::newRow("a figure too wide for every field") << "" << "-123456789012.34" << false;
    }

    void everyFigureAndCaptionShowsWhole()
    {
        auto [face, premium, additional] = fetchRow<QString, QString, bool>({"face", "premium", "additional"});
        if (!face.isEmpty()) {
            for (const QString &family : QFont::substitutions()) {
                m_replacedSubstitutes.insert(family, QFont::substitutes(family));
                QFont::removeSubstitutions(family);
                QFont::insertSubstitution(family, face);
            }
            init(); // a window laid out in that face
        }
        quote(premium, "1/1/2026", "4/11/2026");
        control<QRadioButton>(additional ? "RadioAddl" : "RadioRefund")->click();
        // Every field and button inside the window, none over another.
        QList<QWidget *> controls;
        for (QWidget *widget : m_window->findChildren<QWidget *>())
            if (widget->isVisible() && (qobject_cast<QLineEdit *>(widget) || qobject_cast<QAbstractButton *>(widget)))
                controls << widget;
        for (const QWidget *widget : controls) {
            const QRect at(widget->mapTo(m_window.get(), QPoint(0, 0)), widget->size());
            QVERIFY2(m_window->rect().contains(at), qPrintable(widget->objectName()));
            for (const QWidget *other : controls)
                QVERIFY2(other == widget || other->isAncestorOf(widget) || widget->isAncestorOf(other)
                             || !at.intersects(QRect(other->mapTo(m_window.get(), QPoint(0, 0)), other->size())),
                         qPrintable(widget->objectName() + " over " + other->objectName()));
        }
        for (const QLineEdit *field : m_window->findChildren<TCurrencyEdit *>()) {
            if (!field->isVisible())
                continue;
            // A line edit keeps 2 px clear at each end, 1 before the text and the cursor after it; wider text scrolls.
            QStyleOptionFrame option;
            option.initFrom(field);
            option.lineWidth = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field);
            const int room = field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field).width() - 6;
            QVERIFY2(qRound(QFontMetricsF(field->font()).horizontalAdvance(field->text())) <= room,
                     qPrintable(field->objectName() + ": " + field->text()));
        }
        for (const QLabel *caption : m_window->findChildren<QLabel *>()) {
            if (!caption->isVisible() || caption->text().isEmpty())
                continue;
            const QSize needed = caption->fontMetrics().size(Qt::TextShowMnemonic, caption->text());
            QVERIFY2(caption->contentsRect().width() >= needed.width() && caption->contentsRect().height() >= needed.height(),
                     qPrintable(caption->objectName() + ": " + caption->text()));
            for (const QLabel *other : caption->parentWidget()->findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
                QVERIFY2(other == caption || !other->isVisible() || !other->geometry().intersects(caption->geometry()),
                         qPrintable(caption->text() + " runs into " + other->text()));
        }
        for (QRadioButton *button : m_window->findChildren<QRadioButton *>()) {
            QStyleOptionButton option;
            option.initFrom(button);
            QVERIFY2(button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button).width()
                         >= button->fontMetrics().horizontalAdvance(button->text()),
                     qPrintable(button->text()));
        }
    }
    void leavingADateFieldShowsEveryFigure_data()
    {
        // settings: empty: the user's own; line: under the figures
        addColumns<QString, QString, QString, QString, QStringList, QString, QByteArray, QString>({"premium", "start", "end", "days", "figures", "message", "settings", "line"});
        const QString help = "Click right mouse button for popup menu";
        const QString pro100 = "$274.00 $726.00 0.274 0.726 $546.00 $454.00 0.546 0.454 ";
        QTest::newRow("100 days") << "1000" << "1/1/2026" << "4/11/2026" << "100"
            << figures(pro100 + "$380.00 $620.00 0.38 0.62 $640.00 $360.00 0.64 0.36") << "" << QByteArray() << help;
        // The short rate is 90% of the pro-rata refund: 726.00 x 0.9 and 454.00 x 0.9, rates 0.7260274 x 0.9, 0.454 x 0.9.
        QTest::newRow("100 days, the office's 90% of pro rata") << "1000" << "1/1/2026" << "4/11/2026" << "100"
            << figures(pro100 + "$346.60 $653.40 0.35 0.65 $591.40 $408.60 0.59 0.41") << ""
            << QByteArray("[REQUIRED]\r\nCo=Acme\r\n[RULES]\r\nShortRate=90%\r\n") << "Office rules: short rate 90% of pro rata.";
        QTest::newRow("a leap year is over a year") << "$1,234.50" << "1/1/2000" << "1/1/2001" << "366"
            << figures("$1,234.50 $0.00 1.000 0.000 $1,234.50 $0.00 1.000 0.000 $1,234.50 $0.00 1.00 0.00 $1,234.50 $0.00 1.00 0.00")
            << "You have selected dates greater than 366 days. Please try again!" << QByteArray() << help;
        // A negative count has no pro-rated figures: they read zero.
        QTest::newRow("one day backwards") << "(250)" << "1/2/2026" << "1/1/2026" << "(1)"
            << figures("$0.00 $0.00 0.000 0.000 $0.00 $0.00 0.000 0.000 $0.00 ($250.00) 0.00 1.00 $0.00 ($250.00) 0.00 1.00")
            << "You have selected dates less than 0 days. Please try again!" << QByteArray() << help;
    }

    void leavingADateFieldShowsEveryFigure()
    {
        auto [premium, start, end, days, figures, message, settings, line] =
            fetchRow<QString, QString, QString, QString, QStringList, QString, QByteArray, QString>({"premium", "start", "end", "days", "figures", "message", "settings", "line"});
        QFile file(m_config.filePath("Quillon32.Ini"));
        const auto remove = qScopeGuard([&] { file.remove(); });
        if (!settings.isEmpty()) {
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
            file.close();
            init(); // a window that reads them at start-up
        }
        QStringList atMessage;
        ModalWatch watch({}, [&](const ModalWatch::Seen &) { atMessage << text("NumDays") << text("SR12Earn"); });
        quote(premium, start, end);
        QCOMPARE(text("NumDays"), days);
        QCOMPARE(results(), figures);
        QCOMPARE(control<QLabel>("Label25")->text(), line);
        if (message.isEmpty()) {
            QVERIFY(watch.seen().isEmpty());
            if (!settings.isEmpty()) {
                // The printed quote names the rules under its figures.
                QuoteWatch quotes;
                print(Print::Button);
                QTRY_COMPARE(quotes.pages.size(), 1);
                QCOMPARE(quotes.printed("QRRules"), line);
                QCOMPARE(quotes.printed("sr6unearn"), QString("$408.60"));
            }
            return;
        }
        QCOMPARE(watch.seen().size(), 1);
        QCOMPARE(watch.seen().first().title, QString("Error"));
        QCOMPARE(watch.seen().first().text, message);
        QCOMPARE(watch.seen().first().icon, QMessageBox::Critical);
        // The message comes after the day count and before any figure.
        QCOMPARE(atMessage, QStringList({days, "$0.00"}));
    }

    void theWindowAndTheToolShowTheSameTexts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << "C";
        QTest::newRow("de_DE") << "de_DE.UTF-8";
    }

    // Thousands of quotes typed into the window and given to quillon-quote in one batch read the same in both.
    void theWindowAndTheToolShowTheSameTexts()
    {
        QFETCH(QString, locale);
        const LocaleSettings settings = namedLocale(locale.toLatin1().constData());
        SetControlLocale(settings);
        const auto restore = qScopeGuard([] { SetControlLocale(LocaleSettings{}); });
        const QList<QStringList> rows = generatedQuotes(2500, settings);

        QByteArray input = "premium,start,end\n";
        for (const QStringList &row : rows)
            input += "\"" + row.join(QStringLiteral("\",\"")).toUtf8() + "\"\n";
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), locale);
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(QUOTE_TOOL), {"--csv", "--format", "json", "--jobs", "2", "--today",
                                                QString::fromStdString(DateFieldText(kToday, settings))});
        tool.write(input);
        tool.closeWriteChannel();
        QVERIFY(tool.waitForFinished(60000));
        const QList<QByteArray> lines = tool.readAllStandardOutput().split('\n');
        QCOMPARE(lines.size(), rows.size() + 1);

        ModalWatch watch; // the range messages of the quotes beyond a year or negative
        for (qsizetype i = 0; i < rows.size(); ++i) {
            // Focus moves only in the active window, which a box takes for a while.
            if (!m_window->isActiveWindow()) {
                QApplication::setActiveWindow(m_window.get());
                QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
            }
            quote(rows[i][0], rows[i][1], rows[i][2]);
            const QJsonObject row = QJsonDocument::fromJson(lines[i]).object();
            const QString where = rows[i].join(u' ');
            const int days = row.value("days").toInt();
            QVERIFY2(control<TCurrencyEdit>("NumDays")->Value() == days, qPrintable(where));
            for (const QuoteFigure &figure : kQuoteFigures) {
                const QString shown = text(figure.name.data());
                const QString written = row.value(QLatin1String(figure.name.data())).toString();
                // The tool leaves out what was not worked; the window shows zeros.
                if (days >= 0 || !written.isEmpty())
                    QVERIFY2(shown == written, qPrintable(where + u' ' + figure.name.data() + u' ' + shown + u' ' + written));
            }
        }
    }

    // "Print Quote" works what was typed since the last quote, once, and prints that. Rows: the quote before
    // (none: the start-up inputs), what is typed where, how it prints, the boxes leaving the field shows, and
    // spaced name=text pairs of the page and of the window after.
    void aQuoteWorksAndPrintsTheLatestInputs_data()
    {
        // before: premium start end; field: "button": the cancellation date's button
        addColumns<QString, QString, QString, Print, int, QString, QString>({"before", "field", "typed", "how", "boxes", "printed", "shown"});
        const QString hundredDays = "1000 1/1/2026 4/11/2026";
        for (const auto &[way, how] : {std::pair{"button", Print::Button}, {"Alt+P", Print::AltP}, {"menu", Print::Menu}})
            // 101 / 365 is 0.277 at three decimals; 0.277 x 3000 = 831.
            QTest::addRow("a premium typed since, printed by %s", way) << "1000 1/1/2026 4/12/2026" << "Premium" << "3000" << how << 0
                << "PolicyPremium=$3,000.00 PolicyDays=101 pr12earn=$831.00 pr12unearn=$2,169.00 pr12erate=0.277"
                << "PR12Earn=$831.00 Premium=$3,000.00";
        QTest::newRow("a cancellation date typed just before Alt+P, printed whole") << hundredDays << "DateEnd" << "4/12" << Print::AltP
            << 0 << "PolicyDays=101 pr12earn=$277.00 PolicyEnd=4/12/2026 PolicyStart=1/1/2026" << "NumDays=101 DateEnd=4/12/2026";
        // Keys on a date's button leave its field alone, and Alt+P still prints.
        QTest::newRow("keys on the date's button") << hundredDays << "button" << "9\b" << Print::AltP << 0
            << "PolicyEnd=4/11/2026 PolicyDays=100" << "DateEnd=4/11/2026";
        // The start-up zeros are no calculation: 0 days leave the whole premium unearned, at a rate of 1.
        QTest::newRow("the first quote, from the start-up inputs") << "" << "Premium" << "500" << Print::Button << 0
            << "PolicyDays=0 pr12unearn=$500.00 pr12urate=1.000 sr6urate=1.00 PolicyStart=12/7/2026 PolicyEnd=12/7/2026" << "";
        // The same day in other words is the same input; a second calculation would show the over-a-year message again.
        QTest::newRow("figures already worked are not worked again") << "1000 1/1/2000 1/1/2001" << "DateEnd" << "1/1/01"
            << Print::AltP << 0 << "PolicyDays=366 PolicyEnd=1/1/2001" << "";
        // A negative count leaves no stale pro-rated figure; the quote made then carries the zeros, no second message.
        QTest::newRow("a negative count after a quote") << hundredDays << "DateEnd" << "12/31/2025" << Print::Button << 1
            << "PolicyDays=(1) pr12earn=$0.00 pr6unearn=$0.00 pr6urate=0.000"
            << "NumDays=(1) PR12Earn=$0.00 PR6URate=0.000 SR12Unearn=$1,000.00 SR12URate=1.00 SR6Unearn=$1,000.00 SR6ERate=0.00";
    }

    void aQuoteWorksAndPrintsTheLatestInputs()
    {
        auto [before, field, typed, how, boxes, printed, shown] =
            fetchRow<QString, QString, QString, Print, int, QString, QString>({"before", "field", "typed", "how", "boxes", "printed", "shown"});
        if (const QStringList inputs = figures(before); inputs.size() == 3) {
            ModalWatch messages; // the over-a-year message
            quote(inputs[0], inputs[1], inputs[2]);
        }
        QVERIFY(activate(m_window.get())); // offscreen, a closed box does not hand it back
        type(field == "button" ? control<TDateEdit>("DateEnd")->button() : control(field.toLatin1()), typed);
        QuoteWatch watch;
        print(how);
        QTRY_COMPARE(watch.pages.size(), 1);
        QCOMPARE(watch.count("TFGetDetail"), 1);
        QCOMPARE(watch.boxes().size(), boxes);
        compareNamed(printed, [&](const QString &label) { return watch.printed(label); });
        compareNamed(shown, [&](const QString &name) { return text(name.toLatin1()); });
        if (control<TCurrencyEdit>("NumDays")->Value() < 0)
            for (const QuoteFigure &figure : kQuoteFigures)
                if (figure.proRated)
                    QCOMPARE(control<TCurrencyEdit>(figure.name.data())->Value(), 0.0L);
    }

    // The conversion error, in the program's title, and nothing else: no dialog, no page, no figure written.
    void aDateThatCannotBeReadStopsTheQuote_data()
    {
        QTest::addColumn<Print>("how");
        QTest::newRow("Print Quote button") << Print::Button;
        QTest::newRow("Alt+P") << Print::AltP;
        QTest::newRow("popup menu Print Form") << Print::Menu;
    }

    void aDateThatCannotBeReadStopsTheQuote()
    {
        QFETCH(Print, how);
        quote("1000", "1/1/2026", "4/11/2026");
        const QStringList figures = results();
        SetApplicationTitle("Quillon Insurance Refund Calculator");
        type("DateEnd", "4/31/2026");
        QuoteWatch watch;
        print(how);
        QTRY_VERIFY(!watch.boxes().isEmpty());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QTest::qWait(150); // past the accelerator's animated click
        // Leaving the field for the button reports it, the click again; nothing else opens.
        for (const QString &box : watch.boxes())
            QCOMPARE(box, QString("'4/31/2026' is not a valid date."));
        QCOMPARE(watch.count("Quillon Insurance Refund Calculator"), watch.boxes().size());
        QCOMPARE(watch.count("TFGetDetail"), 0);
        QVERIFY(watch.pages.isEmpty());
        QCOMPARE(results(), figures);
        QCOMPARE(text("NumDays"), QString("100"));
        QCOMPARE(text("DateEnd"), QString("4/31/2026"));
    }

    // Shown as text by the code that finds it, never left to unwind to the application's last line of defence.
    void anUnreadableDateIsShownWhereItIsFound_data()
    {
        addColumns<int, QString>({"way", "typed"});
        QTest::newRow("leaving the field") << 0 << "abc";
        QTest::newRow("leaving the inception date") << 3 << "abc";
        QTest::newRow("Alt+P from the field") << 1 << "abc";
        QTest::newRow("the field's calendar button") << 2 << "abc";
        QTest::newRow("markup typed") << 0 << "<b>x</b><br>y";
    }

    void anUnreadableDateIsShownWhereItIsFound()
    {
        auto [way, typed] = fetchRow<int, QString>({"way", "typed"});
        const auto *app = static_cast<QuillonApplication *>(QCoreApplication::instance());
        const int unhandled = app->unhandledErrors();
        QList<Qt::TextFormat> formats;
        ModalWatch watch({}, [&](const ModalWatch::Seen &) { formats << activeBoxFormat(); });
        if (way == 3)
            quote("500", "1/1/2026", typed);
        else
            type("DateEnd", typed);
        if (way == 0)
            focus("BBPrint");
        else if (way == 1)
            print(Print::AltP);
        else if (way == 2)
            QTest::mouseClick(control<TDateEdit>("DateEnd")->button(), Qt::LeftButton);
        QTRY_COMPARE(watch.seen().size(), 1);
        QCOMPARE(watch.seen().first().text, "'" + typed + "' is not a valid date.");
        QCOMPARE(formats, QList<Qt::TextFormat>{Qt::PlainText});
        QCOMPARE(app->unhandledErrors(), unhandled);
        QCOMPARE(text("DateEnd"), typed);
    }

    // Tab from the quotation type: the premium, every field in reading order, each date then its button, and back.
    void tabReachesEveryFieldInReadingOrder()
    {
        QWidget *const start = QApplication::focusWidget();
        QCOMPARE(start, control("RadioRefund"));
        const QList<QWidget *> cycle = tabCycle();
        QCOMPARE(cycle.first(), control("Premium"));
        QCOMPARE(cycle.last(), start);
        QVERIFY(inReadingOrder(cycle.mid(0, cycle.size() - 1)));
        for (QWidget *field : editableFields(m_window.get()))
            QVERIFY2(cycle.contains(field), qPrintable(field->objectName()));
        for (const char *date : {"DateStart", "DateEnd"})
            QCOMPARE(cycle.value(cycle.indexOf(control(date)) + 1), control<TDateEdit>(date)->button());
        QVERIFY(cycle.contains(control("BBPrint")));
    }

    // Tab into a date's button does not calculate, Tab on does; leaving the premium does not.
    void onlyLeavingADateCalculates()
    {
        control<TCurrencyEdit>("Premium")->setValue(1000.0L);
        focus("DateEnd");
        control<TDateEdit>("DateEnd")->setText("4/11/2027");
        QTest::keyClick(control("DateEnd"), Qt::Key_Tab);
        QCOMPARE(text("NumDays"), QString("0"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), control("BBPrint"));
        QCOMPARE(text("NumDays"), QString("125"));

        quote("1000", "1/1/2026", "4/11/2026");
        retype("Premium", "2000");
        QCOMPARE(text("PR12Earn"), QString("$274.00"));
        focus("DateEnd");
        focus("BBPrint");
        QCOMPARE(text("PR12Earn"), QString("$548.00"));
    }

    void additionalPremiumRelabelsAndHidesTheShortRate()
    {
        quote("1000", "1/1/2026", "4/11/2026");
        control<QRadioButton>("RadioAddl")->click();
        for (const char *name : {"Label9", "Label3", "Label5", "Label7"})
            QCOMPARE(control<QLabel>(name)->text(), QString("Amt Due"));
        for (const char *name : {"Label2", "Label4", "Label6", "Label8"})
            QCOMPARE(control<QLabel>(name)->text(), QString("Expired"));
        QCOMPARE(control<QLabel>("Label13")->text(), QString("Add. Annual Premium"));
        QCOMPARE(control<QLabel>("Label15")->text(), QString("Change Effective Date"));
        QCOMPARE(control("Premium")->toolTip(),
                 QString("Enter the total additional premium as if was going to be paid at the start of the policy"));
        for (const char *name : {"NA1", "NA2", "NA3", "NA4"})
            QVERIFY(control(name)->isVisible());
        for (const char *name : {"SR12URate", "SR12Unearn", "SR12ERate", "SR12Earn", "SR6URate", "SR6Unearn", "SR6ERate", "SR6earn"})
            QVERIFY(!control(name)->isVisible());
        // Assistive technology reads the captions as the fields' names.
        QCOMPARE(control("PR12Unearn")->accessibleName(), QString("12 Month Pro-Rated Amt Due Amount"));
        for (const auto &[name, caption] : {std::pair{"Premium", "Add. Annual Premium"}, {"DateEnd", "Change Effective Date"}})
            QCOMPARE(QAccessible::queryAccessibleInterface(control(name))->text(QAccessible::Name), QString(caption));

        // A calculation still writes the hidden fields; switching back shows them.
        retype("DateEnd", "1/2/2026");
        control<QRadioButton>("RadioRefund")->click();
        QVERIFY(control("SR12Earn")->isVisible());
        QCOMPARE(text("SR12Earn"), QString("$50.00"));
        QCOMPARE(control("SR12Unearn")->accessibleName(), QString("12 Month Short Rated Refund Amount"));
    }

    // Printer Setup only sets up (OK, Cancel): what OK takes opens every later preview; Cancel changes nothing.
    void printerSetupCarriesToEveryLaterQuote_data()
    {
        addColumns<SetUpAnswer, QPageSize::PageSizeId, QPageLayout::Orientation>({"answer", "paper", "orientation"});
        QTest::newRow("OK on A4 landscape") << SetUpAnswer{QPageSize::A4, Qt::Key_L, true} << QPageSize::A4 << QPageLayout::Landscape;
        QTest::newRow("OK on Legal portrait") << SetUpAnswer{QPageSize::Legal, Qt::Key_O, true} << QPageSize::Legal << QPageLayout::Portrait;
        QTest::newRow("Cancel after A4 landscape") << SetUpAnswer{QPageSize::A4, Qt::Key_L, false} << QPageSize::Letter << QPageLayout::Portrait;
    }

    void printerSetupCarriesToEveryLaterQuote()
    {
        auto [answer, paper, orientation] =
            fetchRow<SetUpAnswer, QPageSize::PageSizeId, QPageLayout::Orientation>({"answer", "paper", "orientation"});
        QuoteWatch watch("PrinterSetup1", answer);
        rightClick(control("Label25"));
        QTRY_COMPARE(watch.count("Printer Setup"), 1);
        QCOMPARE(watch.setUpButtons, QStringList({"OK", "Cancel"}));
        QTest::qWait(50);
        QCOMPARE(watch.previews.size(), 0);

        print(Print::Button);
        print(Print::Button);
        QTRY_COMPARE(watch.previews.size(), 2);
        for (const PreviewSeen &seen : watch.previews) {
            QCOMPARE(seen.paper, paper);
            QCOMPARE(seen.orientation, orientation);
            QCOMPARE(seen.printerName, answer.ok ? serviceDefault() : QString());
        }
        QCOMPARE(watch.boxes(), QStringList());
    }

    // The window's own menu wherever the clerk right-clicks, not a date button's edit menu (Paste would edit).
    void rightClickOpensTheWindowsMenu_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("a label") << "Label25";
        QTest::newRow("a group box") << "GB12";
        QTest::newRow("a panel") << "Panel1";
        QTest::newRow("a date's button") << "DateStart";
    }

    void rightClickOpensTheWindowsMenu()
    {
        QFETCH(QString, target);
        auto *widget = control(target.toLatin1());
        if (auto *date = qobject_cast<TDateEdit *>(widget))
            widget = date->button();
        QList<QList<QAction *>> menus;
        ModalWatch watch([&](QWidget *popup) {
            menus << popup->actions();
            popup->close();
        });
        rightClick(widget);
        QTRY_COMPARE(menus.size(), 1);
        QCOMPARE(menus.first(), m_window->PMenu1()->actions());
        QCOMPARE(menus.first().first()->text(), QString("Print Form"));
    }

    // Each time a new, only, modal box centred on the screen, focus on OK which Enter presses; gone once closed.
    void aboutOpensAFreshBoxEachTime()
    {
        m_window->move(0, 0);
        QList<int> offCentre;
        ModalWatch watch([&](QWidget *box) {
            const auto closed = qScopeGuard([box] { // even after a failed check
                if (box->isVisible())
                    static_cast<QDialog *>(box)->accept();
            });
            QVERIFY(QTest::qWaitForWindowActive(box));
            QCOMPARE(QApplication::activeModalWidget(), box);
            QTRY_COMPARE(QApplication::focusWidget(), named(box, "OKButton")); // wine gives it a moment later
            QCOMPARE(m_window->findChildren<QDialog *>().size(), 1);
            offCentre << (box->frameGeometry().center() - box->screen()->availableGeometry().center()).manhattanLength();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        m_window->AboutQuillon1Click();
        m_window->AboutQuillon1Click();
        QCOMPARE(watch.seen().size(), 2);
        QCOMPARE(watch.seen().first().title, QString("About Quillon"));
        QVERIFY(offCentre.size() == 2 && offCentre[0] <= 2 && offCentre[1] <= 2);
        QVERIFY(m_window->findChildren<QDialog *>().isEmpty()); // destroyed after each use
    }

    void exitClosesTheWindow()
    {
        control<QPushButton>("BitBtn1")->click();
        QVERIFY(!m_window->isVisible());
    }
};

int main(int argc, char **argv)
{
    QuillonApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "Ucalc_test.moc"

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

using namespace quillon;

namespace {

constexpr int kToday = 46363; // 12/7/2026

// Quotes a clerk could type in `locale`, from a fixed seed: premiums of
// every size and sign with ties at the half cent, day counts mostly within
// a year and some beyond it or negative. Rows of premium, start, end.
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

// Closes what a quote opens and keeps what it showed: the policy information
// dialog (closed by its close box; the quote goes on), each message box, and
// the preview, a window of its own rather than a modal one, whose page is
// copied before it is closed. A popup menu gets "Print Form" chosen.
class QuoteWatch : public QObject
{
public:
    QuoteWatch()
        : m_modal([](QWidget *modal) { close(modal); }, [this](const ModalWatch::Seen &seen) { record(seen); })
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &QuoteWatch::closePreview);
        m_timer.start();
    }

    QStringList boxes() const { return m_boxes; }
    int dialogs() const { return m_dialogs; }
    const QList<QuotePage> &pages() const { return m_pages; }
    QString printed(const char *label) const { return m_pages.last().text(QString::fromLatin1(label)); }

private:
    static void close(QWidget *modal)
    {
        if (auto *menu = qobject_cast<QMenu *>(modal)) {
            // From a call of its own, so the watch goes on closing the
            // dialogs the chosen entry opens.
            QTimer::singleShot(0, menu, [menu] {
                menu->setActiveAction(menu->findChild<QAction *>(QStringLiteral("PrintForm1")));
                QTest::keyClick(menu, Qt::Key_Return);
            });
        } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            dialog->reject();
        }
    }

    void record(const ModalWatch::Seen &seen)
    {
        if (seen.className == QLatin1String("TFGetDetail"))
            ++m_dialogs;
        if (seen.className == QLatin1String("QMessageBox"))
            m_boxes << seen.text;
    }

    void closePreview()
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->inherits("TQuotePreview")) {
                m_pages << FQReport->QR;
                window->close();
            }
        }
    }

    ModalWatch m_modal;
    QTimer m_timer;
    QStringList m_boxes;
    int m_dialogs = 0;
    QList<QuotePage> m_pages;
};

// What a clerk answers in the printer set-up: a paper typed into its list
// by the name the printer gives it, the orientation by its key, then Enter
// for OK or Escape.
struct SetUpAnswer
{
    QPageSize::PageSizeId paper = QPageSize::Letter;
    Qt::Key orientationKey = Qt::Key_O; // Alt+O portrait, Alt+L landscape
    bool ok = true;
};

// What a preview opened with.
struct PreviewSeen
{
    QString printerName;
    QPageSize::PageSizeId paper;
    QPageLayout::Orientation orientation;
};

// Drives "Printer Setup" from the popup menu and the quotes after it: the
// menu gets "Printer Setup" chosen, the set-up gets `answer`, the policy
// information dialog is closed, and each preview is recorded and closed.
class SetUpWatch : public QObject
{
public:
    explicit SetUpWatch(const SetUpAnswer &answer)
        : m_answer(answer)
        , m_modal([this](QWidget *modal) { close(modal); }, [this](const ModalWatch::Seen &seen) { m_seen << seen; })
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &SetUpWatch::closePreview);
        m_timer.start();
    }

    QStringList setUpButtons;
    QList<PreviewSeen> previews;
    QStringList boxes() const
    {
        QStringList texts;
        for (const ModalWatch::Seen &seen : m_seen)
            if (seen.className == QLatin1String("QMessageBox"))
                texts << seen.text;
        return texts;
    }
    int setUps() const
    {
        return int(std::count_if(m_seen.begin(), m_seen.end(),
                                 [](const ModalWatch::Seen &seen) { return seen.title == QLatin1String("Printer Setup"); }));
    }

private:
    void close(QWidget *modal)
    {
        if (auto *menu = qobject_cast<QMenu *>(modal)) {
            QTimer::singleShot(0, menu, [menu] {
                menu->setActiveAction(menu->findChild<QAction *>(QStringLiteral("PrinterSetup1")));
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
            const QPageLayout layout = preview->printer().pageLayout();
            previews << PreviewSeen{preview->printerChoice().printerName, layout.pageSize().id(),
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
    // Font substitutions a row replaced, by family, to be put back.
    QHash<QString, QStringList> m_replacedSubstitutes;

    template <class T>
    T *control(const char *name) const
    {
        T *found = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QString text(const char *name) const { return control<QLineEdit>(name)->text(); }
    QStringList results() const
    {
        QStringList texts;
        for (const QuoteFigure &figure : kQuoteFigures)
            texts << text(figure.name.data()); // the names are literals
        return texts;
    }
    void focus(QWidget *widget) { widget->setFocus(Qt::TabFocusReason); }
    // Enters a field as Tab does, which selects its text, and types over it.
    void type(const char *name, const QString &typed)
    {
        auto *field = control<QLineEdit>(name);
        focus(field);
        QTest::keyClicks(field, typed);
    }
    void print(Print how)
    {
        switch (how) {
        case Print::Button:
            QTest::mouseClick(control<QPushButton>("BBPrint"), Qt::LeftButton);
            break;
        case Print::AltP:
            // Wherever the focus is; the button's accelerator leaves it there.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
            break;
        case Print::Menu: {
            auto *surface = control<QWidget>("Label25");
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), surface->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(surface, &event);
            break;
        }
        }
    }
    void openPrinterSetupFromTheMenu()
    {
        auto *surface = control<QWidget>("Label25");
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), surface->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(surface, &event);
    }

    void addPrintRows()
    {
        QTest::addColumn<Print>("how");
        QTest::newRow("Print Quote button") << Print::Button;
        QTest::newRow("Alt+P") << Print::AltP;
        QTest::newRow("popup menu Print Form") << Print::Menu;
    }
    // Types the three inputs and leaves the inception date for "Print Quote",
    // so exactly one calculation runs.
    void quote(const QString &premium, const QString &start, const QString &end)
    {
        auto *premiumField = control<TCurrencyEdit>("Premium");
        focus(premiumField);
        premiumField->setText(premium);
        control<TDateEdit>("DateEnd")->setText(end);
        focus(control<TDateEdit>("DateStart"));
        control<TDateEdit>("DateStart")->setText(start);
        focus(control<QPushButton>("BBPrint"));
    }

private slots:
    void init()
    {
        SetTodayForTesting(kToday);
        m_window = std::make_unique<TFGIS>();
        FGIS = m_window.get();
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
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

    void firstDisplayShowsTheLayoutsState()
    {
        QCOMPARE(m_window->size(), QSize(632, 453));
        QCOMPARE(m_window->windowTitle(), QString("Quillon Insurance Premium Refund Calculator"));
        QCOMPARE(control<QLabel>("Label9")->text(), QString("Unearned"));
        QCOMPARE(control<QLabel>("Label13")->text(), QString("Premium"));
        QCOMPARE(control<QLabel>("Label14")->text(), QString("Inception Date"));
        QCOMPARE(text("DateStart"), QString("12/7/26"));
        QCOMPARE(text("DateEnd"), QString("12/7/26"));
        QCOMPARE(text("Premium"), QString("$0.00"));
        QCOMPARE(text("NumDays"), QString("0"));
        QCOMPARE(results(), QStringList({"$0.00", "$0.00", "0.000", "0.000", "$0.00", "$0.00", "0.000", "0.000",
                                         "$0.00", "$0.00", "0.00", "0.00", "$0.00", "$0.00", "0.00", "0.00"}));
        QCOMPARE(control<QLabel>("LCoName")->text(), QString("Company Name"));
        QVERIFY(!control<QLabel>("NA1")->isVisible());
        QCOMPARE(control<TRadioGroup>("RadioGroup1")->ItemIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), control<QRadioButton>("RadioRefund"));
    }

    void layoutPlacesControlsWhereTheFormSays_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("inWindow");
        // Panel2 starts at 61 and Panel1 at 416; group boxes at 20 and 324 within Panel2.
        QTest::newRow("premium") << "Premium" << QRect(179, 24, 100, 24);
        QTest::newRow("inception") << "DateStart" << QRect(288, 24, 113, 24);
        QTest::newRow("days") << "NumDays" << QRect(560, 24, 57, 24);
        QTest::newRow("12 month short-rated unearned rate") << "SR12URate" << QRect(20 + 90, 61 + 19 + 88, 55, 24);
        QTest::newRow("6 month rate column two pixels right") << "PR6ERate" << QRect(324 + 92, 61 + 19 + 266, 55, 24);
        QTest::newRow("6 month earned amount") << "SR6earn" << QRect(324 + 156, 61 + 19 + 120, 109, 24);
        QTest::newRow("print button") << "BBPrint" << QRect(10, 416 + 4, 93, 29);
        QTest::newRow("exit button") << "BitBtn1" << QRect(532, 416 + 4, 93, 29);
        QTest::newRow("company name") << "LCoName" << QRect(108, 416 + 8, 421, 25);
    }

    void layoutPlacesControlsWhereTheFormSays()
    {
        QFETCH(QString, name);
        QFETCH(QRect, inWindow);
        auto *widget = m_window->findChild<QWidget *>(name);
        QVERIFY(widget);
        QCOMPARE(QRect(widget->mapTo(m_window.get(), QPoint(0, 0)), widget->size()), inWindow);
    }

    // Run by test_ucalc_large_font too, at 144 dpi without scaling. A wider
    // face stands in for every face the forms name, as where no
    // metric-compatible face is installed.
    void everyFigureAndCaptionShowsWhole_data()
    {
        QTest::addColumn<QString>("face"); // empty: the faces the program installs
        QTest::addColumn<QString>("premium");
        QTest::addColumn<bool>("additional");
        QTest::newRow("refund") << "" << "1234567.89" << false;
        QTest::newRow("additional premium") << "" << "1550000.01" << true;
        QTest::newRow("refund in a wider face") << "DejaVu Sans" << "1234567.89" << false;
        QTest::newRow("additional premium in a wider face") << "DejaVu Sans" << "-1550000.01" << true;
        QTest::newRow("a figure too wide for every field") << "" << "-123456789012.34" << false;
    }

    void everyFigureAndCaptionShowsWhole()
    {
        QFETCH(QString, face);
        QFETCH(QString, premium);
        QFETCH(bool, additional);
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
        for (const QLineEdit *field : m_window->findChildren<TCurrencyEdit *>()) {
            if (!field->isVisible())
                continue;
            // A line edit keeps two pixels clear at each end, one before the
            // text and the cursor's width after it; a text wider is scrolled.
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
        QTest::addColumn<QString>("premium");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("days");
        QTest::addColumn<QStringList>("figures");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("settings"); // empty: the user's own
        QTest::addColumn<QString>("line");        // under the figures
        const QString help = "Click right mouse button for popup menu";
        QTest::newRow("100 days") << "1000" << "1/1/2026" << "4/11/2026" << "100"
                                  << QStringList{"$274.00", "$726.00", "0.274", "0.726", "$546.00", "$454.00", "0.546", "0.454",
                                                 "$380.00", "$620.00", "0.38", "0.62", "$640.00", "$360.00", "0.64", "0.36"}
                                  << "" << QByteArray() << help;
        // The short rate is 90% of the pro-rata refund: 726.00 x 0.9 and
        // 454.00 x 0.9, the rates 0.7260274 x 0.9 and 0.454 x 0.9.
        QTest::newRow("100 days, the office's 90% of pro rata") << "1000" << "1/1/2026" << "4/11/2026" << "100"
                                  << QStringList{"$274.00", "$726.00", "0.274", "0.726", "$546.00", "$454.00", "0.546", "0.454",
                                                 "$346.60", "$653.40", "0.35", "0.65", "$591.40", "$408.60", "0.59", "0.41"}
                                  << "" << QByteArray("[REQUIRED]\r\nCo=Acme\r\n[RULES]\r\nShortRate=90%\r\n")
                                  << "Office rules: short rate 90% of pro rata.";
        QTest::newRow("a leap year is over a year") << "$1,234.50" << "1/1/2000" << "1/1/2001" << "366"
                                  << QStringList{"$1,234.50", "$0.00", "1.000", "0.000", "$1,234.50", "$0.00", "1.000", "0.000",
                                                 "$1,234.50", "$0.00", "1.00", "0.00", "$1,234.50", "$0.00", "1.00", "0.00"}
                                  << "You have selected dates greater than 366 days. Please try again!" << QByteArray() << help;
        // A negative count has no pro-rated figures: they read zero.
        QTest::newRow("one day backwards") << "(250)" << "1/2/2026" << "1/1/2026" << "(1)"
                                  << QStringList{"$0.00", "$0.00", "0.000", "0.000", "$0.00", "$0.00", "0.000", "0.000",
                                                 "$0.00", "($250.00)", "0.00", "1.00", "$0.00", "($250.00)", "0.00", "1.00"}
                                  << "You have selected dates less than 0 days. Please try again!" << QByteArray() << help;
    }

    void leavingADateFieldShowsEveryFigure()
    {
        QFETCH(QString, premium);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, days);
        QFETCH(QStringList, figures);
        QFETCH(QString, message);
        QFETCH(QByteArray, settings);
        QFETCH(QString, line);
        QTemporaryDir config;
        const QByteArray userConfig = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] {
            if (userConfig.isNull())
                qunsetenv("XDG_CONFIG_HOME");
            else
                qputenv("XDG_CONFIG_HOME", userConfig);
        });
        if (!settings.isEmpty()) {
            qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
            QFile file(config.filePath("Quillon32.Ini"));
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
                QTRY_COMPARE(quotes.pages().size(), 1);
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

    // Thousands of quotes typed into the window and given to quillon-quote
    // in one batch: every day count and figure reads the same in both.
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

    void anUnreadableDateWritesNothing()
    {
        quote("1000", "1/1/2026", "4/11/2026");
        const QStringList before = results();
        SetApplicationTitle("Quillon Insurance Refund Calculator");
        ModalWatch watch;
        quote("500", "1/1/2026", "abc");
        QTRY_COMPARE(watch.seen().size(), 1);
        QCOMPARE(watch.seen().first().text, QString("'abc' is not a valid date."));
        QCOMPARE(watch.seen().first().title, QString("Quillon Insurance Refund Calculator"));
        QCOMPARE(results(), before);
        QCOMPARE(text("NumDays"), QString("100"));
        QCOMPARE(text("DateEnd"), QString("abc"));
    }

    void aNegativeCountLeavesNoStaleProRatedFigures()
    {
        quote("1000", "1/1/2026", "4/11/2026");
        QCOMPARE(text("PR12Earn"), QString("$274.00"));
        {
            ModalWatch watch;
            type("DateEnd", "12/31/2025");
            focus(control<QPushButton>("BBPrint"));
            QCOMPARE(watch.seen().size(), 1);
        }
        QCOMPARE(text("NumDays"), QString("(1)"));
        QStringList proRated;
        for (const QuoteFigure &figure : kQuoteFigures) {
            if (!figure.proRated)
                continue;
            proRated << text(figure.name.data());
            QCOMPARE(control<TCurrencyEdit>(figure.name.data())->Value(), 0.0L);
        }
        QCOMPARE(proRated, QStringList({"$0.00", "$0.00", "0.000", "0.000", "$0.00", "$0.00", "0.000", "0.000"}));
        QCOMPARE(results().mid(8), QStringList({"$0.00", "$1,000.00", "0.00", "1.00", "$0.00", "$1,000.00", "0.00", "1.00"}));

        // The quote made now carries the same zeros, with no second message.
        QuoteWatch quoteWatch;
        print(Print::Button);
        QTRY_COMPARE(quoteWatch.pages().size(), 1);
        QVERIFY(quoteWatch.boxes().isEmpty());
        QCOMPARE(quoteWatch.printed("PolicyDays"), QString("(1)"));
        QCOMPARE(quoteWatch.printed("pr12earn"), QString("$0.00"));
        QCOMPARE(quoteWatch.printed("pr6unearn"), QString("$0.00"));
        QCOMPARE(quoteWatch.printed("pr6urate"), QString("0.000"));
    }

    void aPremiumTypedSinceTheLastQuoteIsWorkedBeforePrinting_data() { addPrintRows(); }

    void aPremiumTypedSinceTheLastQuoteIsWorkedBeforePrinting()
    {
        QFETCH(Print, how);
        quote("1000", "1/1/2026", "4/12/2026");
        QCOMPARE(text("PR12Earn"), QString("$277.00"));
        type("Premium", "3000");
        QuoteWatch watch;
        print(how);
        QTRY_COMPARE(watch.pages().size(), 1);
        QCOMPARE(watch.dialogs(), 1);
        QVERIFY(watch.boxes().isEmpty());
        // 101 / 365 is 0.277 at three decimals; 0.277 x 3000 = 831.
        QCOMPARE(watch.printed("PolicyPremium"), QString("$3,000.00"));
        QCOMPARE(watch.printed("PolicyDays"), QString("101"));
        QCOMPARE(watch.printed("pr12earn"), QString("$831.00"));
        QCOMPARE(watch.printed("pr12unearn"), QString("$2,169.00"));
        QCOMPARE(watch.printed("pr12erate"), QString("0.277"));
        QCOMPARE(text("PR12Earn"), QString("$831.00"));
        QCOMPARE(text("Premium"), QString("$3,000.00"));
    }

    void aCancellationDateTypedJustBeforeAltPIsWorkedAndPrintedWhole()
    {
        quote("1000", "1/1/2026", "4/11/2026");
        type("DateEnd", "4/12");
        QuoteWatch watch;
        print(Print::AltP);
        QTRY_COMPARE(watch.pages().size(), 1);
        QCOMPARE(watch.printed("PolicyDays"), QString("101"));
        QCOMPARE(watch.printed("pr12earn"), QString("$277.00"));
        QCOMPARE(watch.printed("PolicyEnd"), QString("4/12/2026"));
        QCOMPARE(watch.printed("PolicyStart"), QString("1/1/2026"));
        QCOMPARE(text("NumDays"), QString("101"));
        QCOMPARE(text("DateEnd"), QString("4/12/2026"));
    }

    void theFirstQuoteIsWorkedFromTheStartUpInputs()
    {
        // The start-up zeros are no calculation: 0 days leave the whole
        // premium unearned, at an unearned rate of 1.
        type("Premium", "500");
        QuoteWatch watch;
        print(Print::Button);
        QTRY_COMPARE(watch.pages().size(), 1);
        QVERIFY(watch.boxes().isEmpty());
        QCOMPARE(watch.printed("PolicyDays"), QString("0"));
        QCOMPARE(watch.printed("pr12unearn"), QString("$500.00"));
        QCOMPARE(watch.printed("pr12urate"), QString("1.000"));
        QCOMPARE(watch.printed("sr6urate"), QString("1.00"));
        QCOMPARE(watch.printed("PolicyStart"), QString("12/7/2026"));
        QCOMPARE(watch.printed("PolicyEnd"), QString("12/7/2026"));
    }

    void figuresAlreadyWorkedAreNotWorkedAgain()
    {
        {
            ModalWatch watch;
            quote("1000", "1/1/2000", "1/1/2001");
            QCOMPARE(watch.seen().size(), 1); // the over-a-year message
        }
        QApplication::setActiveWindow(m_window.get()); // offscreen, a closed box does not hand it back
        // The same day in other words is the same input.
        type("DateEnd", "1/1/01");
        QuoteWatch quoteWatch;
        print(Print::AltP);
        QTRY_COMPARE(quoteWatch.pages().size(), 1);
        // A second calculation would have shown the message again.
        QVERIFY(quoteWatch.boxes().isEmpty());
        QCOMPARE(quoteWatch.printed("PolicyDays"), QString("366"));
        QCOMPARE(quoteWatch.printed("PolicyEnd"), QString("1/1/2001"));
    }

    void aDateThatCannotBeReadStopsTheQuote_data() { addPrintRows(); }

    void aDateThatCannotBeReadStopsTheQuote()
    {
        QFETCH(Print, how);
        quote("1000", "1/1/2026", "4/11/2026");
        SetApplicationTitle("Quillon Insurance Refund Calculator");
        type("DateEnd", "4/31/2026");
        QuoteWatch watch;
        print(how);
        QTRY_VERIFY(!watch.boxes().isEmpty());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QTest::qWait(150); // past the accelerator's animated click
        // The button takes the focus, so leaving the field reports it first;
        // the click then reports it again. Nothing else opens.
        for (const QString &box : watch.boxes())
            QCOMPARE(box, QString("'4/31/2026' is not a valid date."));
        QCOMPARE(watch.dialogs(), 0);
        QVERIFY(watch.pages().isEmpty());
        QCOMPARE(text("NumDays"), QString("100"));
        QCOMPARE(text("PR12Earn"), QString("$274.00"));
        QCOMPARE(text("DateEnd"), QString("4/31/2026"));
    }

    // Shown by the code that finds it, never left to unwind through Qt's
    // event handling to the application's last line of defence.
    void anUnreadableDateIsShownWhereItIsFound_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("leaving the field") << 0;
        QTest::newRow("Alt+P from the field") << 1;
        QTest::newRow("the field's calendar button") << 2;
    }

    void anUnreadableDateIsShownWhereItIsFound()
    {
        QFETCH(int, way);
        const auto *app = static_cast<QuillonApplication *>(QCoreApplication::instance());
        const int unhandled = app->unhandledErrors();
        ModalWatch watch;
        type("DateEnd", "abc");
        if (way == 0)
            focus(control<QPushButton>("BBPrint"));
        else if (way == 1)
            print(Print::AltP);
        else
            QTest::mouseClick(control<TDateEdit>("DateEnd")->button(), Qt::LeftButton);
        QTRY_COMPARE(watch.seen().size(), 1);
        QCOMPARE(watch.seen().first().text, QString("'abc' is not a valid date."));
        QCOMPARE(app->unhandledErrors(), unhandled);
    }

    void keysOnADateButtonLeaveItsFieldAndAltPStillPrints()
    {
        quote("1000", "1/1/2026", "4/11/2026");
        auto *button = control<TDateEdit>("DateEnd")->button();
        focus(button);
        QTest::keyClicks(button, "9");
        QTest::keyClick(button, Qt::Key_Backspace);
        QCOMPARE(text("DateEnd"), QString("4/11/2026"));
        QuoteWatch watch;
        print(Print::AltP);
        QTRY_COMPARE(watch.pages().size(), 1);
        QCOMPARE(watch.printed("PolicyEnd"), QString("4/11/2026"));
        QCOMPARE(watch.printed("PolicyDays"), QString("100"));
    }

    void rightClickOnADateButtonOpensTheWindowsMenu()
    {
        auto *button = control<TDateEdit>("DateStart")->button();
        QList<QStringList> menus;
        ModalWatch entries([&](QWidget *popup) {
            QStringList texts;
            for (QAction *action : popup->actions())
                texts << action->text();
            menus << texts;
            popup->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(button, &event);
        QTRY_COMPARE(menus.size(), 1);
        // Not the field's edit menu, whose Paste and Delete would edit it.
        QCOMPARE(menus.first().first(), QString("Print Form"));
    }

    void typedMarkupInADateIsShownAsText()
    {
        QList<Qt::TextFormat> formats;
        ModalWatch watch({}, [&](const ModalWatch::Seen &) {
            formats << qobject_cast<QMessageBox *>(QApplication::activeModalWidget())->textFormat();
        });
        type("DateEnd", "<b>x</b><br>y");
        focus(control<QPushButton>("BBPrint"));
        QTRY_COMPARE(watch.seen().size(), 1);
        QCOMPARE(watch.seen().first().text, QString("'<b>x</b><br>y' is not a valid date."));
        QCOMPARE(formats, QList<Qt::TextFormat>{Qt::PlainText});
    }

    void leavingThePremiumDoesNotRecalculate()
    {
        quote("1000", "1/1/2026", "4/11/2026");
        focus(control<TCurrencyEdit>("Premium"));
        control<TCurrencyEdit>("Premium")->setText("2000");
        focus(control<QPushButton>("BBPrint"));
        QCOMPARE(text("PR12Earn"), QString("$274.00"));
        focus(control<TDateEdit>("DateEnd"));
        focus(control<QPushButton>("BBPrint"));
        QCOMPARE(text("PR12Earn"), QString("$548.00"));
    }

    void tabCycleVisitsEachControlAndItsButton()
    {
        QCOMPARE(QApplication::focusWidget(), control<QRadioButton>("RadioRefund"));
        const QList<QWidget *> expected{control<TCurrencyEdit>("Premium"), control<TDateEdit>("DateStart"),
                                        control<TDateEdit>("DateStart")->button(), control<TDateEdit>("DateEnd"),
                                        control<TDateEdit>("DateEnd")->button(), control<QPushButton>("BBPrint"),
                                        control<QRadioButton>("RadioRefund")};
        for (QWidget *next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void tabIntoTheButtonDoesNotCalculateButTabOnDoes()
    {
        control<TCurrencyEdit>("Premium")->setValue(1000.0L);
        focus(control<TDateEdit>("DateEnd"));
        control<TDateEdit>("DateEnd")->setText("4/11/2027");
        QTest::keyClick(control<TDateEdit>("DateEnd"), Qt::Key_Tab);
        QCOMPARE(text("NumDays"), QString("0"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), control<QPushButton>("BBPrint"));
        QCOMPARE(text("NumDays"), QString("125"));
    }

    void firstTabAppliesTheRefundTexts()
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(control<QLabel>("Label9")->text(), QString("Refund"));
        QCOMPARE(control<QLabel>("Label13")->text(), QString("Total Premium"));
        QCOMPARE(control<QLabel>("Label14")->text(), QString("Policy Effective date"));
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
        // Every caption reads whole, the longest wording included.
        for (const char *name : {"Label13", "Label14", "Label15", "Label18"}) {
            const QLabel *caption = control<QLabel>(name);
            QVERIFY2(caption->width() >= caption->fontMetrics().horizontalAdvance(caption->text()), name);
        }
        QCOMPARE(control<TCurrencyEdit>("Premium")->toolTip(),
                 QString("Enter the total additional premium as if was going to be paid at the start of the policy"));
        for (const char *name : {"NA1", "NA2", "NA3", "NA4"})
            QVERIFY(control<QLabel>(name)->isVisible());
        for (const char *name : {"SR12URate", "SR12Unearn", "SR12ERate", "SR12Earn", "SR6URate", "SR6Unearn", "SR6ERate", "SR6earn"})
            QVERIFY(!control<QWidget>(name)->isVisible());
        QCOMPARE(control<QWidget>("PR12Unearn")->accessibleName(), QString("12 Month Pro-Rated Amt Due Amount"));

        // A calculation still writes the hidden fields; switching back shows them.
        focus(control<TDateEdit>("DateEnd"));
        control<TDateEdit>("DateEnd")->setText("1/2/2026");
        focus(control<QPushButton>("BBPrint"));
        control<QRadioButton>("RadioRefund")->click();
        QVERIFY(control<QWidget>("SR12Earn")->isVisible());
        QCOMPARE(text("SR12Earn"), QString("$50.00"));
        QCOMPARE(control<QWidget>("SR12Unearn")->accessibleName(), QString("12 Month Short Rated Refund Amount"));
    }

    void captionsNameTheirFieldsForAssistiveTechnology()
    {
        control<QRadioButton>("RadioAddl")->click();
        QAccessibleInterface *premium = QAccessible::queryAccessibleInterface(control<QWidget>("Premium"));
        QVERIFY(premium);
        QCOMPARE(premium->text(QAccessible::Name), QString("Add. Annual Premium"));
        QAccessibleInterface *end = QAccessible::queryAccessibleInterface(control<QWidget>("DateEnd"));
        QCOMPARE(end->text(QAccessible::Name), QString("Change Effective Date"));
    }

    void popupMenuHasItsNineEntriesInOrder()
    {
        QStringList entries;
        for (QAction *action : m_window->PMenu1()->actions())
            entries << (action->isSeparator() ? QString("-") : action->text());
        QCOMPARE(entries, QStringList({"Print Form", "-", "Printer Setup", "-", "Company Information", "-", "About Quillon",
                                       "-", "Office Rules..."}));
    }

    // "Printer Setup" only sets up: OK and Cancel, nothing previewed or
    // printed. What OK takes opens every later quote's preview; what
    // Cancel leaves changes nothing.
    void printerSetupCarriesToEveryLaterQuote_data()
    {
        QTest::addColumn<SetUpAnswer>("answer");
        QTest::addColumn<QPageSize::PageSizeId>("paper");
        QTest::addColumn<QPageLayout::Orientation>("orientation");
        QTest::newRow("OK on A4 landscape")
            << SetUpAnswer{QPageSize::A4, Qt::Key_L, true} << QPageSize::A4 << QPageLayout::Landscape;
        QTest::newRow("OK on Legal portrait")
            << SetUpAnswer{QPageSize::Legal, Qt::Key_O, true} << QPageSize::Legal << QPageLayout::Portrait;
        QTest::newRow("Cancel after choosing A4 landscape")
            << SetUpAnswer{QPageSize::A4, Qt::Key_L, false} << QPageSize::Letter << QPageLayout::Portrait;
    }

    void printerSetupCarriesToEveryLaterQuote()
    {
        QFETCH(SetUpAnswer, answer);
        QFETCH(QPageSize::PageSizeId, paper);
        QFETCH(QPageLayout::Orientation, orientation);
        SetUpWatch watch(answer);
        openPrinterSetupFromTheMenu();
        QTRY_COMPARE(watch.setUps(), 1);
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

    void rightClickOnTheSurfaceOrALabelOpensTheMenu_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("a label") << "Label25";
        QTest::newRow("a group box") << "GB12";
        QTest::newRow("a panel") << "Panel1";
    }

    void rightClickOnTheSurfaceOrALabelOpensTheMenu()
    {
        QFETCH(QString, target);
        auto *widget = m_window->findChild<QWidget *>(target);
        ModalWatch watch;
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), widget->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(widget, &event);
        QTRY_COMPARE(watch.seen().size(), 1);
        QCOMPARE(watch.seen().first().className, QString("QMenu"));
    }

    void aboutOpensAFreshBoxEachTime()
    {
        QStringList boxes;
        QList<QWidget *> seen;
        ModalWatch watch([&](QWidget *box) {
            seen << box;
            QVERIFY(!m_window->isEnabled() || QApplication::activeModalWidget() == box);
            static_cast<QDialog *>(box)->accept();
        });
        m_window->AboutQuillon1Click();
        m_window->AboutQuillon1Click();
        QCOMPARE(watch.seen().size(), 2);
        QCOMPARE(watch.seen().first().title, QString("About Quillon"));
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

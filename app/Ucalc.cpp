#include "Ucalc.h"

#include <QContextMenuEvent>
#include <QMessageBox>

#include "Ctlsettings.h"
#include "Curred32.h"
#include "Inifile.h"
#include "Ucompany.h"
#include "Ugetdet.h"
#include "Preview.h"
#include "Uprpt.h"
#include "Dateedit.h"
#include "Errordisplay.h"
#include "Formscale.h"
#include "Messages.h"
#include "Quote.h"
#include "Picpanel.h"
#include "Radiogrp.h"
#include "Shortdate.h"
#include "Uaboutbx.h"
#include "Urules.h"
#include "ui_Ucalc.h"

using namespace quillon;

TFGIS *FGIS = nullptr;

namespace {

QString fromStd(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

TFGIS::TFGIS(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::TFGIS>())
{
    initQuillonPictures();
    ui->setupUi(this);
    FitFormToFonts(this);
    ui->RadioGroup1->setItems({ui->RadioRefund, ui->RadioAddl});
    // Every field shows its figure in the format every other output of a
    // quote uses (Quote.h), so the window and quillon-quote read the same.
    ui->Premium->setDisplayFormat(fromStd(kPremiumFieldFormat));
    ui->NumDays->setDisplayFormat(fromStd(kDaysFieldFormat));
    for (std::size_t i = 0; i < kQuoteFigures.size(); ++i) {
        m_figureFields[i] = findChild<TCurrencyEdit *>(fromStd(kQuoteFigures[i].name));
        m_figureFields[i]->setDisplayFormat(fromStd(kQuoteFigures[i].format));
    }
    for (QLabel *caption : {ui->Label13, ui->Label14, ui->Label15, ui->Label18})
        caption->adjustSize();
    // The first date field is the policy's effective date in both quotation
    // types, though its caption reads "Inception Date" until the first
    // switch; its calendar button is named after it.
    ui->DateStart->setAccessibleName(QString::fromLatin1(Messages::CaptionsFor(false).start));
    // The boxes have no captions of their own: the coloured panels over
    // their top edges are their titles, and name them for a screen reader.
    ui->GB12->setAccessibleName(ui->Panel4->text());
    ui->GB6->setAccessibleName(ui->Panel5->text());
    KeepFixedInkReadable(ui->LCoName); // navy, as laid out
    m_helpLine = ui->Label25->text();
    m_helpIndent = ui->Label25->indent();
    buildMenu();
    wire();
    FormCreate();
}

TFGIS::~TFGIS()
{
    if (FGIS == this)
        FGIS = nullptr;
}

TCurrencyEdit *TFGIS::Premium() const { return ui->Premium; }
TDateEdit *TFGIS::DateStart() const { return ui->DateStart; }
TDateEdit *TFGIS::DateEnd() const { return ui->DateEnd; }
TCurrencyEdit *TFGIS::NumDays() const { return ui->NumDays; }
QLabel *TFGIS::LCoName() const { return ui->LCoName; }
TRadioGroup *TFGIS::RadioGroup1() const { return ui->RadioGroup1; }

void TFGIS::buildMenu()
{
    m_menu = std::make_unique<QMenu>(this);
    m_menu->setObjectName(QStringLiteral("PMenu1"));
    auto add = [this](const char *name, const QString &text, void (TFGIS::*handler)()) {
        QAction *action = m_menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
    };
    add("PrintForm1", tr("Print Form"), &TFGIS::BBPrintClick);
    m_menu->addSeparator()->setObjectName(QStringLiteral("N3"));
    add("PrinterSetup1", tr("Printer Setup"), &TFGIS::BBPrintSetupClick);
    m_menu->addSeparator()->setObjectName(QStringLiteral("N1"));
    add("CompanyInformation1", tr("Company Information"), &TFGIS::BitBtn3Click);
    m_menu->addSeparator()->setObjectName(QStringLiteral("N2"));
    add("AboutQuillon1", tr("About Quillon"), &TFGIS::AboutQuillon1Click);
    m_menu->addSeparator()->setObjectName(QStringLiteral("N4"));
    add("OfficeRules1", tr("Office Rules..."), &TFGIS::OfficeRules1Click);
}

void TFGIS::wire()
{
    connect(ui->RadioGroup1, &TRadioGroup::clicked, this, &TFGIS::RadioGroup1Click);
    connect(ui->RadioGroup1, &TRadioGroup::exited, this, &TFGIS::RadioGroup1Exit);
    for (TDateEdit *field : {ui->DateStart, ui->DateEnd})
        connect(field, &TDateEdit::exited, this, [this, field] {
            // A date that cannot be read has been reported; the field's own
            // check would only report it again, so it does not run.
            if (!DateEndChange())
                field->abandonExit();
        });
    connect(ui->BBPrint, &QPushButton::clicked, this, &TFGIS::BBPrintClick);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TFGIS::BitBtn1Click);

    // Each date field's drop-down button follows the field in the tab cycle.
    const QList<QWidget *> cycle{ui->RadioRefund, ui->RadioAddl, ui->Premium, ui->DateStart,
                                 ui->DateStart->button(), ui->DateEnd, ui->DateEnd->button(), ui->BBPrint};
    for (qsizetype i = 1; i < cycle.size(); ++i)
        setTabOrder(cycle[i - 1], cycle[i]);

    for (QWidget *hinted : {static_cast<QWidget *>(ui->Premium), static_cast<QWidget *>(ui->DateStart),
                            static_cast<QWidget *>(ui->DateEnd), static_cast<QWidget *>(ui->NumDays)})
        hinted->installEventFilter(this);
}

void TFGIS::FormCreate()
{
    // The locale's own pattern, unless it could not be read back (month
    // names, say): then the fields' own form, so the first exit reads today.
    const std::string today = StartupDateText(Today(), ControlLocale(), Today());
    ui->DateStart->setText(QString::fromStdString(today));
    ui->DateEnd->setText(QString::fromStdString(today));
}

void TFGIS::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TFGIS::FormShow()
{
    LoadCompanyInfo();
    ui->LCoName->setText(CompanyInfo.Co);
    ApplyMiniHelp();
    showRulesLine();
}

void TFGIS::ApplyMiniHelp()
{
    // Only the exact text "ON" turns the hints on.
    m_showHints = CompanyInfo.Minihelp == QLatin1String("ON");
}

bool TFGIS::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !m_showHints)
        return true;
    return QWidget::eventFilter(watched, event);
}

void TFGIS::contextMenuEvent(QContextMenuEvent *event)
{
    m_menu->exec(event->globalPos());
}

bool TFGIS::DateEndChange()
{
    // A text that is not a date shows the conversion error and ends this
    // handler with nothing written. The inception date is read first, so it
    // is the one named when both are bad.
    const std::optional<int> start = ParseShortDateOrShowError(ui->DateStart->text());
    if (!start)
        return false;
    const std::optional<int> end = ParseShortDateOrShowError(ui->DateEnd->text());
    if (!end)
        return false;
    const long double premium = ui->Premium->Value();
    // The built-in rules give CalculateRefundQuote's figures bit for bit.
    // The window has no fees and no expiration date, the only rules that
    // can refuse a quote, so the calculation always gives figures here.
    const RuleSet rules = quoteRules();
    const RuledQuote worked = CalculateRuledQuote(premium, *start, *end, rules);
    m_outcome = worked.outcome;
    showQuote(worked);
    m_worked = WorkedInputs{premium, *start, *end, rulesKey(rules)};
    showRulesLine();
    return true;
}

void TFGIS::showQuote(const RuledQuote &worked)
{
    const RefundQuote &quote = worked.quote;
    ui->NumDays->setValue(static_cast<long double>(quote.Days));
    // At most one message, after the day count and before any other figure.
    if (const std::string_view message = worked.outcome.rangeMessage; !message.empty())
        QMessageBox::critical(this, fromStd(Messages::kRangeCaption), fromStd(message));

    // A negative count has no pro-rated figures: they show zeros, not the
    // previous quote's figures, so nothing on show (or printed) belongs to
    // other dates. A short rate the office's table does not give (a 6-month
    // term under a 12-month table) shows empty, and the line under the
    // figures says why.
    for (std::size_t i = 0; i < kQuoteFigures.size(); ++i) {
        TCurrencyEdit *field = m_figureFields[i];
        const QuoteFigure &figure = kQuoteFigures[i];
        if (!figure.proRated && !FigureWorked(quote, figure)) {
            field->setValue(0.0L);
            field->setText(QString());
            continue;
        }
        // An emptied field rebuilds its text only for a value other than
        // the one it holds: it is given another first.
        if (field->text().isEmpty())
            field->setValue(field->Value() == 0.0L ? 1.0L : 0.0L);
        field->setValue(FigureValue(quote, figure));
    }
}

RuleSet TFGIS::quoteRules() const
{
    return ui->RadioGroup1->ItemIndex() == 0 ? OfficeRules : RulesForAdditionalPremium(OfficeRules);
}

void TFGIS::showRulesLine()
{
    // The help text keeps its place (the indent of the layout) and its font,
    // so the window under the built-in rules is exactly as it has always
    // been; a rules line takes the width of both boxes above it.
    QString line;
    if (!OfficeRulesError.isEmpty())
        line = tr("Office rules not read, the built-in tables are used: %1").arg(GeneralErrorText(OfficeRulesError));
    else if (!OfficeRules.isDefault() && ui->RadioGroup1->ItemIndex() != 0)
        line = tr("The office rules apply to refunds only.");
    else
        line = QuoteRulesText(OfficeRules, m_outcome, ControlLocale());
    ui->Label25->setToolTip(line);
    ui->Label25->setAccessibleDescription(line);
    if (line.isEmpty()) {
        ui->Label25->setIndent(m_helpIndent);
        ui->Label25->setText(m_helpLine);
        return;
    }
    ui->Label25->setIndent(0);
    ui->Label25->setText(ui->Label25->fontMetrics().elidedText(line, Qt::ElideRight, ui->Label25->width()));
}

void TFGIS::RadioGroup1Click()
{
    ApplyQuotationType();
}

void TFGIS::RadioGroup1Exit()
{
    ApplyQuotationType();
}

void TFGIS::ApplyQuotationType()
{
    const bool refund = ui->RadioGroup1->ItemIndex() == 0;
    const Messages::QuotationCaptions &texts = Messages::CaptionsFor(!refund);

    ui->Label9->setText(QString::fromLatin1(texts.unearned));
    for (QLabel *label : {ui->Label3, ui->Label5, ui->Label7})
        label->setText(ui->Label9->text());
    ui->Label2->setText(QString::fromLatin1(texts.earned));
    for (QLabel *label : {ui->Label4, ui->Label6, ui->Label8})
        label->setText(ui->Label2->text());
    ui->Label13->setText(QString::fromLatin1(texts.premium));
    ui->Label14->setText(QString::fromLatin1(texts.start));
    ui->Label15->setText(QString::fromLatin1(texts.end));
    // Captions fit their words: "Add. Annual Premium" is longer than the
    // box "Premium" was laid out for.
    for (QLabel *caption : {ui->Label13, ui->Label14, ui->Label15, ui->Label18})
        caption->adjustSize();
    ui->Premium->setToolTip(QString::fromLatin1(texts.premiumHint));
    ui->NumDays->setToolTip(QString::fromLatin1(texts.daysHint));

    for (QLabel *notApplicable : {ui->NA1, ui->NA2, ui->NA3, ui->NA4})
        notApplicable->setVisible(!refund);
    showRulesLine();
    for (std::size_t i = 0; i < kQuoteFigures.size(); ++i) {
        const QuoteFigure &figure = kQuoteFigures[i];
        // Hiding does not clear: a hidden field keeps its figure and later
        // calculations still write it.
        if (!figure.proRated)
            m_figureFields[i]->setVisible(refund);
        // Assistive technology names each figure by its row and column as shown.
        m_figureFields[i]->setAccessibleName(QStringLiteral("%1 Month %2 %3 %4")
                                                 .arg(figure.months)
                                                 .arg(QLatin1String(figure.proRated ? "Pro-Rated" : "Short Rated"),
                                                      QLatin1String(figure.unearned ? texts.unearned : texts.earned),
                                                      QLatin1String(figure.rate ? "Rate" : "Amount")));
    }
    ui->NumDays->setAccessibleName(QString::fromLatin1(refund ? "Number of days in force" : "Number of days to the change"));
}

bool TFGIS::bringFiguresUpToDate()
{
    // Alt+P and the popup menu leave the focus in the premium field: end its
    // editing as leaving would, so the premium printed is the premium worked.
    // (Only then: read back from its formatted text, a figure that was never
    // typed could lose its unshown decimals.)
    if (focusWidget() == ui->Premium)
        ui->Premium->commitEdit();
    const LocaleSettings &locale = ControlLocale();
    const auto start = TryParseShortDate(ui->DateStart->text().toStdString(), locale, Today());
    const auto end = TryParseShortDate(ui->DateEnd->text().toStdString(), locale, Today());
    // Exactly as leaving a date field: the same range messages, and a date
    // that cannot be read shows the conversion error, so no quote is made.
    if (!(m_worked && start && end
          && *m_worked == WorkedInputs{ui->Premium->Value(), *start, *end, rulesKey(quoteRules())})
        && !DateEndChange())
        return false;
    // Whole dates on the quote, as the fields show them after leaving. Both
    // texts read as the worked days by now, or DateEndChange would have failed.
    ui->DateStart->SetDate(m_worked->start);
    ui->DateEnd->SetDate(m_worked->end);
    return true;
}

void TFGIS::BBPrintClick()
{
    // A quote is only ever made of figures worked from the inputs beside them;
    // a date that cannot be read has been reported and stops the quote.
    if (!bringFiguresUpToDate())
        return;
    const bool refund = ui->RadioGroup1->ItemIndex() == 0;
    QuoteTexts texts;
    texts.additionalPremium = !refund;
    {
        // A fresh dialog for every quote, gone once its texts are read.
        TFGetDetail dialog(this);
        dialog.setHeading(QString::fromLatin1(Messages::CaptionsFor(!refund).title));
        dialog.exec(); // however it closes, the quote goes on
        texts.policyNumber = dialog.PolicyNum();
        texts.client = dialog.ClientName();
        texts.policyType = dialog.PolicyType();
    }
    // The quote takes the texts as shown, character for character.
    texts.company = CompanyInfo;
    texts.premium = ui->Premium->text();
    texts.start = ui->DateStart->text();
    texts.end = ui->DateEnd->text();
    texts.days = ui->NumDays->text();
    for (std::size_t i = 0; i < kQuoteFigures.size(); ++i)
        texts.figures[i] = m_figureFields[i]->text();
    // The rules the figures were just worked by, as bringFiguresUpToDate made sure.
    texts.rules = QuoteRulesText(quoteRules(), m_outcome, ControlLocale());
    if (!FQReport)
        FQReport = new TFQReport;
    FillQuotePage(FQReport->QR, texts);
    // The preview takes its own copy of the page, so a second quote started
    // while this one is open cannot change what this one prints.
    PreviewQuote(FQReport->QR, this, m_printerChoice);
}

void TFGIS::BBPrintSetupClick()
{
    // Only sets up: the choice holds for the rest of the run, and every later
    // preview opens and prints with this printer, paper and orientation.
    TPrinterSetup PSDialog1(m_printerChoice, this);
    if (PSDialog1.exec() == QDialog::Accepted)
        m_printerChoice = PSDialog1.choice();
}

void TFGIS::BitBtn1Click()
{
    close();
}

void TFGIS::BitBtn3Click()
{
    // The dialog destroys itself when it closes; the record already holds
    // whatever it saved, so the file is not read again.
    auto *dialog = new TFCompanyInfo(this);
    dialog->exec();
    // The dialog saves through the settings layer; the window applies what
    // the record now holds.
    ApplyMiniHelp();
    ui->LCoName->setText(CompanyInfo.Co);
}

void TFGIS::OfficeRules1Click()
{
    {
        TFRules dialog(this);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    // Figures on show were worked by the rules before: they are worked
    // again at once, so the window never shows the new rules beside figures
    // of the old ones.
    ++m_rulesGeneration;
    m_outcome = RuleOutcome{};
    if (!m_worked || !DateEndChange())
        showRulesLine();
}

void TFGIS::AboutQuillon1Click()
{
    // A fresh box each time; nothing survives between uses.
    TFAboutBox box(this);
    box.exec();
}

#include "Urules.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "Company.h"
#include "Ctlsettings.h"
#include "Dispfmt.h"
#include "Errordisplay.h"
#include "Formscale.h"
#include "Inifile.h"
#include "Picpanel.h"
#include "Radiogrp.h"
#include "ui_Urules.h"

using namespace quillon;

namespace {

QString fromStd(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// "87.5%" as the rules write a share, as the clerk types it: "87,5" where
// the decimal separator is a comma.
QString shareShown(std::string written, const LocaleSettings &locale)
{
    written.pop_back(); // the '%', which the field's caption carries
    if (const std::size_t point = written.find('.'); point != std::string::npos)
        written.replace(point, 1, locale.decimalSeparator);
    return fromStd(written);
}

enum ShortRateItem { kTables, kShare, kTable };

} // namespace

TFRules::TFRules(QWidget *owner)
    : QDialog(owner)
    , ui(std::make_unique<Ui::TFRules>())
{
    initQuillonPictures();
    ui->setupUi(this);
    FitFormToFonts(this);
    ui->GBShortRate->setItems({ui->RBTables, ui->RBShare, ui->RBTable});
    // Typing a share or a file chooses that rule.
    connect(ui->EShare, &QLineEdit::textEdited, this, [this] { ui->GBShortRate->setItemIndex(kShare); });
    connect(ui->ETable, &QLineEdit::textEdited, this, [this] { ui->GBShortRate->setItemIndex(kTable); });
    connect(ui->BBrowse, &QPushButton::clicked, this, &TFRules::BBrowseClick);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &TFRules::BitBtn2Click);
    FormActivate();
}

TFRules::~TFRules() = default;

void TFRules::FormActivate()
{
    m_opened = OfficeRules;
    const LocaleSettings &locale = ControlLocale();
    const RuleTexts written = TextsOf(m_opened);
    switch (m_opened.shortRate.kind) {
    case ShortRateRule::Kind::BuiltInTables: ui->GBShortRate->setItemIndex(kTables); break;
    case ShortRateRule::Kind::ShareOfProRata:
        ui->GBShortRate->setItemIndex(kShare);
        ui->EShare->setText(shareShown(written.shortRate, locale));
        break;
    case ShortRateRule::Kind::Table:
        ui->GBShortRate->setItemIndex(kTable);
        ui->ETable->setText(fromStd(written.shortRate));
        break;
    }
    // An amount in the locale's notation, which is how it is read back; the
    // rule held is kept unless the clerk edits the field (isModified), so
    // an amount finer than cents is never rounded by opening the dialog.
    const MinimumEarned &minimum = m_opened.minimumEarned;
    if (minimum.kind == MinimumEarned::Kind::Amount)
        ui->EMinimum->setText(fromStd(FormatText(minimum.amount, "0.00", locale)));
    else if (minimum.kind == MinimumEarned::Kind::PercentOfPremium)
        ui->EMinimum->setText(shareShown(written.minimumEarned, locale) + u'%');
    ui->GBShortRate->item(ui->GBShortRate->ItemIndex())->setFocus(Qt::OtherFocusReason);
}

void TFRules::BBrowseClick()
{
    const QString start = ui->ETable->text().isEmpty() ? QDir::homePath() : QFileInfo(ui->ETable->text()).absolutePath();
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Short-Rate Table"), start,
                                                        tr("Short-rate tables (*.csv *.txt);;All files (*)"));
    if (chosen.isEmpty())
        return;
    ui->ETable->setText(QDir::toNativeSeparators(chosen));
    ui->GBShortRate->setItemIndex(kTable);
}

std::optional<RuleSet> TFRules::controlRules() const
{
    const LocaleSettings &locale = ControlLocale();
    RuleRead<ShortRateRule> shortRate{ShortRateRule{}, {}};
    switch (ui->GBShortRate->ItemIndex()) {
    case kShare: {
        QString share = ui->EShare->text().trimmed();
        if (share.endsWith(u'%'))
            share.chop(1);
        shortRate = ParseShortRateRule((share + u'%').toStdString(), locale);
        break;
    }
    case kTable: {
        const QString typed = ui->ETable->text().trimmed();
        if (typed.isEmpty()) {
            ShowGeneralError(tr("Choose the short-rate table file, or another short-rate rule"));
            return std::nullopt;
        }
        // Kept by its absolute name, so the rule holds wherever the program
        // is started from. The file is read now: a table refused names its
        // first faulty line.
        shortRate = ParseShortRateRule(QFileInfo(typed).absoluteFilePath().toStdString(), locale);
        break;
    }
    default: break;
    }
    if (!shortRate.value) {
        ShowGeneralError(fromStd(shortRate.error));
        return std::nullopt;
    }
    RuleSet rules;
    rules.shortRate = std::move(*shortRate.value);
    rules.minimumEarned = m_opened.minimumEarned;
    if (ui->EMinimum->isModified()) {
        const RuleRead<MinimumEarned> minimum = ParseMinimumEarned(ui->EMinimum->text().toStdString(), locale);
        if (!minimum.value) {
            ShowGeneralError(fromStd(minimum.error));
            return std::nullopt;
        }
        rules.minimumEarned = *minimum.value;
    }
    return rules;
}

void TFRules::BitBtn2Click()
{
    // Refused or not saved, the dialog stays open with what the clerk typed,
    // to correct it or to cancel.
    const std::optional<RuleSet> rules = controlRules();
    if (!rules)
        return;
    try {
        SaveOfficeRules(*rules);
    } catch (const IniWriteError &error) {
        ShowGeneralError(QString::fromUtf8(error.what()));
        return;
    }
    accept();
}

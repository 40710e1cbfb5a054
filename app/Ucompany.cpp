#include "Ucompany.h"

#include <QKeyEvent>

#include "Errordisplay.h"
#include "Formscale.h"
#include "Inifile.h"
#include "Maskedit.h"
#include "Picpanel.h"
#include "Upcase.h"
#include "Company.h"
#include "ui_Ucompany.h"

using namespace quillon;


TFCompanyInfo::TFCompanyInfo(QWidget *owner)
    : QDialog(owner)
    , ui(std::make_unique<Ui::TFCompanyInfo>())
{
    initQuillonPictures();
    ui->setupUi(this);
    FitFormToFonts(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ui->Edit6->setValidator(new UpperCaseValidator(ui->Edit6));
    ui->RGMiniHelp->setItems({ui->MiniHelpOn, ui->MiniHelpOff});
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TFCompanyInfo::BitBtn1Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &TFCompanyInfo::BitBtn2Click);
}

TFCompanyInfo::~TFCompanyInfo() = default;

void TFCompanyInfo::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Filled once, when the dialog opens. Coming back from a message box
    // must not refill the controls over what the clerk has typed.
    if (!m_filled) {
        m_filled = true;
        // In the middle of the screen, not over the main window.
        CentreOnScreen(this);
        FormActivate();
    }
}

void TFCompanyInfo::FormActivate()
{
    // The file as it is now: another window or a hand edit may have
    // changed it since start-up.
    m_shown = CurrentCompanyInfo();
    ui->Edit1->setText(m_shown.Co);
    ui->Edit2->setText(m_shown.Add1);
    ui->Edit3->setText(m_shown.Add2);
    ui->Edit4->setText(m_shown.City);
    ui->Edit5->setText(m_shown.State);
    ui->Edit6->setText(m_shown.Zip);
    ui->MaskEdit2->setStoredText(m_shown.Phone);
    ui->MaskEdit3->setStoredText(m_shown.Fax);
    ui->RGMiniHelp->setItemIndex(m_shown.Minihelp == QLatin1String("ON") ? 0 : 1);
    // Read back from the controls, so a value they show in a form of their
    // own (an empty mask, "Off" for "on") counts as unchanged until the
    // clerk changes it.
    m_opened = controlValues();
    ui->Edit1->setFocus(Qt::OtherFocusReason);
}

void TFCompanyInfo::keyPressEvent(QKeyEvent *event)
{
    // Neither button is the default or the cancel button: Enter and Escape
    // leave the dialog open.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TFCompanyInfo::BitBtn1Click()
{
    done(QDialog::Rejected);
}

void TFCompanyInfo::BitBtn2Click()
{
    // The button's result is set before anything is saved, so the dialog
    // closes even when the save fails and its error is shown. It closes from
    // a call of its own: a failed save's box opens over the dialog, which
    // then closes behind it.
    setResult(QDialog::Accepted);
    QMetaObject::invokeMethod(this, [this] { done(QDialog::Accepted); }, Qt::QueuedConnection);
    try {
        SaveCompanyInfo(m_opened, controlValues());
    } catch (const IniWriteError &error) {
        ShowGeneralError(QString::fromUtf8(error.what()));
    }
}

TCompanyInfo TFCompanyInfo::controlValues() const
{
    TCompanyInfo values;
    values.Co = ui->Edit1->text();
    values.Add1 = ui->Edit2->text();
    values.Add2 = ui->Edit3->text();
    values.City = ui->Edit4->text();
    values.State = ui->Edit5->text();
    values.Zip = ui->Edit6->text();
    values.Phone = maskedText(ui->MaskEdit2, m_shown.Phone);
    values.Fax = maskedText(ui->MaskEdit3, m_shown.Fax);
    values.Minihelp = ui->RGMiniHelp->ItemIndex() == 0 ? QStringLiteral("ON") : QStringLiteral("OFF");
    return values;
}

QString TFCompanyInfo::maskedText(const TMaskEdit *edit, const QString &stored)
{
    // A number typed by hand in another form ("555-1234") only fits the
    // mask by moving or dropping digits; unless the clerk edited the field
    // it is kept as stored. No number at all is stored as the empty mask.
    return edit->isModified() || stored.isEmpty() ? edit->Text() : stored;
}

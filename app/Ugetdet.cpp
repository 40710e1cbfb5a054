#include "Ugetdet.h"

#include <QKeyEvent>

#include "Picpanel.h"
#include "Upcase.h"
#include "ui_Ugetdet.h"

TFGetDetail::TFGetDetail(QWidget *owner)
    : QDialog(owner)
    , ui(std::make_unique<Ui::TFGetDetail>())
{
    initQuillonPictures();
    ui->setupUi(this);
    ui->PolicyNum->setValidator(new UpperCaseValidator(ui->PolicyNum));
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TFGetDetail::BitBtn1Click);
}

TFGetDetail::~TFGetDetail() = default;

void TFGetDetail::setHeading(const QString &kind)
{
    ui->Label5->setText(kind);
}

QString TFGetDetail::heading() const
{
    return ui->Label5->text();
}

QString TFGetDetail::PolicyNum() const
{
    return ui->PolicyNum->text();
}

QString TFGetDetail::ClientName() const
{
    return ui->ClientName->text();
}

QString TFGetDetail::PolicyType() const
{
    return ui->PolicyType->text();
}

void TFGetDetail::BitBtn1Click()
{
    accept();
}

void TFGetDetail::keyPressEvent(QKeyEvent *event)
{
    // No default and no cancel button: Enter and Escape do not close it.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

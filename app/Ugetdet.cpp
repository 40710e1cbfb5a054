#include "Ugetdet.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

#include "Formscale.h"
#include "Labelfit.h"
#include "Picpanel.h"
#include "Upcase.h"
#include "ui_Ugetdet.h"

using namespace quillon;

TFGetDetail::TFGetDetail(QWidget *owner)
    : QDialog(owner)
    , ui(std::make_unique<Ui::TFGetDetail>())
{
    initQuillonPictures();
    ui->setupUi(this);
    FitFormToFonts(this);
    ui->PolicyNum->setValidator(new UpperCaseValidator(ui->PolicyNum));
    // The form declares Done before the edits, and the tab order alone does
    // not move it in the focus chain, so the dialog would open on Done.
    ui->PolicyNum->setFocus();
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TFGetDetail::BitBtn1Click);
    for (QLineEdit *edit : {ui->PolicyNum, ui->ClientName, ui->PolicyType})
        connect(edit, &QLineEdit::textChanged, this, &TFGetDetail::updateLongTextNote);
    updateLongTextNote();
}

TFGetDetail::~TFGetDetail() = default;

void TFGetDetail::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Its designed place on the screen, clear of the main window's inputs,
    // rather than centred over its owner; measured from the corner of the
    // screen that holds the main window, so a second monitor keeps it there.
    const QScreen *screen = OwnerScreen(this);
    PlaceOnScreen(this, screen, (screen ? screen->geometry().topLeft() : QPoint()) + QPoint(84, 95));
}

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

namespace {

// "A", "A and B", "A, B and C".
QString listed(const QStringList &names)
{
    if (names.size() < 2)
        return names.join(QString());
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + names.last();
}

QString captionOf(const QLabel *label)
{
    QString caption = label->text();
    if (caption.endsWith(u':'))
        caption.chop(1);
    return caption;
}

} // namespace

void TFGetDetail::updateLongTextNote()
{
    // A note, not a message box: the clerk may shorten the text or accept
    // the cut, and a box on every keystroke would stop the typing.
    const struct
    {
        const QLineEdit *edit;
        const QLabel *caption;
        QString pageLabel;
    } fields[] = {
        {ui->PolicyNum, ui->Label1, QStringLiteral("PolicyNum")},
        {ui->ClientName, ui->Label2, QStringLiteral("Client")},
        {ui->PolicyType, ui->Label3, QStringLiteral("PolicyType")},
    };
    QStringList tooLong;
    for (const auto &field : fields) {
        if (!QuoteFieldPrintsWhole(field.pageLabel, field.edit->text()))
            tooLong << captionOf(field.caption);
    }
    ui->LongTextNote->setText(tooLong.isEmpty() ? QString()
                                                : tr("Too long to print in full: %1 will end in \u2026")
                                                      .arg(listed(tooLong)));
    ui->LongTextNote->setVisible(!tooLong.isEmpty());
}

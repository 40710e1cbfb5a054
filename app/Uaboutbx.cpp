#include "Uaboutbx.h"

#include <QKeyEvent>
#include <QPushButton>

#include "Formscale.h"
#include "Picpanel.h"
#include "ui_Uaboutbx.h"

TFAboutBox::TFAboutBox(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TFAboutBox>())
{
    initQuillonPictures();
    ui->setupUi(this);
    FitFormToFonts(this);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
    // Taken when the box becomes active, so Enter goes to the button at once.
    ui->OKButton->setFocus();
}

TFAboutBox::~TFAboutBox() = default;

void TFAboutBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // In the middle of the screen, not over the main window.
    CentreOnScreen(this);
}

void TFAboutBox::keyPressEvent(QKeyEvent *event)
{
    // The box has no Cancel button, so Escape does nothing; only OK and the
    // title bar's close box end it. Closing goes through reject(), which must
    // therefore stay as it is.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFAboutBox;
}

// The about box: the picture panel and an OK button. Its owner creates one
// for each showing and destroys it after exec() returns.
class TFAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TFAboutBox(QWidget *parent = nullptr);
    ~TFAboutBox() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::TFAboutBox> ui;
};

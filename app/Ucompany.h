#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFCompanyInfo;
}
class TMaskEdit;

// The company information dialog: edits the CompanyInfo record and saves it
// to the settings file. A fresh dialog for every use; it destroys itself
// when it closes.
class TFCompanyInfo : public QDialog
{
    Q_OBJECT
public:
    explicit TFCompanyInfo(QWidget *owner);
    ~TFCompanyInfo() override;

public slots:
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void FormActivate();
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    static QString maskedText(const TMaskEdit *edit, const QString &stored);

    std::unique_ptr<Ui::TFCompanyInfo> ui;
    bool m_filled = false;
};

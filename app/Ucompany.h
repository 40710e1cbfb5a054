#pragma once

#include <QDialog>
#include <memory>

#include "Company.h"

namespace Ui {
class TFCompanyInfo;
}
class TMaskEdit;

// The company information dialog: edits the company details the settings
// file holds, saves the clerk's changes to it and takes what it then holds
// into CompanyInfo. A fresh dialog for every use; it destroys itself when it
// closes.
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
    TCompanyInfo controlValues() const;

    std::unique_ptr<Ui::TFCompanyInfo> ui;
    TCompanyInfo m_shown;  // as read, to fill the controls
    TCompanyInfo m_opened; // the controls' values once filled
    bool m_filled = false;
};

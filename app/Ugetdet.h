#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class TFGetDetail;
}

// The policy information asked for before every quote: policy number,
// client and type of policy. A fresh, empty dialog for each quote; its
// caller reads the three texts and destroys it. While the clerk types, a
// note names any text too long to print in full on the quote.
class TFGetDetail : public QDialog
{
    Q_OBJECT
public:
    explicit TFGetDetail(QWidget *owner);
    ~TFGetDetail() override;

    void setHeading(const QString &kind); // Label5, beside "QUOTE"
    QString heading() const;
    QString PolicyNum() const;
    QString ClientName() const;
    QString PolicyType() const;

public slots:
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateLongTextNote();

    std::unique_ptr<Ui::TFGetDetail> ui;
};

#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QList>

class QRadioButton;

// A captioned group of radio buttons that acts as one control: an index, a
// click when the selection changes, and an exit when the focus leaves the
// group for a control outside it. The buttons come from the form's layout.
class TRadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    explicit TRadioGroup(QWidget *parent = nullptr);

    // Adopts the radio buttons, in index order. Selecting by code is silent.
    void setItems(const QList<QRadioButton *> &buttons);
    int ItemIndex() const;
    void setItemIndex(int index);
    QRadioButton *item(int index) const;

signals:
    void clicked();
    void exited();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QButtonGroup m_group;
    QList<QRadioButton *> m_buttons;
    bool m_settingIndex = false;
};

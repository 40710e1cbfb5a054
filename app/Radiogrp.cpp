#include "Radiogrp.h"

#include <QApplication>
#include <QFocusEvent>
#include <QRadioButton>

#include "Curred32.h"

TRadioGroup::TRadioGroup(QWidget *parent)
    : QGroupBox(parent)
{
    connect(&m_group, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked && !m_settingIndex)
            emit clicked();
    });
}

void TRadioGroup::setItems(const QList<QRadioButton *> &buttons)
{
    m_buttons = buttons;
    for (int i = 0; i < buttons.size(); ++i) {
        m_group.addButton(buttons[i], i);
        buttons[i]->installEventFilter(this);
    }
}

int TRadioGroup::ItemIndex() const
{
    return m_group.checkedId();
}

void TRadioGroup::setItemIndex(int index)
{
    m_settingIndex = true;
    if (QAbstractButton *button = m_group.button(index))
        button->setChecked(true);
    m_settingIndex = false;
}

QRadioButton *TRadioGroup::item(int index) const
{
    return index >= 0 && index < m_buttons.size() ? m_buttons[index] : nullptr;
}

bool TRadioGroup::eventFilter(QObject *watched, QEvent *event)
{
    // Moving between the group's own buttons is not leaving the group.
    if (event->type() == QEvent::FocusOut && IsLeavingFocus(static_cast<QFocusEvent *>(event))) {
        const QWidget *next = QApplication::focusWidget();
        if (!next || !isAncestorOf(next))
            emit exited();
    }
    return QGroupBox::eventFilter(watched, event);
}

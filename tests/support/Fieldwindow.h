#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QtTest>

// An active window holding one field under test and a neighbour to move the
// focus to, for the tests of the entry controls.
template <class Field, class Next = QLineEdit>
struct FieldWindow
{
    QWidget widget;
    // Created first, so activation puts the focus here and entering the
    // field under test is always a real focus change.
    QLineEdit *start = new QLineEdit(&widget);
    Field *field = new Field(&widget);
    Next *next = new Next(&widget);

    FieldWindow()
    {
        field->resize(121, 25);
        start->move(0, 80);
        next->move(0, 40);
        widget.show();
        QApplication::setActiveWindow(&widget);
        QVERIFY(QTest::qWaitForWindowActive(&widget));
        start->setFocus(Qt::OtherFocusReason);
    }
    void enter() { field->setFocus(Qt::TabFocusReason); }
    void leave() { next->setFocus(Qt::TabFocusReason); }
};

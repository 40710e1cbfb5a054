#pragma once

// What the window and control tests share: a control found by its name, a
// window made active so focus changes are real, a right click, the Tab
// cycle as a clerk walks it, what a box shows, and the printer set-up
// answered by keys.

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>
#include <algorithm>
#include <cstdlib>

// The child of `parent` named `name`; a missing one ends the run here rather
// than as a crash further on.
template <class T = QWidget>
T *named(const QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// Shows `window` and waits until it is active for the widgets too: a focus set
// before then goes to the window that was active, and no field loses it.
inline bool activate(QWidget *window)
{
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window)
        && QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

inline void rightClick(QWidget *widget)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), widget->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(widget, &event);
}

// How the box active now lays out its text, for a ModalWatch's onSeen: a text
// that quotes what was typed must never be read as markup.
inline Qt::TextFormat activeBoxFormat()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    return box ? box->textFormat() : Qt::AutoText;
}

// The widgets Tab reaches from the focus, in order, until it comes back.
inline QList<QWidget *> tabCycle()
{
    QWidget *const start = QApplication::focusWidget();
    QList<QWidget *> cycle;
    while (start && cycle.size() < 100) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        cycle << QApplication::focusWidget();
        if (cycle.last() == start)
            break;
    }
    return cycle;
}

// Whether a clerk reading the window meets `widgets` in that order: row by
// row from the top, left to right within a row.
inline bool inReadingOrder(const QList<QWidget *> &widgets)
{
    for (qsizetype i = 1; i < widgets.size(); ++i) {
        const QRect a(widgets[i - 1]->mapToGlobal(QPoint(0, 0)), widgets[i - 1]->size());
        const QRect b(widgets[i]->mapToGlobal(QPoint(0, 0)), widgets[i]->size());
        const bool sameRow = std::abs(a.center().y() - b.center().y()) < std::min(a.height(), b.height()) / 2;
        if (sameRow ? a.left() >= b.left() : a.center().y() > b.center().y())
            return false;
    }
    return true;
}

// The fields in `window` a clerk can tab to and type into.
inline QList<QWidget *> editableFields(const QWidget *window)
{
    QList<QWidget *> fields;
    for (QLineEdit *field : window->findChildren<QLineEdit *>())
        if (field->isVisible() && field->isEnabled() && !field->isReadOnly() && (field->focusPolicy() & Qt::TabFocus))
            fields << field;
    return fields;
}

// Answers the printer set-up by its mnemonics alone: paper A4, Landscape,
// one copy more, then Enter (take) or Escape.
inline void answerPrinterSetupByKeys(QWidget *modal, bool take)
{
    QVERIFY(QTest::qWaitForWindowActive(modal)); // mnemonics reach only the active window
    QTest::keyClick(modal, Qt::Key_S, Qt::AltModifier);
    QTest::keyClicks(modal->focusWidget(), QStringLiteral("A4"));
    QTest::keyClick(modal, Qt::Key_L, Qt::AltModifier);
    QTest::qWait(300); // a mnemonic clicks its button as the eye can see it
    QTest::keyClick(modal, Qt::Key_C, Qt::AltModifier);
    QTest::keyClick(modal->focusWidget(), Qt::Key_Up);
    QTest::keyClick(modal->focusWidget(), take ? Qt::Key_Return : Qt::Key_Escape);
}

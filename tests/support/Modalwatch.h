#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

// Closes the modal windows a test's own actions open, and records what each
// showed, so no test can hang on a box left open.
class ModalWatch : public QObject
{
public:
    struct Seen
    {
        QString className;
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };

    // `close` decides how to close a modal widget that is not a message box;
    // by default it is rejected.
    explicit ModalWatch(std::function<void(QWidget *)> close = {}, std::function<void(const Seen &)> onSeen = {})
        : m_close(std::move(close))
        , m_onSeen(std::move(onSeen))
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &ModalWatch::poll);
        m_timer.start();
    }

    const QList<Seen> &seen() const { return m_seen; }

private:
    void poll()
    {
        // Popup menus are not modal but block the same way.
        QWidget *modal = QApplication::activePopupWidget();
        if (!modal)
            modal = QApplication::activeModalWidget();
        // A window handled once stays handled, even when it becomes the active
        // modal again after a box it opened has closed.
        if (!modal || m_handled.contains(modal))
            return;
        m_handled.append(modal);
        Seen s;
        s.className = QString::fromLatin1(modal->metaObject()->className());
        s.title = modal->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            s.text = box->text();
            s.icon = box->icon();
            m_seen.append(s);
            if (m_onSeen)
                m_onSeen(s);
            box->done(QMessageBox::Ok);
            return;
        }
        m_seen.append(s);
        if (m_onSeen)
            m_onSeen(s);
        if (m_close)
            m_close(modal);
        else if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }

    std::function<void(QWidget *)> m_close;
    std::function<void(const Seen &)> m_onSeen;
    QTimer m_timer;
    QList<QPointer<QWidget>> m_handled;
    QList<Seen> m_seen;
};

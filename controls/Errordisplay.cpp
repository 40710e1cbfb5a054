#include "Errordisplay.h"

#include <QMessageBox>
#include <exception>

#include "Messages.h"

namespace {
QString &titleStorage()
{
    static QString title;
    return title;
}
} // namespace

QuillonApplication::QuillonApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

bool QuillonApplication::notify(QObject *receiver, QEvent *event)
{
    // The one place errors are caught for display. Everything a handler had
    // not done yet when it raised the error stays undone.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        ShowGeneralError(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowGeneralError(QStringLiteral("Unknown error"));
    }
    return false;
}

QString ApplicationTitle()
{
    return titleStorage();
}

void SetApplicationTitle(const QString &title)
{
    titleStorage() = title;
}

QString GeneralErrorText(const QString &message)
{
    return QString::fromStdString(Messages::ErrorDisplayText(message.toStdString()));
}

void ShowGeneralError(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), GeneralErrorText(message), QMessageBox::Ok);
    box.exec();
}

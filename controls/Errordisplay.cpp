#include "Errordisplay.h"

#include <QMessageBox>
#include <exception>

#include "Fontsubst.h"
#include "Messages.h"

using namespace quillon;

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
    // Before any form resolves a face it names.
    InstallFontSubstitutions();
}

bool QuillonApplication::notify(QObject *receiver, QEvent *event)
{
    // The last line of defence: an error no handler expected ends the
    // program otherwise. Everything the handler had not done yet when it
    // raised the error stays undone, and Qt's own bookkeeping of the event
    // may stay half done too, so no expected error is ever left to get here.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        ++m_unhandledErrors;
        ShowGeneralError(QString::fromUtf8(error.what()));
    } catch (...) {
        ++m_unhandledErrors;
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
    // Messages quote what the clerk typed; markup in it is shown, never obeyed.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

#include "Errordisplay.h"

#include <QFont>
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
    // The forms name the classic Windows faces; where they are missing, the
    // metric-compatible Liberation faces keep captions at their designed widths.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("MS Serif"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
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
    // Messages quote what the clerk typed; markup in it is shown, never obeyed.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

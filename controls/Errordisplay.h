#pragma once

#include <QApplication>
#include <QString>

// The general error display: an error that escapes an event handler ends
// that handler, is shown in one message box and the program carries on.
class QuillonApplication : public QApplication
{
    Q_OBJECT
public:
    QuillonApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};

// The title that names the program; the general error display's caption.
QString ApplicationTitle();
void SetApplicationTitle(const QString &title);

// The text the error display shows: the message, with a full stop appended
// when its last character sorts after the full stop.
QString GeneralErrorText(const QString &message);

// Shows the error box (application title as caption, error icon, OK) modally.
void ShowGeneralError(const QString &message);

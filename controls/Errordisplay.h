#pragma once

#include <QApplication>
#include <QString>

// The application object. Every error the program expects is shown with
// ShowGeneralError by the code that finds it, which then returns; notify()
// is only the last line of defence: an error that still escapes an event
// handler ends that handler, is shown in the same box and the program
// carries on.
class QuillonApplication : public QApplication
{
    Q_OBJECT
public:
    QuillonApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // How many errors notify() has had to catch in this run; none is
    // expected, so tests check that it stays where it was.
    int unhandledErrors() const { return m_unhandledErrors; }

private:
    int m_unhandledErrors = 0;
};

// The title that names the program; the general error display's caption.
QString ApplicationTitle();
void SetApplicationTitle(const QString &title);

// The text the error display shows: the message, with a full stop appended
// when its last character sorts after the full stop.
QString GeneralErrorText(const QString &message);

// Shows the error box (application title as caption, error icon, OK) modally.
// The code that finds an error calls it where it finds it and returns.
void ShowGeneralError(const QString &message);

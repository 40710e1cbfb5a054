#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class TFSSplash;
}

// The window on screen while the program builds its forms at start-up: the
// picture panel above a "loading" line. It takes no input.
class TFSSplash : public QWidget
{
    Q_OBJECT
public:
    TFSSplash();
    ~TFSSplash() override;

    // Shows the window and has it painted completely before returning, for
    // use before the event loop runs. Meanwhile only the window system's own
    // events are handled (the expose that maps the window); input stays
    // queued for the main window.
    void paintNow();

private:
    void centreOnScreen();
    bool isExposed() const;

    std::unique_ptr<Ui::TFSSplash> ui;
};

// Set between the splash's creation and its destruction at start-up;
// null at any other time.
extern TFSSplash *FSSplash;

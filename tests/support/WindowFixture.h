#pragma once

#include "Board.h"
#include "tessary_interface.h"

#include <QObject>

#include <memory>

// A lamp's style sheet, %1 its state.
const QString kLamp = "QPushButton { border-image: url(:/Image/images/tip_%1.png);}";

// A main window, shown, on a fresh simulated bus with the one board "TS256A01"
// (unpaced), the window's globals back at their start values.
class WindowFixture : public QObject
{
    Q_OBJECT
protected:
    std::unique_ptr<TessaryWidget> window;
    std::shared_ptr<boardsim::Board> board;

    void startWindow();
    // Stops the worker and closes the device the window opened.
    void stopWindow();
    // Presses Open; true when the button then reads "Close".
    bool openBoard();
};

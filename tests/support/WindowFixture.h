#pragma once

#include "Board.h"
#include "tessary_interface.h"

#include <QObject>

#include <memory>

// A main window on a fresh simulated bus with the one board "TS256A01", the
// window's globals back at their start values.
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

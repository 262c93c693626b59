#include "WindowFixture.h"

#include "Bus.h"
#include "SimSupport.h"

void WindowFixture::startWindow()
{
    qputenv("TESSARY_SIM_BOARDS", "TS256A01");
    boardsim::Bus::instance().resetToEnvironment();
    board = boardsim::Bus::instance().board("TS256A01");
    board->setPaced(false); // frames as fast as they are asked for
    isConnected = false;
    isRuning = false;
    fthandle1 = nullptr;
    flipCode = 0;
    readSize = 600;
    resetRunState();
    window = std::make_unique<TessaryWidget>();
    window->show();
}

void WindowFixture::stopWindow()
{
    if (window) {
        window->videoThread->stop();
        if (window->ui.pushButton_5->text() == "Close")
            window->on_Open_Close_click();
    }
    window.reset();
    board.reset();
}

bool WindowFixture::openBoard()
{
    window->on_Open_Close_click();
    return window->ui.pushButton_5->text() == "Close";
}

#include "ConnectDialog.h"
#include "VoltageDetails.h"
#include "tessary_interface.h"

void Tessary_Interface::onVoltageDButtonClicked()
{
    auto* details = new VoltageDetails(this);
    // exec() deletes it when it returns, so no hidden dialog piles up behind
    // each click; on the heap it stays safe should the window go first.
    details->setAttribute(Qt::WA_DeleteOnClose);
    details->exec();
}

void Tessary_Interface::ConnectUs()
{
    ConnectDialog dialog(nullptr);
    dialog.setWindowFlags(Qt::FramelessWindowHint);
    dialog.exec();
}

#include "ConnectDialog.h"
#include "VoltageDetails.h"
#include "tessary_interface.h"

void Tessary_Interface::onVoltageDButtonClicked()
{
    // Each opening leaves its dialog behind as a hidden child of the window.
    auto* details = new VoltageDetails(this);
    details->exec();
}

void Tessary_Interface::ConnectUs()
{
    ConnectDialog dialog(nullptr);
    dialog.setWindowFlags(Qt::FramelessWindowHint);
    dialog.exec();
}

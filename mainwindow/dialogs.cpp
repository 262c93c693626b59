#include "tessary_interface.h"

void Tessary_Interface::onVoltageDButtonClicked() {}
void Tessary_Interface::ConnectUs() {}

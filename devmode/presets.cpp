#include "Developer_Mode.h"

void Developer_Mode::on_FREQConfig_Clicked() {}
void Developer_Mode::setModel(int) {}

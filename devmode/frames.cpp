#include "Developer_Mode.h"

void Developer_Mode::on_ADCConfig_Clicked() {}
void Developer_Mode::on_DACConfig_Clicked() {}
void Developer_Mode::on_ModeSwitch_Clicked() {}
void Developer_Mode::on_GOAConfig_Clicked() {}
void Developer_Mode::on_SCANConfig_Clicked() {}

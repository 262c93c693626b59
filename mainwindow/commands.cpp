#include "tessary_interface.h"

void Tessary_Interface::on_TFTConfig_click() {}
void Tessary_Interface::on_Chip_switch() {}
void Tessary_Interface::onCurrentSetting() {}
void Tessary_Interface::SystemReset() {}
int Tessary_Interface::getcharFromTFT(int, unsigned char*) { return 0; }
int Tessary_Interface::sum_16(const std::string&) { return 0; }
int Tessary_Interface::double2int(double) { return 0; }
int Tessary_Interface::checkTFTSum(const unsigned char*, uint64_t) { return 0; }

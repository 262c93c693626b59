#include "tessary_interface.h"

void Tessary_Interface::on_Password_ok_click() {}
void Tessary_Interface::on_Password_close_click() {}
void Tessary_Interface::on_Password_look_click() {}
void Tessary_Interface::DevelopModeSlot() {}

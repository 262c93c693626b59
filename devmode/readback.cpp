#include "Developer_Mode.h"

void Developer_Mode::on_ReadParam_Clicked() {}
void Developer_Mode::analyParam(UCHAR*) {}

#include "Tessary_VideoThread.h"

void Tessary_VideoThread::setMax(unsigned char*, unsigned char*, unsigned char*, unsigned char*) {}

void Tessary_VideoThread::setMin(unsigned char*, unsigned char*, unsigned char*, unsigned char*) {}

#include "Tessary_VideoThread.h"

void Tessary_VideoThread::save() {}

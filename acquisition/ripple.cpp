#include "Tessary_VideoThread.h"

void Tessary_VideoThread::removeRipple(cv::Mat&) {}

#include "Tessary_VideoThread.h"

void Tessary_VideoThread::keepFrame(unsigned char*, unsigned char*, unsigned char*,
                                    unsigned char*, const cv::Mat&)
{
}

void Tessary_VideoThread::save() {}

#include "Tessary_VideoThread.h"

bool Tessary_VideoThread::recordFrame(cv::Mat&)
{
    return true;
}

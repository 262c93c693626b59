#include "Tessary_VideoThread.h"

cv::Mat Tessary_VideoThread::integratedData(unsigned char*, unsigned char*, unsigned char*,
                                            unsigned char*)
{
    return cv::Mat(kFrameSide, kFrameSide, CV_8UC1, cv::Scalar(0));
}

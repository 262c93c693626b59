#include "Tessary_VideoThread.h"

#include <opencv2/core.hpp>

#include <vector>

namespace {

// Swaps the quadrants diagonally, so the zero frequency moves to the centre.
void swapQuadrants(cv::Mat& spectrum, int cx, int cy)
{
    cv::Mat q0(spectrum, cv::Rect(0, 0, cx, cy));
    cv::Mat q1(spectrum, cv::Rect(cx, 0, cx, cy));
    cv::Mat q2(spectrum, cv::Rect(0, cy, cx, cy));
    cv::Mat q3(spectrum, cv::Rect(cx, cy, cx, cy));
    cv::Mat tmp;
    q0.copyTo(tmp);
    q3.copyTo(q0);
    tmp.copyTo(q3);
    q1.copyTo(tmp);
    q2.copyTo(q1);
    tmp.copyTo(q2);
}

} // namespace

void Tessary_VideoThread::removeRipple(cv::Mat& image)
{
    // The notch is fixed in place: it needs 256 rows and 12 columns. Anything
    // it cannot be placed on (or a colour image) is passed on as it came
    // rather than brought down inside OpenCV on the acquisition thread.
    if (image.empty() || image.channels() != 1 || image.rows < 256 || image.cols < 12)
        return;

    const int cx = image.cols / 2;
    const int cy = image.rows / 2;

    cv::Mat planes[2];
    image.convertTo(planes[0], CV_32F, 1, 0);
    planes[1] = cv::Mat::zeros(image.size(), CV_32F);
    cv::Mat spectrum;
    cv::merge(planes, 2, spectrum);
    cv::dft(spectrum, spectrum, 0, 0);
    swapQuadrants(spectrum, cx, cy);

    // Horizontal frequencies -6..+1 combined with the high vertical ones: the
    // stripes a few rows apart that the readout leaves.
    cv::Mat mask = cv::Mat::ones(image.rows, image.cols, CV_32F);
    mask(cv::Rect(cx - 6, 0, 8, 100)).setTo(0);
    mask(cv::Rect(cx - 6, 156, 8, 100)).setTo(0);
    cv::Mat maskPair[2] = {mask, mask};
    cv::Mat complexMask;
    cv::merge(maskPair, 2, complexMask);
    cv::mulSpectrums(spectrum, complexMask, spectrum, 0, false);

    // Not swapped back: that only flips signs per pixel, and only the
    // magnitude is kept.
    cv::idft(spectrum, spectrum, 0, 0);
    cv::split(spectrum, planes);
    cv::magnitude(planes[0], planes[1], planes[0]);
    cv::normalize(planes[0], planes[0], 0, 255, cv::NORM_MINMAX, -1, cv::noArray());
    cv::convertScaleAbs(planes[0], planes[0], 1, 0);
    image = planes[0];
}

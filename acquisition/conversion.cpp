#include "Tessary_VideoThread.h"
#include "conversion.h"

#include <mutex>
#include <vector>

cv::Mat Tessary_VideoThread::integratedData(unsigned char* chunk0, unsigned char* chunk1,
                                            unsigned char* chunk2, unsigned char* chunk3)
{
    constexpr int pixelsPerChunk = kChunkBytes / 4;
    const unsigned char* chunks[4] = {chunk0, chunk1, chunk2, chunk3};
    std::vector<uint32_t> raw(kFramePixels);
    for (int j = 0; j < 4; ++j) {
        uint32_t* out = raw.data() + j * pixelsPerChunk;
        for (int p = 0; p < pixelsPerChunk; ++p)
            out[p] = rawPixel(chunks[j] + 4 * p);
    }

    // One reading of A and B per frame: a change from the GUI applies to
    // whole frames only.
    const double A = fullScaleCharge.load();
    const double B = integrationTime.load();
    for (int i = 0; i < kFramePixels; ++i)
        currentData[i] = pixelCurrentRounded(raw[i], A, B);

    cv::Mat display(kFrameSide, kFrameSide, CV_8UC1);
    {
        // One lock per frame: the frame is scaled with one consistent pair
        // of reference arrays, never a half-filled one.
        std::lock_guard<std::mutex> lock(rangeMutex);
        uchar* gray = display.ptr<uchar>(0);
        for (int i = 0; i < kFramePixels; ++i)
            gray[i] = grayLevel(raw[i], minRange[i], maxRange[i]);
    }

    if (isFft.load())
        removeRipple(display);

    if (isSaveData.load())
        keepFrame(chunk0, chunk1, chunk2, chunk3, display);

    return display;
}

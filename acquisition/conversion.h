// The per-pixel formulas of the sensor: raw count to current, and raw count
// to display gray level. The frame conversion, the calibration files, the
// data export and the range labels all call these, so the numbers agree.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace cv {
class Mat;
}

// Current in nA of one raw count: 2^20 counts above the zero level 4096 stand
// for A pC collected in B us. Kept in exactly this order of double operations
// so every caller gets bit-identical values.
inline double pixelCurrent(uint32_t raw, double A, double B)
{
    constexpr uint32_t zeroLevel = 4096;
    constexpr double countStep = 9.5367431640625e-7; // 2^-20
    const double x = raw <= zeroLevel ? 0.0 : double(uint32_t(raw - zeroLevel)) * countStep;
    double y = x * A;
    y = y / B;
    y = y * 1000;
    return y;
}

// The same current rounded to four decimals. std::round takes halves away
// from zero whatever the floating-point rounding mode is.
inline double pixelCurrentRounded(uint32_t raw, double A, double B)
{
    double y = pixelCurrent(raw, A, B);
    y = y * 10000;
    return std::round(y) / 10000;
}

// Gray level 0..255 of a raw count between the pixel's dark and bright
// references. The arithmetic wraps in 32 bits like the board's own tools;
// the division is signed and truncates toward zero. The data export scales
// the distance |raw - dark| instead (`distance`), so a pixel below its dark
// reference gets the level of the same distance above it.
inline uint8_t grayLevel(uint32_t raw, uint32_t dark, uint32_t bright, bool distance = false)
{
    if (bright == dark)
        return bright != 0 ? 255 : 0;
    uint32_t d = raw - dark;
    if (distance && int32_t(d) < 0)
        d = 0u - d;
    const int32_t n = int32_t(d * 255u);
    const int32_t m = int32_t(bright - dark);
    // -2^31 / -1 has no 32-bit quotient (and traps on x86); its true value,
    // +2^31, is far above the scale, so it shows as full white.
    if (m == -1 && n == INT32_MIN)
        return 255;
    const int32_t q = n / m;
    return q < 0 ? 0 : q > 255 ? 255 : uint8_t(q);
}

// Pixel value of the raw frame: unsigned 32-bit little-endian.
inline uint32_t rawPixel(const unsigned char* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

// Whole runs of pixels, bit for bit what the formulas above give pixel by
// pixel: the frame conversion uses these. Plain calls the formulas; the
// vectorised kernels avoid their divisions and rounding call with exact
// rewrites, and each is held to the formulas by the tests.
enum class PixelKernel { Plain, Avx2, Avx512 };

// The kernels this processor runs, the fastest last.
std::vector<PixelKernel> availablePixelKernels();

// Currents (with A and B as in pixelCurrent) and gray levels of `count`
// pixels given as raw little-endian bytes, with per-pixel references.
void convertPixels(PixelKernel kernel, const unsigned char* raw, const uint32_t* dark,
                   const uint32_t* bright, int count, int A, int B, double* current, uint8_t* gray);

// Frame step after the conversion: turns the display frame clockwise by
// `angle` degrees about (128, 128), then mirrors it about the vertical axis
// when the flip code is 1.
void turnAndMirror(cv::Mat& frame, int angle, int flipCode);

// Where a place of that picture comes from: the raw-frame index of the pixel
// shown at `shownIndex` (row * 256 + column), or -1 on the border the turn
// leaves empty.
int rawIndexShownAt(int shownIndex, int angle, int flipCode);

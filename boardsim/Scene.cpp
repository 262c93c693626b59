#include "Scene.h"

#include <algorithm>
#include <cmath>

namespace boardsim {
namespace {

uint64_t mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint64_t hash3(uint64_t a, uint64_t b, uint64_t c)
{
    return mix(mix(mix(a) ^ b) ^ c);
}

constexpr double kPi = 3.14159265358979323846;
// 1 - exp(-k * 166 us) = 0.7 at the blob's peak.
const double kResponse = std::log(1.0 / 0.3) / 166.0;
constexpr double kBlobSigma = 28.0;
constexpr double kStripeCounts = 3000.0;
constexpr double kNoiseCounts = 120.0; // roughly one standard deviation

} // namespace

uint32_t fixedPatternOffset(uint32_t seed, std::size_t pixel)
{
    // A column component (as column amplifiers give) plus a per-pixel part.
    const std::size_t column = pixel % kSide;
    const uint32_t col = uint32_t(hash3(seed, 0xC0, column) % 500);
    const uint32_t px = uint32_t(hash3(seed, 0xF0, pixel) % 1201);
    return 300 + col + px;
}

void renderScene(uint32_t seed, uint64_t frameNumber, double integrationMicros, uint8_t* out)
{
    const double f = double(frameNumber);
    const double cx = 128.0 + 70.0 * std::cos(2.0 * kPi * f / 47.0);
    const double cy = 128.0 + 55.0 * std::sin(2.0 * kPi * f / 31.0);
    const double exposure = std::max(0.0, integrationMicros) * kResponse;

    double gx[kSide], gy[kSide], stripe[kSide];
    for (int i = 0; i < kSide; ++i) {
        gx[i] = std::exp(-(i - cx) * (i - cx) / (2 * kBlobSigma * kBlobSigma));
        gy[i] = std::exp(-(i - cy) * (i - cy) / (2 * kBlobSigma * kBlobSigma));
        stripe[i] = kStripeCounts * (0.5 + 0.5 * std::cos(2.0 * kPi * i / kStripePeriodRows));
    }

    const double top = double(kZeroLevel) + double(kFullScale);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const std::size_t i = std::size_t(y) * kSide + x;
            // Gradient from the top-left to the bottom-right corner.
            const double shape = 0.8 * gx[x] * gy[y] + 0.2 * (x + y) / (2.0 * (kSide - 1));
            const double light = kFullScale * (1.0 - std::exp(-exposure * shape));

            // Sum of four uniforms: cheap, bell-shaped noise.
            const uint64_t h = hash3(seed, frameNumber + 1, i);
            const double u = double(h & 0xFFFF) + double((h >> 16) & 0xFFFF) +
                             double((h >> 32) & 0xFFFF) + double((h >> 48) & 0xFFFF);
            const double noise = (u / 65535.0 - 2.0) * kNoiseCounts * 1.732;

            double v = kZeroLevel + fixedPatternOffset(seed, i) + light + stripe[y] + noise;
            v = std::clamp(v, 0.0, top);
            const uint32_t raw = uint32_t(v);
            uint8_t* p = out + 4 * i;
            p[0] = uint8_t(raw);
            p[1] = uint8_t(raw >> 8);
            p[2] = uint8_t(raw >> 16);
            p[3] = uint8_t(raw >> 24);
        }
    }
}

std::vector<uint8_t> renderScene(uint32_t seed, uint64_t frameNumber, double integrationMicros)
{
    std::vector<uint8_t> frame(kFrameBytes);
    renderScene(seed, frameNumber, integrationMicros, frame.data());
    return frame;
}

} // namespace boardsim

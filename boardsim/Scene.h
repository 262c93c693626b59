// The picture the simulated sensor sees, in raw counts as the board sends
// them: 256 x 256 little-endian uint32 pixels, row-major.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace boardsim {

constexpr int kSide = 256;
constexpr std::size_t kPixels = std::size_t(kSide) * kSide;
constexpr std::size_t kFrameBytes = kPixels * 4;     // 262,144
constexpr std::size_t kChunkBytes = kFrameBytes / 4; // 65,536
constexpr uint32_t kZeroLevel = 4096;
constexpr uint32_t kFullScale = 1u << 20; // counts above the zero level
constexpr int kStripePeriodRows = 4;

// Renders frame `frameNumber` of the scene for `seed` into `out` (kFrameBytes).
// Zero level plus a fixed per-pixel offset (300..2000 counts, the same in every
// frame of a seed), a smooth bright blob over a soft gradient that moves from
// frame to frame, horizontal stripes every kStripePeriodRows rows and seeded
// noise. The light signal grows with the integration time: about 70 % of full
// scale at the blob's peak at 166 us, saturating at longer times. Values are
// clamped to kZeroLevel + kFullScale. Deterministic in all three inputs.
void renderScene(uint32_t seed, uint64_t frameNumber, double integrationMicros, uint8_t* out);
std::vector<uint8_t> renderScene(uint32_t seed, uint64_t frameNumber, double integrationMicros);

// The fixed-pattern offset of one pixel, in counts (what a dark frame shows
// above the zero level, noise and stripes aside).
uint32_t fixedPatternOffset(uint32_t seed, std::size_t pixel);

} // namespace boardsim

// Register state of the simulated board: the payloads of the configuration
// frames as the board last received them, and the parameter block built
// from them.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace boardsim {

constexpr uint8_t kModeGoa = 1;
constexpr uint8_t kModeGateIc = 2;
constexpr uint32_t kFirmwareVersion = 0x00020001;
constexpr std::size_t kParamBlockSize = 256;

using ParamBlock = std::array<uint8_t, kParamBlockSize>;

struct BoardConfig
{
    // Payloads without their checksum byte, exactly as the frames carry them.
    uint8_t mode = kModeGateIc;
    std::array<uint8_t, 8> adc{};
    std::array<uint8_t, 32> dac{};
    std::array<uint8_t, 136> goa{};
    std::array<uint8_t, 32> scan{};

    // Power-on state: the developer form's defaults at 9 frames/s.
    static BoardConfig defaults();

    uint32_t int0Ticks() const;
    double integrationMicros() const; // INT0, 40 ticks per microsecond
    // Total period of the active mode's timing, in 100 ns steps (signed as sent).
    int32_t totalPeriod() const;
    // 10^7 / total period, truncated and clamped to 0..255 (0 for a period <= 0).
    uint8_t framesPerSecond() const;
    // Time between paced frames; zero when the period is not positive.
    std::chrono::nanoseconds framePeriod() const;

    ParamBlock paramBlock() const;
};

// Big-endian helpers shared by the config and the tests' frame builders.
uint32_t readBigEndian(const uint8_t* p, std::size_t width);
void writeBigEndian(uint8_t* p, uint32_t value, std::size_t width);

} // namespace boardsim

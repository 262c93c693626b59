#include "BoardConfig.h"

#include <algorithm>
#include <cstring>

namespace boardsim {

uint32_t readBigEndian(const uint8_t* p, std::size_t width)
{
    uint32_t v = 0;
    for (std::size_t i = 0; i < width; ++i)
        v = (v << 8) | p[i];
    return v;
}

void writeBigEndian(uint8_t* p, uint32_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        p[i] = uint8_t(value >> (8 * (width - 1 - i)));
}

BoardConfig BoardConfig::defaults()
{
    BoardConfig c;
    c.mode = kModeGateIc;

    const uint32_t int0Ticks = 166 * 40;
    writeBigEndian(&c.adc[0], int0Ticks, 3);
    writeBigEndian(&c.adc[3], int0Ticks, 3);
    writeBigEndian(&c.adc[6], 0x01BF, 2);

    const uint16_t dac[16] = {0x8000, 0x8000, 0x8000, 0x8000, 0x8000, 0x8000, 0xE000, 0x2000,
                              0x8000, 0x2000, 0x9333, 0x9333, 0x8000, 0x8000, 0x8333, 0x4000};
    for (int i = 0; i < 16; ++i)
        writeBigEndian(&c.dac[2 * i], dac[i], 2);

    const uint32_t trigger = (31u << 16) | 31u;
    const uint32_t goaHead[13] = {4800, 1041600, 5600, 8800, 5600, 3200,   4800,
                                  130,  9600,    3200, 4800, 129,  1111111};
    for (int i = 0; i < 13; ++i)
        writeBigEndian(&c.goa[4 * i], goaHead[i], 4);
    // 52..115 stay zero, as in the frame.
    const uint32_t goaTail[4] = {1600, 5600, 3200, 3200};
    for (int i = 0; i < 4; ++i)
        writeBigEndian(&c.goa[116 + 4 * i], goaTail[i], 4);
    writeBigEndian(&c.goa[132], trigger, 4);

    const uint32_t scan[7] = {1111111, 5600, 4000, 2000, 1600, 800, 0};
    for (int i = 0; i < 7; ++i)
        writeBigEndian(&c.scan[4 * i], scan[i], 4);
    writeBigEndian(&c.scan[28], trigger, 4);
    return c;
}

uint32_t BoardConfig::int0Ticks() const
{
    return readBigEndian(&adc[0], 3);
}

double BoardConfig::integrationMicros() const
{
    return int0Ticks() / 40.0;
}

int32_t BoardConfig::totalPeriod() const
{
    // GOA keeps its total period as the thirteenth field, SCAN as the first.
    const uint32_t raw = mode == kModeGoa ? readBigEndian(&goa[48], 4) : readBigEndian(&scan[0], 4);
    return int32_t(raw);
}

uint8_t BoardConfig::framesPerSecond() const
{
    const int32_t p = totalPeriod();
    if (p <= 0)
        return 0;
    return uint8_t(std::min<int32_t>(10000000 / p, 255));
}

std::chrono::nanoseconds BoardConfig::framePeriod() const
{
    const int32_t p = totalPeriod();
    return std::chrono::nanoseconds(p > 0 ? int64_t(p) * 100 : 0);
}

ParamBlock BoardConfig::paramBlock() const
{
    ParamBlock b{};
    b[0] = mode;
    b[1] = framesPerSecond();
    writeBigEndian(&b[2], kFirmwareVersion, 4);
    std::memcpy(&b[6], adc.data(), adc.size());
    std::memcpy(&b[17], dac.data(), dac.size());
    if (mode == kModeGoa)
        std::memcpy(&b[49], goa.data(), goa.size());
    else if (mode == kModeGateIc)
        std::memcpy(&b[49], scan.data(), scan.size());
    return b;
}

} // namespace boardsim

// What the developer window and the main window share when they build
// configuration frames: heads, the fixed frames, the DAC and panel-mode frames,
// big-endian fields, the payload checksum, the voltage and INT tick codes and
// the digit-string encoder.
#pragma once

#include "d2xx.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace framecodec {

constexpr std::size_t kHeadBytes = 6;
constexpr unsigned char kSystemReset[kHeadBytes] = {0xFF, 0xAA, 0x01, 0x00, 0x0D, 0xEB};
constexpr unsigned char kReadParameters[kHeadBytes] = {0xFF, 0xAA, 0x00, 0xFF, 0x0D, 0xEB};

constexpr unsigned char kAdcCommand = 0xA0;
constexpr unsigned char kDacCommand = 0xA1;
constexpr unsigned char kGoaCommand = 0xA2;
constexpr unsigned char kScanCommand = 0xA3;
constexpr unsigned char kModeCommand = 0xA4;

constexpr std::size_t kDacFields = 16;
constexpr std::size_t kDacFrameBytes = 39;
constexpr unsigned char kModeGoa = 0x01;
constexpr unsigned char kModeGateIc = 0x02;

// The pause between a configuration frame and the SystemReset that applies it.
constexpr unsigned long kApplyPauseMs = 100;

// Writes FF AA 00 code 0D EB at frame[0..5].
void putHead(unsigned char* frame, unsigned char code);
void putBigEndian(unsigned char* p, uint32_t value, std::size_t width);
uint32_t readBigEndian(const unsigned char* p, std::size_t width);
// Low 8 bits of the plain sum of the payload bytes.
unsigned char payloadChecksum(const unsigned char* payload, std::size_t length);

// The panel mode two radio buttons choose: GOA before GATE IC, 0 for neither.
unsigned char panelMode(bool goaChecked, bool gateIcChecked);
// FF AA 00 A4 0D EB mode mode; no frame at all for mode 0.
std::vector<unsigned char> modeFrame(unsigned char mode);

FT_STATUS writeBytes(FT_HANDLE handle, const unsigned char* bytes, DWORD length);
// Writes the frame (nothing when `size` is 0), runs `echo` when it went out,
// sleeps the apply pause and writes SystemReset, which goes out even after a
// failed frame. Returns the first failed status, FT_OK when both writes went out.
FT_STATUS sendAndReset(FT_HANDLE handle, const unsigned char* frame, std::size_t size,
                       const std::function<void()>& echo = {});

// A modal box without parent or title, text only.
void showPlainBox(const QString& text);

// Voltage code (V + 20) / 40 * 65536, rounded halves away from zero through
// Qt's fixed-point formatting. A result beyond the int range saturates rather
// than reading back as 0 (which would go out as -20 V); text that is not a
// number (NaN) counts as 0 V like any other unreadable text.
int voltageCode(double volts);
// INT tick code: microseconds * 40, saturated to the int range.
int tickCode(int micros);

// The digit-string encoder: the value's hexadecimal digits (from `table`) are
// built most significant first in `scratch`, padded to `width` digits and read
// back two at a time with `readPair`. Values outside 0 .. 16^width - 1 are
// clamped into it, so a too-large value goes out as all FF and a negative one
// as 0. The value 0 writes "0" to standard output. `scratch` is empty on return.
template <typename PairReader>
void encodeDigits(long long value, std::size_t width, unsigned char* out, std::string& scratch,
                  const std::string& table, PairReader readPair)
{
    const long long largest = (1LL << (4 * width)) - 1;
    value = std::clamp(value, 0LL, largest);
    scratch.clear();
    while (value != 0) {
        scratch.insert(scratch.begin(), table[std::size_t(value % 16)]);
        value /= 16;
    }
    if (scratch.empty()) {
        std::cout << 0;
        std::fill_n(out, width / 2, static_cast<unsigned char>(0));
        return;
    }
    if (scratch.size() < width)
        scratch.insert(0, width - scratch.size(), '0');
    for (std::size_t k = 0; k < width / 2; ++k)
        out[k] = static_cast<unsigned char>(readPair(scratch.substr(2 * k, 2)) & 0xFF);
    scratch.clear();
}

// The DAC frame from sixteen voltage codes in frame order; `encode` writes
// each code's two bytes.
template <typename Encode>
std::array<unsigned char, kDacFrameBytes> dacFrame(const int (&codes)[kDacFields], Encode encode)
{
    std::array<unsigned char, kDacFrameBytes> frame{};
    putHead(frame.data(), kDacCommand);
    for (std::size_t i = 0; i < kDacFields; ++i)
        encode(codes[i], frame.data() + 6 + 2 * i);
    frame[kDacFrameBytes - 1] = payloadChecksum(frame.data() + 6, 2 * kDacFields);
    return frame;
}

} // namespace framecodec

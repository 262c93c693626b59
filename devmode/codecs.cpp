// Number encoders and checksums of the developer window's frames.
#include "Developer_Mode.h"
#include "FrameCodec.h"

#include <iostream>

namespace {

int pairDigit(char c)
{
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    // Anything else counts by its distance from '0'; nothing is rejected.
    return c - '0';
}

int sumBytes(unsigned char* const* fields, std::size_t count, std::size_t width)
{
    int sum = 0;
    for (std::size_t f = 0; f < count; ++f)
        for (std::size_t i = 0; i < width; ++i)
            sum += fields[f][i];
    return sum;
}

} // namespace

int Developer_Mode::sum_16(std::string text)
{
    // A missing character counts as the digit 0.
    const char first = text.size() > 0 ? text[0] : '0';
    const char second = text.size() > 1 ? text[1] : '0';
    return 16 * pairDigit(first) + pairDigit(second);
}

int Developer_Mode::double2int(double volts)
{
    return framecodec::voltageCode(volts);
}

int Developer_Mode::getcharFromSide(int value, unsigned char* out)
{
    framecodec::encodeDigits(value, 6, out, s1, t1,
                             [this](const std::string& pair) { return sum_16(pair); });
    return 0;
}

int Developer_Mode::getcharFromTFT(int value, unsigned char* out)
{
    framecodec::encodeDigits(value, 4, out, s1, t1,
                             [this](const std::string& pair) { return sum_16(pair); });
    return 0;
}

int Developer_Mode::string2uchar(std::string text, unsigned char* out)
{
    if (text.empty()) {
        std::cout << 0;
        out[0] = out[1] = 0;
        return 0;
    }
    if (text.size() > 4) {
        // Leading zeros do not change the register value; beyond them a text
        // longer than four digits does not fit and saturates.
        const std::size_t zeros = std::min(text.find_first_not_of('0'), text.size());
        text.erase(0, std::min(zeros, text.size() - 4));
        if (text.size() > 4) {
            out[0] = out[1] = 0xFF;
            return 0;
        }
    }
    if (text.size() < 4)
        text.insert(0, 4 - text.size(), '0');
    out[0] = static_cast<unsigned char>(sum_16(text.substr(0, 2)) & 0xFF);
    out[1] = static_cast<unsigned char>(sum_16(text.substr(2, 2)) & 0xFF);
    return 0;
}

int Developer_Mode::checkGOAsum(unsigned char* f1, unsigned char* f2, unsigned char* f3,
                                unsigned char* f4, unsigned char* f5, unsigned char* f6,
                                unsigned char* f7, unsigned char* f8, unsigned char* f9,
                                unsigned char* f10, unsigned char* f11, unsigned char* f12,
                                unsigned char* f13, unsigned char* f14, unsigned char* f15,
                                unsigned char* f16, unsigned char* f17, unsigned char* f18)
{
    unsigned char* const fields[] = {f1,  f2,  f3,  f4,  f5,  f6,  f7,  f8,  f9,
                                     f10, f11, f12, f13, f14, f15, f16, f17, f18};
    return sumBytes(fields, 18, 4);
}

int Developer_Mode::checkTFTSCAN(unsigned char* f1, unsigned char* f2, unsigned char* f3,
                                 unsigned char* f4, unsigned char* f5, unsigned char* f6,
                                 unsigned char* f7, unsigned char* f8)
{
    unsigned char* const fields[] = {f1, f2, f3, f4, f5, f6, f7, f8};
    const int sum = sumBytes(fields, 8, 4);
    std::cout << "UCHAR value: " << std::dec << (sum & 0xFF) << std::endl;
    return sum;
}

int Developer_Mode::checkADCsum(unsigned char* int0, unsigned char* int1, unsigned char* cfgReg)
{
    unsigned char* const ticks[] = {int0, int1};
    return sumBytes(ticks, 2, 3) + cfgReg[0] + cfgReg[1];
}

int Developer_Mode::checkTFTsum(unsigned char* v1, unsigned char* v2, unsigned char* v3,
                                unsigned char* v4, unsigned char* v5, unsigned char* v6,
                                unsigned char* v7, unsigned char* v8, unsigned char* v9,
                                unsigned char* v10, unsigned char* v11, unsigned char* v12,
                                unsigned char* v13, unsigned char* v14, unsigned char* v15,
                                unsigned char* v16)
{
    unsigned char* const codes[] = {v1, v2,  v3,  v4,  v5,  v6,  v7,  v8,
                                    v9, v10, v11, v12, v13, v14, v15, v16};
    return sumBytes(codes, 16, 2);
}

unsigned char* Developer_Mode::getcharFromTreset(int value, unsigned char* out)
{
    framecodec::putBigEndian(out, static_cast<uint32_t>(value), 4);
    return out;
}

unsigned char* Developer_Mode::getcharFromSCAN(int value, unsigned char* out)
{
    return getcharFromTreset(value, out);
}

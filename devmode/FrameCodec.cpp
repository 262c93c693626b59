#include "FrameCodec.h"

#include <QMessageBox>
#include <QThread>

#include <climits>
#include <cmath>

namespace framecodec {

void putHead(unsigned char* frame, unsigned char code)
{
    const unsigned char head[kHeadBytes] = {0xFF, 0xAA, 0x00, code, 0x0D, 0xEB};
    std::copy(head, head + kHeadBytes, frame);
}

void putBigEndian(unsigned char* p, uint32_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * (width - 1 - i)));
}

uint32_t readBigEndian(const unsigned char* p, std::size_t width)
{
    uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = (value << 8) | p[i];
    return value;
}

unsigned char payloadChecksum(const unsigned char* payload, std::size_t length)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < length; ++i)
        sum += payload[i];
    return static_cast<unsigned char>(sum & 0xFF);
}

unsigned char panelMode(bool goaChecked, bool gateIcChecked)
{
    if (goaChecked)
        return kModeGoa;
    return gateIcChecked ? kModeGateIc : 0;
}

std::vector<unsigned char> modeFrame(unsigned char mode)
{
    if (mode == 0)
        return {};
    std::vector<unsigned char> frame(kHeadBytes + 2, mode);
    putHead(frame.data(), kModeCommand);
    return frame;
}

FT_STATUS writeBytes(FT_HANDLE handle, const unsigned char* bytes, DWORD length)
{
    DWORD written = 0;
    return FT_Write(handle, const_cast<unsigned char*>(bytes), length, &written);
}

FT_STATUS sendAndReset(FT_HANDLE handle, const unsigned char* frame, std::size_t size,
                       const std::function<void()>& echo)
{
    FT_STATUS sent = FT_OK;
    if (size != 0)
        sent = writeBytes(handle, frame, DWORD(size));
    if (sent == FT_OK && echo)
        echo();
    QThread::msleep(kApplyPauseMs);
    const FT_STATUS reset = writeBytes(handle, kSystemReset, sizeof kSystemReset);
    return sent != FT_OK ? sent : reset;
}

void showPlainBox(const QString& text)
{
    QMessageBox box;
    box.setText(text);
    box.exec();
}

int voltageCode(double volts)
{
    if (std::isnan(volts))
        volts = 0.0;
    const double x = (volts + 20.0) / 40.0 * 65536.0;
    // The bounds are where the rounded text would no longer fit an int.
    if (x >= 2147483647.5)
        return INT_MAX;
    if (x <= -2147483648.5)
        return INT_MIN;
    return QString::number(x, 'f', 0).toInt();
}

int tickCode(int micros)
{
    const long long ticks = static_cast<long long>(micros) * 40;
    return static_cast<int>(std::clamp<long long>(ticks, INT_MIN, INT_MAX));
}

} // namespace framecodec

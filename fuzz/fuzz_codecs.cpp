// The value encoders fed any field text: their bytes stand for the number the
// text reads as whenever that number fits the field, and they never write
// past it.
#include "Developer_Mode.h"
#include "FrameCodec.h"
#include "FuzzSupport.h"

#include <cctype>
#include <cmath>
#include <vector>

using framecodec::readBigEndian;

namespace {

bool hexDigits(const QByteArray& text)
{
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static Developer_Mode* const dev = new Developer_Mode;
    const QByteArray utf8(reinterpret_cast<const char*>(data), int(size));
    const QString text = QString::fromUtf8(utf8);
    // Each field at its exact width on the heap.
    std::vector<unsigned char> ticks(3), code(2), reg(2);

    const int micros = text.toInt();
    dev->getcharFromSide(framecodec::tickCode(micros), ticks.data());
    if (micros >= 0 && micros <= 419430)
        fuzzCheck(readBigEndian(ticks.data(), 3) == uint32_t(micros) * 40, "INT tick code");

    const double volts = text.toDouble();
    const int voltageCode = dev->double2int(volts);
    dev->getcharFromTFT(voltageCode, code.data());
    if (voltageCode >= 0 && voltageCode <= 0xFFFF)
        fuzzCheck(readBigEndian(code.data(), 2) == uint32_t(voltageCode), "voltage code bytes");
    // Within half a step of the voltage wherever the voltage has a code.
    const double step = 40.0 / 65536.0;
    if (volts >= -20.0 && volts < 20.0 - step / 2)
        fuzzCheck(std::abs(voltageCode * step - 20.0 - volts) <= step / 2 + 1e-9,
                  "voltage code rounding");

    const std::string field = utf8.toStdString();
    dev->string2uchar(field, reg.data());
    if (!utf8.isEmpty() && utf8.size() <= 4 && hexDigits(utf8))
        fuzzCheck(readBigEndian(reg.data(), 2) == utf8.toUInt(nullptr, 16), "CFG_REG bytes");

    dev->sum_16(field);
    fuzzCheck(s1.empty(), "the digit string is left empty");
    return 0;
}

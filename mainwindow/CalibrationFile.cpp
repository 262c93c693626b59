#include "CalibrationFile.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace {
constexpr size_t kMaxValues = 65536;
} // namespace

std::vector<uint32_t> readCalibration(QIODevice& in)
{
    std::vector<uint32_t> values;
    // A new line is started only while fewer than 65,535 values are in.
    while (!in.atEnd() && values.size() < kMaxValues - 1) {
        QByteArray line = in.readLine();
        if (line.isEmpty())
            break; // a read error: even an empty line brings its line end
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        // By its size: a NUL byte must not cut the rest of the line away and
        // move the following values to other pixels.
        const QStringList parts =
            QString::fromLatin1(line.constData(), line.size()).split(',', Qt::SkipEmptyParts);
        for (const QString& part : parts) {
            if (values.size() == kMaxValues)
                break;
            // The product can pass 2^32; the reference keeps its low 32 bits.
            values.push_back(uint32_t(uint64_t(part.toUInt() * 1.1)));
        }
    }
    return values;
}

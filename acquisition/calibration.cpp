#include "CsvTable.h"
#include "Tessary_VideoThread.h"
#include "conversion.h"

#include <QDebug>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

constexpr int kSlots = 10;

} // namespace

void Tessary_VideoThread::setMax(unsigned char* chunk0, unsigned char* chunk1,
                                 unsigned char* chunk2, unsigned char* chunk3)
{
    unsigned char* const chunks[4] = {chunk0, chunk1, chunk2, chunk3};
    calibrationStep(chunks, maxRange, maxCalibration, maxNotStored,
                    QStringLiteral("Calibration/ON_calibration.csv"),
                    QStringLiteral("Calibration/ON_Current_calibration.csv"));
}

void Tessary_VideoThread::setMin(unsigned char* chunk0, unsigned char* chunk1,
                                 unsigned char* chunk2, unsigned char* chunk3)
{
    unsigned char* const chunks[4] = {chunk0, chunk1, chunk2, chunk3};
    calibrationStep(chunks, minRange, minCalibration, minNotStored,
                    QStringLiteral("Calibration/OFF_calibration.csv"),
                    QStringLiteral("Calibration/OFF_Current_calibration.csv"));
}

void Tessary_VideoThread::calibrationStep(unsigned char* const chunks[4], uint32_t* range,
                                          uint32_t* copy, std::atomic<bool>& notStored,
                                          const QString& rawFile, const QString& currentFile)
{
    if (!calibSamples)
        calibSamples.reset(new uint32_t[std::size_t(kSlots) * kFramePixels]);

    constexpr int pixelsPerChunk = kChunkBytes / 4;
    uint32_t* slot = calibSamples.get() + std::size_t(calibIndex) * kFramePixels;
    for (int j = 0; j < 4; ++j)
        for (int p = 0; p < pixelsPerChunk; ++p)
            slot[j * pixelsPerChunk + p] = rawPixel(chunks[j] + 4 * p);

    if (calibIndex != kSlots - 1) {
        ++calibIndex;
        return;
    }
    calibIndex = 0;

    // Mean of the middle eight of ten, in wrapping 32-bit sums: the sum of
    // all ten less the lowest and the highest is the sum of the sorted
    // s[1] … s[8], without sorting.
    const uint32_t* samples = calibSamples.get();
    for (int i = 0; i < kFramePixels; ++i) {
        uint32_t sum = 0;
        uint32_t low = UINT32_MAX;
        uint32_t high = 0;
        for (int s = 0; s < kSlots; ++s) {
            const uint32_t v = samples[std::size_t(s) * kFramePixels + i];
            sum += v;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        copy[i] = (sum - low - high) >> 3;
    }
    {
        std::lock_guard<std::mutex> lock(rangeMutex);
        std::copy_n(copy, kFramePixels, range);
    }

    // Both files are attempted, whatever became of the first.
    const bool rawStored = storeCalibrationFile(rawFile, [copy](char* out) {
        return csv::putTable(out, csv::Commas::AfterEach,
                             [copy](int i, char* o) { return csv::putUnsigned(o, copy[i]); });
    });

    // The current file shows no current below the zero level, and the copy
    // keeps what the file shows.
    const double A = fullScaleCharge.load();
    const double B = integrationTime.load();
    const bool currentStored = storeCalibrationFile(currentFile, [copy, A, B](char* out) {
        return csv::putTable(out, csv::Commas::AfterEach, [copy, A, B](int i, char* o) {
            if (copy[i] < kZeroLevel) {
                copy[i] = kZeroLevel;
                return csv::putDouble(o, 0.0);
            }
            return csv::putDouble(o, pixelCurrent(copy[i], A, B));
        });
    });
    notStored = !rawStored || !currentStored;
}

bool Tessary_VideoThread::storeCalibrationFile(const QString& name,
                                               const std::function<char*(char*)>& putText)
{
    csv::CsvFile file(name, true);
    if (file.isOpen()) {
        std::vector<char> text(csv::kMaxTableText);
        const char* end = putText(text.data());
        file.write(text.data(), std::size_t(end - text.data()));
        if (file.close()) {
            qDebug() << "ok：" << name;
            return true;
        }
    }
    qDebug() << "gg";
    emit storeFailed(QStringLiteral("Could not write ") + name);
    return false;
}

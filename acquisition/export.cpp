#include "CsvTable.h"
#include "RunningDataManager.h"
#include "Tessary_VideoThread.h"
#include "conversion.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <mutex>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

extern RunningDataManager* runningDataManagerVT;

void Tessary_VideoThread::keepFrame(unsigned char* chunk0, unsigned char* chunk1,
                                    unsigned char* chunk2, unsigned char* chunk3,
                                    const cv::Mat& filtered)
{
    if (!saveJob.active) {
        // The data flag is raised last by the window: once it is seen, the
        // rest of the request is in place.
        if (!isSaveData.load())
            return;
        saveJob = SaveJob{true,
                          savePath.get(),
                          runningDataManagerVT->getSaveName(),
                          std::max(saveNumber.load(), 1),
                          isSavePicture.load(),
                          isSaveVideo.load()};
        savedCount = 0;
        // Reserved, not touched: only the pages of frames kept become resident.
        savedFrameStore.reset(new unsigned char[std::size_t(saveJob.count) * kRawFrameBytes]);
        savedFrames.reserve(std::size_t(saveJob.count));
        savedGrayData.reserve(std::size_t(saveJob.count));
    }
    if (savedCount >= saveJob.count)
        return;

    unsigned char* block = savedFrameStore.get() + std::size_t(savedCount) * kRawFrameBytes;
    const unsigned char* chunks[4] = {chunk0, chunk1, chunk2, chunk3};
    for (int j = 0; j < 4; ++j)
        std::memcpy(block + j * kChunkBytes, chunks[j], kChunkBytes);

    // One byte per level: the filtered frame holds whole levels 0 … 255.
    uint8_t* gray = nullptr;
    if (filtered.type() == CV_8UC1 && filtered.rows == kFrameSide && filtered.cols == kFrameSide) {
        if (!savedGrayStore)
            savedGrayStore.reset(new uint8_t[std::size_t(saveJob.count) * kFramePixels]);
        gray = savedGrayStore.get() + std::size_t(savedCount) * kFramePixels;
        for (int r = 0; r < kFrameSide; ++r)
            std::memcpy(gray + r * kFrameSide, filtered.ptr<uint8_t>(r), kFrameSide);
    }
    savedFrames.push_back(block);
    savedGrayData.push_back(gray);

    ++savedCount;
    runningDataManagerVT->setSaveProgress(savedCount);
    emit saveDialog();
}

namespace {

// Frees the kept frames when the export ends, whichever way it ends, and
// hands the memory back: the allocator would otherwise keep it for the
// process.
struct KeptDataRelease
{
    Tessary_VideoThread& worker;
    ~KeptDataRelease()
    {
        std::vector<unsigned char*>().swap(worker.savedFrames);
        std::vector<uint8_t*>().swap(worker.savedGrayData);
        worker.savedFrameStore.reset();
        worker.savedGrayStore.reset();
#ifdef __GLIBC__
        malloc_trim(0);
#endif
    }
};

} // namespace

void Tessary_VideoThread::save()
{
    KeptDataRelease release{*this};

    const double A = fullScaleCharge.load();
    const double B = integrationTime.load();
    // A frame kept with the filter on gets the filtered levels its picture
    // showed. Any other frame's table is worked out here by the table rule
    // (grayLevel's distance form, with the references as they are now), not
    // taken from its picture: a pixel below its dark reference gets the
    // level of the same distance above it.
    const bool anyUnfiltered =
        std::find(savedGrayData.begin(), savedGrayData.end(), nullptr) != savedGrayData.end();
    std::vector<uint32_t> dark, bright;
    if (anyUnfiltered) {
        // One consistent pair of references for the whole export.
        std::lock_guard<std::mutex> lock(rangeMutex);
        dark.assign(minRange, minRange + kFramePixels);
        bright.assign(maxRange, maxRange + kFramePixels);
    }

    // Named by the frames the tables hold: the count asked for, or fewer
    // when the save was ended early.
    const int frames = int(savedFrames.size());
    const QByteArray stem = QByteArray::fromStdString(saveJob.path) + '/' + saveJob.name.toUtf8() +
                            '_' + QByteArray::number(frames) + "_Frames";
    const QString currentPath = QString::fromUtf8(stem + ".csv");
    const QString grayPath = QString::fromUtf8(stem + "_Grayscale.csv");

    csv::CsvFile currents(currentPath, false);
    csv::CsvFile grays(grayPath, false);
    if (!grays.isOpen())
        std::cout << "open failed" << std::endl;

    // Piece 2f is frame f's table of currents, piece 2f + 1 its gray table.
    auto format = [&](int piece, char* out) -> char* {
        const int f = piece / 2;
        const unsigned char* raw = savedFrames[std::size_t(f)];
        if (piece % 2 == 0) {
            if (currents.failed())
                return out;
            out = csv::putFrameLine(out, f);
            return csv::putTable(out, csv::Commas::AfterEach, [&](int i, char* o) {
                return csv::putDouble(o, pixelCurrent(rawPixel(raw + 4 * i), A, B));
            });
        }
        if (grays.failed())
            return out;
        out = csv::putFrameLine(out, f);
        if (const uint8_t* gray = savedGrayData[std::size_t(f)])
            return csv::putTable(out, csv::Commas::Between,
                                 [gray](int i, char* o) { return csv::putUnsigned(o, gray[i]); });
        return csv::putTable(out, csv::Commas::AfterEach, [&](int i, char* o) {
            return csv::putUnsigned(o, grayLevel(rawPixel(raw + 4 * i), dark[std::size_t(i)],
                                                 bright[std::size_t(i)], true));
        });
    };
    auto write = [&](int piece, const char* text, std::size_t size) {
        if (piece % 2 == 0) {
            currents.write(text, size);
            return;
        }
        if (grays.failed())
            return;
        if (!savedGrayData[std::size_t(piece / 2)])
            std::cout << piece / 2 << std::endl;
        grays.write(text, size);
    };
    csv::formatInOrder(2 * frames, csv::kMaxTableText, format, write);

    const bool currentsStored = currents.close();
    const bool graysStored = grays.close();
    if (!currentsStored || !graysStored)
        saveJob.failed = true;
    if (!currentsStored)
        emit storeFailed(QStringLiteral("Could not write ") + currentPath);
    if (!graysStored)
        emit storeFailed(QStringLiteral("Could not write ") + grayPath);
}

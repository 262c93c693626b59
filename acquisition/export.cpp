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

extern RunningDataManager* runningDataManagerVT;

void Tessary_VideoThread::keepFrame(unsigned char* chunk0, unsigned char* chunk1,
                                    unsigned char* chunk2, unsigned char* chunk3,
                                    const cv::Mat& filtered)
{
    const int wanted = saveNumber.load();
    if (savedFrames.empty())
        savedFrames.reserve(std::size_t(std::max(wanted, 1)));

    std::unique_ptr<unsigned char[]> block(new unsigned char[kRawFrameBytes]);
    const unsigned char* chunks[4] = {chunk0, chunk1, chunk2, chunk3};
    for (int j = 0; j < 4; ++j)
        std::memcpy(block.get() + j * kChunkBytes, chunks[j], kChunkBytes);

    // One byte per level: the filtered frame holds whole levels 0 … 255.
    std::unique_ptr<uint8_t[]> gray;
    if (filtered.type() == CV_8UC1 && filtered.rows == kFrameSide && filtered.cols == kFrameSide) {
        gray.reset(new uint8_t[kFramePixels]);
        for (int r = 0; r < kFrameSide; ++r)
            std::memcpy(gray.get() + r * kFrameSide, filtered.ptr<uint8_t>(r), kFrameSide);
    }
    savedFrames.push_back(std::move(block));
    savedGrayData.push_back(std::move(gray));

    ++savedCount;
    runningDataManagerVT->setSaveProgress(savedCount);
    emit saveDialog();

    // A count already reached also completes: a save confirmed while another
    // was collecting may ask for fewer frames than are kept already.
    if (savedCount >= wanted) {
        savedCount = 0;
        isSaveData = false;
        save();
        runningDataManagerVT->setSaveProgress(-100);
        emit saveDialog();
        runningDataManagerVT->setSaveState(false);
    }
}

namespace {

// Frees the kept frames when the export ends, whichever way it ends.
struct KeptDataRelease
{
    Tessary_VideoThread& worker;
    ~KeptDataRelease()
    {
        std::vector<std::unique_ptr<unsigned char[]>>().swap(worker.savedFrames);
        std::vector<std::unique_ptr<uint8_t[]>>().swap(worker.savedGrayData);
    }
};

} // namespace

void Tessary_VideoThread::save()
{
    KeptDataRelease release{*this};

    const double A = fullScaleCharge.load();
    const double B = integrationTime.load();
    const bool filtered = isFft.load();
    std::vector<uint32_t> dark, bright;
    if (!filtered) {
        // One consistent pair of references for the whole export.
        std::lock_guard<std::mutex> lock(rangeMutex);
        dark.assign(minRange, minRange + kFramePixels);
        bright.assign(maxRange, maxRange + kFramePixels);
    }

    const QByteArray stem = QByteArray::fromStdString(savePath.get()) + '/' +
                            runningDataManagerVT->getSaveName().toUtf8() + '_' +
                            QByteArray::number(saveNumber.load()) + "_Frames";
    const QString currentPath = QString::fromUtf8(stem + ".csv");
    const QString grayPath = QString::fromUtf8(stem + "_Grayscale.csv");

    csv::CsvFile currents(currentPath, false);
    csv::CsvFile grays(grayPath, false);
    if (!grays.isOpen())
        std::cout << "open failed" << std::endl;

    // Piece 2f is frame f's table of currents, piece 2f + 1 its gray table.
    const int frames = int(savedFrames.size());
    auto format = [&](int piece, char* out) -> char* {
        const int f = piece / 2;
        const unsigned char* raw = savedFrames[std::size_t(f)].get();
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
        if (filtered) {
            // Frames kept while the filter was off have no filtered picture;
            // the others keep their own index.
            const uint8_t* gray = savedGrayData[std::size_t(f)].get();
            if (!gray)
                return out;
            out = csv::putFrameLine(out, f);
            return csv::putTable(out, csv::Commas::Between,
                                 [gray](int i, char* o) { return csv::putUnsigned(o, gray[i]); });
        }
        out = csv::putFrameLine(out, f);
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
        if (!filtered)
            std::cout << piece / 2 << std::endl;
        grays.write(text, size);
    };
    csv::formatInOrder(2 * frames, csv::kMaxTableText, format, write);

    const bool currentsStored = currents.close();
    const bool graysStored = grays.close();
    saveFailed = !currentsStored || !graysStored;
    if (!currentsStored)
        emit storeFailed(QStringLiteral("Could not write ") + currentPath);
    if (!graysStored)
        emit storeFailed(QStringLiteral("Could not write ") + grayPath);
}

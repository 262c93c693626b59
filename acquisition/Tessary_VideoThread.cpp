#include "Tessary_VideoThread.h"

#include "RunningDataManager.h"

#include <QMutexLocker>

#include <algorithm>

RunningDataManager* runningDataManagerVT = RunningDataManager::instance();

Tessary_VideoThread::Tessary_VideoThread(QObject* parent)
    : QThread(parent),
      minRange(new uint32_t[kFramePixels]),
      maxRange(new uint32_t[kFramePixels]),
      minCalibration(new uint32_t[kFramePixels]()),
      maxCalibration(new uint32_t[kFramePixels]()),
      currentData(new double[kFramePixels]())
{
    std::fill_n(minRange, kFramePixels, kZeroLevel);
    std::fill_n(maxRange, kFramePixels, kDefaultBright);
    for (auto& slot : calibSamples)
        slot.resize(kFramePixels);
}

Tessary_VideoThread::~Tessary_VideoThread()
{
    delete[] minRange;
    delete[] maxRange;
    delete[] minCalibration;
    delete[] maxCalibration;
    delete[] currentData;
    for (unsigned char* block : savedFrames)
        delete[] block;
}

void Tessary_VideoThread::start(Priority priority)
{
    running = true;
    QThread::start(priority);
}

void Tessary_VideoThread::stop()
{
    running = false;
    if (isRunning()) {
        exit(0);
        wait();
    }
}

void Tessary_VideoThread::reset()
{
    QMutexLocker lock(&rangeMutex);
    std::fill_n(minRange, kFramePixels, kZeroLevel);
    std::fill_n(maxRange, kFramePixels, kDefaultBright);
}

void Tessary_VideoThread::setminrange(int value)
{
    QMutexLocker lock(&rangeMutex);
    std::fill_n(minRange, kFramePixels, static_cast<uint32_t>(value));
}

void Tessary_VideoThread::setmaxrange(int value)
{
    QMutexLocker lock(&rangeMutex);
    std::fill_n(maxRange, kFramePixels, static_cast<uint32_t>(value));
}

void Tessary_VideoThread::run() {}

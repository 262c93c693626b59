#include "Tessary_VideoThread.h"

#include "ChunkReader.h"
#include "RunningDataManager.h"
#include "conversion.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <limits>
#include <locale>
#include <mutex>
#include <sstream>
#include <string>

RunningDataManager* runningDataManagerVT = RunningDataManager::instance();

Tessary_VideoThread::Tessary_VideoThread(QObject* parent)
    : QThread(parent), minRange(new uint32_t[kFramePixels]), maxRange(new uint32_t[kFramePixels]),
      minCalibration(new uint32_t[kFramePixels]()), maxCalibration(new uint32_t[kFramePixels]()),
      currentData(new double[kFramePixels]())
{
    std::fill_n(minRange, kFramePixels, kZeroLevel);
    std::fill_n(maxRange, kFramePixels, kDefaultBright);
}

Tessary_VideoThread::~Tessary_VideoThread()
{
    delete[] minRange;
    delete[] maxRange;
    delete[] minCalibration;
    delete[] maxCalibration;
    delete[] currentData;
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
    std::lock_guard<std::mutex> lock(rangeMutex);
    std::fill_n(minRange, kFramePixels, kZeroLevel);
    std::fill_n(maxRange, kFramePixels, kDefaultBright);
}

void Tessary_VideoThread::setminrange(int value)
{
    std::lock_guard<std::mutex> lock(rangeMutex);
    std::fill_n(minRange, kFramePixels, static_cast<uint32_t>(value));
}

void Tessary_VideoThread::setmaxrange(int value)
{
    std::lock_guard<std::mutex> lock(rangeMutex);
    std::fill_n(maxRange, kFramePixels, static_cast<uint32_t>(value));
}

namespace {

// Pause after each frame. A real sleep: cv::waitKey returns at once when no
// OpenCV window is open, which would make the loop spin.
constexpr unsigned long kFramePauseMs = 30;

// Frames a calibration takes.
constexpr int kCalibrationFrames = 10;

// "USB断开" (USB disconnected), written in the GBK code page.
constexpr char kUsbDisconnectedGbk[] = "USB\xB6\xCF\xBF\xAA";

// Local time, whole seconds, as "%Y-%m-%d %X" in the classic locale (Qt sets
// the C library's locale from the environment, so strftime alone would not do).
std::string localTimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::put_time(&local, "%Y-%m-%d %X");
    return out.str();
}

} // namespace

void turnAndMirror(cv::Mat& frame, int angle, int flipCode)
{
    // At 0 degrees the turn gives the frame itself.
    if (angle != 0) {
        const cv::Point2f centre(float(frame.cols / 2), float(frame.rows / 2));
        const cv::Mat turn = cv::getRotationMatrix2D(centre, -angle, 1.0);
        cv::warpAffine(frame, frame, turn, frame.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                       cv::Scalar(0));
    }
    if (flipCode == 1)
        cv::flip(frame, frame, 1);
}

int rawIndexShownAt(int shownIndex, int angle, int flipCode)
{
    const int row = shownIndex / kFrameSide;
    int col = shownIndex % kFrameSide;
    if (flipCode == 1)
        col = kFrameSide - 1 - col;
    // The matrix the turn was made with, inverted: it takes a place of the
    // turned picture back to the frame, as warpAffine itself samples it.
    const cv::Point2f centre(float(kFrameSide / 2), float(kFrameSide / 2));
    cv::Mat back;
    cv::invertAffineTransform(cv::getRotationMatrix2D(centre, -angle, 1.0), back);
    const auto at = [&](int i) {
        return back.at<double>(i, 0) * col + back.at<double>(i, 1) * row + back.at<double>(i, 2);
    };
    // Quarter turns land on whole pixels; rounding drops the sine's last bits.
    const int c = cvRound(at(0));
    const int r = cvRound(at(1));
    if (c < 0 || c >= kFrameSide || r < 0 || r >= kFrameSide)
        return -1;
    return r * kFrameSide + c;
}

void Tessary_VideoThread::run()
{
    // start() raised the flag before the thread began; a stop() since then
    // has cleared it and must win.
    if (!running)
        return;

    FT_SetTimeouts(ftHandle, 1000, 1000);
    ChunkReader reader(ftHandle, ftStatus, running,
                       std::chrono::milliseconds(boardFramePeriodMs.load()));
    // Counts the frames of the calibration in progress (shared by both kinds).
    int frameCounter = 0;

    for (;;) {
        const ChunkReader::Outcome outcome = reader.readFrame();
        // However the loop ends, a save it was collecting ends with it: what
        // was kept is stored and the video finalised.
        if (outcome == ChunkReader::Outcome::Abandoned) {
            endSave(); // stopped while the board was silent
            return;
        }
        if (outcome != ChunkReader::Outcome::Frame) {
            // A failed read, or a board silent far beyond its frame period:
            // either way the link is gone.
            running = false;
            std::cout << __FILE__ << ":" << std::to_string(__LINE__) << " [" << localTimeStamp()
                      << "] " << kUsbDisconnectedGbk << std::endl;
            endSave();
            emit disConnect();
            return;
        }

        unsigned char* c0 = reader.chunk(0);
        unsigned char* c1 = reader.chunk(1);
        unsigned char* c2 = reader.chunk(2);
        unsigned char* c3 = reader.chunk(3);

        // One reading per frame: a button pressed meanwhile applies to the next.
        const int flipCode = runningDataManagerVT->getFlipCode();
        const int angle = runningDataManagerVT->getRotationAngle();

        if (isSetMax) {
            setMax(c0, c1, c2, c3);
            if (++frameCounter == kCalibrationFrames) {
                isSetMax = false;
                runningDataManagerVT->setMaxFlag(true);
                emit setFlag();
                frameCounter = 0;
            }
        }
        if (isSetMin) {
            setMin(c0, c1, c2, c3);
            if (++frameCounter == kCalibrationFrames) {
                isSetMin = false;
                runningDataManagerVT->setMinFlag(true);
                emit setFlag();
                frameCounter = 0;
            }
        }

        // A buffer of its own: the frame goes to the GUI thread by a queued
        // signal and is never written again here.
        cv::Mat frame = integratedData(c0, c1, c2, c3).clone();
        turnAndMirror(frame, angle, flipCode);

        recordFrame(frame);

        emit sendMatToUI(frame);
        if (runningDataManagerVT->getShowState()) {
            // The pick is a place of the turned and mirrored picture: read out
            // the pixel shown there, NaN where the turn left the place empty.
            // The pixel goes first, with this frame's current, so the window
            // names the one whose current it shows however the turn changes.
            const int index = runningDataManagerVT->getShowIndex();
            if (index >= 0 && index < kFramePixels) {
                const int pixel = rawIndexShownAt(index, angle, flipCode);
                emit labelPixelShow(pixel);
                emit labelCurrentShow(pixel >= 0 ? currentData[pixel]
                                                 : std::numeric_limits<double>::quiet_NaN());
            }
        }

        QThread::msleep(kFramePauseMs);
        if (!running) {
            endSave();
            return;
        }
    }
}

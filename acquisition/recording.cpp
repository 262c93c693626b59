#include "RunningDataManager.h"
#include "Tessary_VideoThread.h"

#include <QDir>
#include <QString>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr char kWriterFailed[] = "Error: Could not create video writer.";
constexpr char kEncodeFailed[] = "Error: Could not encode the video frame.";
constexpr char kDirectoryFailed[] = "Error: Failed to create directory.";
constexpr char kPictureFailed[] = "Error: Failed to save the image.";

std::string saveName()
{
    return RunningDataManager::instance()->getSaveName().toUtf8().toStdString();
}

// The gray frame as the three-channel picture the video holds, by way of a
// PNG in memory. Empty when either step fails.
cv::Mat colourFrame(const cv::Mat& gray)
{
    std::vector<uchar> png;
    try {
        if (!cv::imencode(".png", gray, png) || png.empty())
            return cv::Mat();
        return cv::imdecode(png, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        return cv::Mat();
    }
}

bool writePicture(const std::string& file, const cv::Mat& frame)
{
    try {
        return cv::imwrite(file, frame);
    } catch (const cv::Exception&) {
        return false;
    }
}

} // namespace

bool Tessary_VideoThread::recordFrame(cv::Mat& frame)
{
    // One reading per frame: a save confirmed meanwhile applies from the next.
    const bool video = isSaveVideo;
    const bool pictures = isSavePicture;
    if (!video && !pictures)
        return true;
    const std::string path = savePath.get();

    // Gives the recording up but keeps the live picture going: what was
    // recorded so far is finalised and the window is told.
    auto giveUp = [this](const QString& text) {
        isSavePicture = false;
        isSaveVideo = false;
        videoWriter.release();
        recordedCount = 0;
        emit storeFailed(text);
        return false;
    };

    // A video asked for after the recording began (a second save confirmed
    // meanwhile) is opened too, rather than claimed saved with no file.
    if (video && (recordedCount == 0 || !videoWriter.isOpened())) {
        videoWriter.release();
        videoWriter.open(path + "/" + saveName() + "_output_video.mp4",
                         cv::VideoWriter::fourcc('m', 'p', '4', 'v'), double(frameRate.load()),
                         cv::Size(kFrameSide, kFrameSide), true);
        if (!videoWriter.isOpened()) {
            std::cerr << kWriterFailed << std::endl;
            std::cerr << "Ticks: " << cv::getTickCount() << std::endl;
            return giveUp(kWriterFailed);
        }
    }
    if (recordedCount == 0)
        pictureFailureReported = false;
    ++recordedCount;

    if (frame.empty()) {
        std::cerr << "Error: Source image is empty." << std::endl;
    } else {
        if (video) {
            const cv::Mat colour = colourFrame(frame);
            if (colour.empty())
                return giveUp(kEncodeFailed);
            videoWriter.write(colour);
        }
        if (pictures) {
            const std::string name = saveName();
            const std::string directory = path + "/" + name + "pic";
            if (!QDir().mkpath(QString::fromStdString(directory))) {
                std::cerr << kDirectoryFailed << std::endl;
                return giveUp(kDirectoryFailed);
            }
            const std::string file =
                directory + "/" + name + "_" + std::to_string(recordedCount) + ".png";
            if (!writePicture(file, frame)) {
                std::cerr << kPictureFailed << std::endl;
                if (!pictureFailureReported) {
                    pictureFailureReported = true;
                    emit storeFailed(kPictureFailed);
                }
            }
        }
    }

    // Reached or passed: a save confirmed meanwhile with a smaller count
    // still ends the recording.
    if (recordedCount >= saveNumber) {
        if (video) {
            isSaveVideo = false;
            videoWriter.release();
            std::cout << "video saved successfully." << std::endl;
        }
        // A video dropped by a later save is still finalised.
        videoWriter.release();
        if (pictures) {
            isSavePicture = false;
            std::cout << "picture saved successfully." << std::endl;
        }
        recordedCount = 0;
    }
    return true;
}

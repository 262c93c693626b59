#include "RunningDataManager.h"
#include "Tessary_VideoThread.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include <iostream>
#include <string>
#include <vector>

extern RunningDataManager* runningDataManagerVT;

namespace {

constexpr char kWriterFailed[] = "Error: Could not create video writer.";
constexpr char kDirectoryFailed[] = "Error: Failed to create directory.";
constexpr char kPictureFailed[] = "Error: Failed to save the image.";

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

// Encoded in memory and stored through a temporary file that takes the
// picture's name only once all of it is written: a picture cut short by a
// full disk never lies under its name, nor replaces an earlier one.
bool writePicture(const QString& file, const cv::Mat& frame)
{
    std::vector<uchar> png;
    try {
        if (!cv::imencode(".png", frame, png))
            return false;
    } catch (const cv::Exception&) {
        return false;
    }
    // Unbuffered: a write cut short shows in its count, not lost in a flush.
    QSaveFile out(file);
    return out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
           out.write(reinterpret_cast<const char*>(png.data()), qint64(png.size())) ==
               qint64(png.size()) &&
           out.commit();
}

// True when the file is a whole MP4 file: its top-level boxes fill it
// exactly and the index box is among them. A write that ran out of room
// leaves the file short of its index, or a box cut off.
bool isCompleteMp4(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    bool index = false;
    for (qint64 at = 0; at < size;) {
        if (!file.seek(at))
            return false;
        const QByteArray head = file.read(16);
        if (head.size() < 8)
            return false;
        auto number = [&head](int from, int bytes) {
            quint64 n = 0;
            for (int i = from; i < from + bytes; ++i)
                n = n << 8 | quint8(head[i]);
            return n;
        };
        quint64 box = number(0, 4);
        if (box == 1 && head.size() == 16)
            box = number(8, 8);
        else if (box == 0)
            box = quint64(size - at);
        if (box < 8 || box > quint64(size - at))
            return false;
        index = index || head.mid(4, 4) == "moov";
        at += qint64(box);
    }
    return index;
}

} // namespace

void Tessary_VideoThread::giveUpVideo(const QString& text)
{
    saveJob.video = false;
    saveJob.failed = true;
    videoWriter.release();
    emit storeFailed(text);
}

void Tessary_VideoThread::recordFrame(cv::Mat& frame)
{
    if (!saveJob.active)
        return;
    // The conversion has just kept this frame: picture k and video frame k
    // are frame k - 1 of the tables.
    const int k = savedCount;
    const std::string name = saveJob.name.toUtf8().toStdString();
    const std::string video = saveJob.path + "/" + name + "_output_video.mp4";

    // Video, pictures and tables fail each on their own: the others go on.
    if (saveJob.video && k == 1) {
        videoWriter.release();
        videoWriter.open(video, cv::VideoWriter::fourcc('m', 'p', '4', 'v'),
                         double(frameRate.load()), cv::Size(kFrameSide, kFrameSide), true);
        if (!videoWriter.isOpened()) {
            std::cerr << kWriterFailed << std::endl;
            std::cerr << "Ticks: " << cv::getTickCount() << std::endl;
            giveUpVideo(QStringLiteral("Could not create ") + QString::fromStdString(video));
        }
    }

    if (frame.empty()) {
        if (saveJob.video || saveJob.pictures)
            std::cerr << "Error: Source image is empty." << std::endl;
    } else {
        if (saveJob.video) {
            const cv::Mat colour = colourFrame(frame);
            if (colour.empty())
                giveUpVideo(QStringLiteral("Could not write ") + QString::fromStdString(video));
            else
                videoWriter.write(colour);
        }
        if (saveJob.pictures) {
            const QString directory = QString::fromStdString(saveJob.path + "/" + name + "pic");
            const QString picture =
                directory + "/" + saveJob.name + "_" + QString::number(k) + ".png";
            if (!QDir().mkpath(directory)) {
                std::cerr << kDirectoryFailed << std::endl;
                saveJob.pictures = false;
                saveJob.failed = true;
                emit storeFailed(QStringLiteral("Could not create ") + directory);
            } else if (!writePicture(picture, frame)) {
                std::cerr << kPictureFailed << std::endl;
                saveJob.failed = true;
                // Told once, when the save ends.
                if (saveJob.failedPictures++ == 0)
                    saveJob.firstFailedPicture = picture;
            }
        }
    }

    if (savedCount >= saveJob.count)
        endSave();
}

void Tessary_VideoThread::endSave()
{
    if (!saveJob.active)
        return;
    const int stored = int(savedFrames.size());
    if (stored > 0)
        save();

    // The recording ends with the save, complete or not.
    if (videoWriter.isOpened()) {
        videoWriter.release();
        const std::string file =
            saveJob.path + "/" + saveJob.name.toUtf8().toStdString() + "_output_video.mp4";
        if (isCompleteMp4(QString::fromStdString(file))) {
            std::cout << "video saved successfully." << std::endl;
        } else {
            std::cerr << "Error: Failed to save the video." << std::endl;
            saveJob.failed = true;
            emit storeFailed(QStringLiteral("Could not write ") + QString::fromStdString(file));
        }
    }
    if (saveJob.failedPictures > 0) {
        QString text = QStringLiteral("Could not write ") + saveJob.firstFailedPicture;
        if (saveJob.failedPictures == 2)
            text += QStringLiteral(" and 1 more picture");
        else if (saveJob.failedPictures > 2)
            text += QStringLiteral(" and %1 more pictures").arg(saveJob.failedPictures - 1);
        emit storeFailed(text);
    } else if (saveJob.pictures) {
        std::cout << "picture saved successfully." << std::endl;
    }

    saveFailed = saveJob.failed;
    saveStoredFrames = stored;
    saveJob = SaveJob{};
    savedCount = 0;
    isSavePicture = false;
    isSaveVideo = false;
    isSaveData = false;
    runningDataManagerVT->setSaveProgress(-100);
    emit saveDialog();
    runningDataManagerVT->setSaveState(false);
}

// Pictures and video of a save, written by the recording step of the frame
// loop: the files, the lines on both streams, the flags and the failures.
#include "RunningDataManager.h"
#include "Tessary_VideoThread.h"
#include "TestSupport.h"

#include <QtTest>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <iostream>
#include <sstream>

namespace {

// Redirects std::cerr into a string while it lives.
class StderrCapture
{
public:
    StderrCapture() : previous(std::cerr.rdbuf(buffer.rdbuf())) {}
    ~StderrCapture() { std::cerr.rdbuf(previous); }
    // The tick count varies: shown as "N".
    QString text() const
    {
        return QString::fromStdString(buffer.str())
            .replace(QRegularExpression("Ticks: \\d+\n"), "Ticks: N\n");
    }

private:
    std::ostringstream buffer;
    std::streambuf* previous;
};

// Display frame number k: every frame differs from the others.
cv::Mat frameNumber(int k)
{
    cv::Mat m(256, 256, CV_8UC1);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c)
            m.at<uchar>(r, c) = uchar(r * 3 + c * 7 + k * 11);
    return m;
}

// Frames of a video file, or -1 when it does not open, -2 when a frame is
// not 256 x 256. Read through FFmpeg alone: letting OpenCV probe its other
// back-ends wakes camera libraries that leak.
int videoFrames(const QString& file)
{
    cv::VideoCapture video(file.toStdString(), cv::CAP_FFMPEG);
    int n = video.isOpened() ? 0 : -1;
    for (cv::Mat frame; video.read(frame); ++n)
        if (frame.rows != 256 || frame.cols != 256)
            return -2;
    return n;
}

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT

private slots:
    // Only our own lines on the error stream.
    void initTestCase() { cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT); }

    void recording_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("pictures");
        QTest::addColumn<bool>("video");
        // What is in the way, relative to the save folder: a file at "file:"
        // paths, folders at "dirs:" paths; "under a file" puts the save folder
        // under a plain file.
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<int>("frameType"); // -1: empty frames
        QTest::addColumn<int>("laterSave"); // frame at which a save for 1 frame with video comes
        QTest::addColumn<bool>("result");   // of the last call
        QTest::addColumn<QString>("stderrText");
        QTest::addColumn<QStringList>("reported");
        QTest::addColumn<int>("videoFrames");    // -1: no video that opens
        QTest::addColumn<QList<int>>("written"); // pictures holding their frame

        const QString writer = "Error: Could not create video writer.";
        const QString directory = "Error: Failed to create directory.";
        const QString picture = "Error: Failed to save the image.";
        const int gray = CV_8UC1;
        // A picture folder already there is used; its pictures are replaced.
        QTest::newRow("one frame, both") << "run1" << 1 << true << true << "" << gray << 0 << true
                                         << "" << QStringList() << 1 << QList<int>{1};
        QTest::newRow("pictures only")
            << "Messung_ä" << 5 << true << false << "" << gray << 0 << true << "" << QStringList()
            << -1 << QList<int>{1, 2, 3, 4, 5};
        QTest::newRow("video only") << "v" << 5 << false << true << "" << gray << 0 << true << ""
                                    << QStringList() << 5 << QList<int>();
        // A second save confirmed while pictures are being recorded: a smaller
        // count ends the recording at once, and the video it asks for is made.
        QTest::newRow("later save") << "s" << 5 << true << false << "" << gray << 3 << true << ""
                                    << QStringList() << 1 << QList<int>{1, 2, 3};
        QTest::newRow("video, folder unwritable") << "s" << 3 << true << true << "under a file"
                                                  << gray << 0 << false << writer + "\nTicks: N\n"
                                                  << QStringList{writer} << -1 << QList<int>();
        // The first frame is already in the video: it is finalised, not lost.
        QTest::newRow("picture folder fails, video kept")
            << "s" << 3 << true << true << "file:spic" << gray << 0 << false << directory + "\n"
            << QStringList{directory} << 1 << QList<int>();
        // Two of three pictures cannot be written: each is said, the window
        // is told once, and the recording runs to its end.
        QTest::newRow("pictures that cannot be written")
            << "s" << 3 << true << false << "dirs:spic/s_1.png,spic/s_3.png" << gray << 0 << true
            << picture + "\n" + picture + "\n"
            << QStringList{picture} << -1 << QList<int>{2};
        QTest::newRow("video frame that does not encode")
            << "s" << 3 << false << true << "" << int(CV_8UC2) << 0 << false << ""
            << QStringList{"Error: Could not encode the video frame."} << -1 << QList<int>();
        QTest::newRow("empty frames") << "s" << 3 << true << true << "" << -1 << 0 << true
                                      << QString("Error: Source image is empty.\n").repeated(3)
                                      << QStringList() << -1 << QList<int>();
    }

    void recording()
    {
        QFETCH(QString, name);
        QFETCH(int, count);
        QFETCH(bool, pictures);
        QFETCH(bool, video);
        QFETCH(QString, obstacle);
        QFETCH(int, frameType);
        QFETCH(int, laterSave);
        QFETCH(bool, result);
        QFETCH(QString, stderrText);
        QFETCH(QStringList, reported);
        QFETCH(int, videoFrames);
        QFETCH(QList<int>, written);
        QTemporaryDir temp;
        const bool underFile = obstacle == "under a file";
        QVERIFY(!underFile || QFile(temp.filePath("f")).open(QIODevice::WriteOnly));
        const QDir dir(temp.filePath(underFile ? "f/save" : "."));
        const QString picDir = dir.filePath(name + "pic");
        for (const QString& path : obstacle.section(':', 1).split(',', Qt::SkipEmptyParts)) {
            if (obstacle.startsWith("file:"))
                QVERIFY(QFile(dir.filePath(path)).open(QIODevice::WriteOnly));
            else
                QVERIFY(QDir().mkpath(dir.filePath(path)));
        }
        if (obstacle.isEmpty() && !written.isEmpty()) {
            QVERIFY(QDir().mkpath(picDir));
            QVERIFY(cv::imwrite((picDir + "/" + name + "_1.png").toStdString(), frameNumber(99)));
        }
        RunningDataManager::instance()->setSaveName(name);
        Tessary_VideoThread worker;
        worker.savePath = dir.path().toStdString();
        worker.saveNumber = count;
        worker.isSavePicture = pictures;
        worker.isSaveVideo = video;
        worker.frameRate = 2;

        StdoutCapture out;
        StderrCapture err;
        QSignalSpy failures(&worker, &Tessary_VideoThread::storeFailed);
        bool last = true;
        for (int k = 1; k <= count && last; ++k) {
            if (k == laterSave) {
                worker.saveNumber = 1;
                worker.isSaveVideo = true;
            }
            cv::Mat frame = frameType == CV_8UC1 ? frameNumber(k)
                            : frameType < 0      ? cv::Mat()
                                                 : cv::Mat(256, 256, frameType, cv::Scalar(k));
            last = worker.recordFrame(frame);
        }
        QCOMPARE(last, result);
        QCOMPARE(err.text(), stderrText);
        QStringList texts;
        for (const QList<QVariant>& emission : failures)
            texts << emission.at(0).toString();
        QCOMPARE(texts, reported);
        // Given up or done: nothing more is recorded, and only a recording
        // that ran to its end is said saved.
        QVERIFY(!worker.isSavePicture && !worker.isSaveVideo && !worker.videoWriter.isOpened());
        QCOMPARE(worker.recordedCount, 0);
        QCOMPARE(QString::fromStdString(out.text()),
                 QString(result && (video || laterSave) ? "video saved successfully.\n" : "") +
                     (result && pictures ? "picture saved successfully.\n" : ""));

        const QString videoFile = dir.filePath(name + "_output_video.mp4");
        QCOMPARE(::videoFrames(videoFile), videoFrames);
        if (videoFrames > 0)
            QCOMPARE(
                cv::VideoCapture(videoFile.toStdString(), cv::CAP_FFMPEG).get(cv::CAP_PROP_FPS),
                2.0);
        for (int k = 1; k <= count; ++k) {
            const cv::Mat read =
                cv::imread(QString("%1/%2_%3.png").arg(picDir, name).arg(k).toStdString(),
                           cv::IMREAD_UNCHANGED);
            QCOMPARE(!read.empty() && read.type() == CV_8UC1 &&
                         cv::norm(read, frameNumber(k), cv::NORM_INF) == 0,
                     written.contains(k));
        }
    }
};

QTEST_GUILESS_MAIN(TestRecording)
#include "test_recording.moc"

// Pictures and video of a save, written by the recording step of the frame
// loop: the files, the lines on both streams, the flags and the failures.
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "Tessary_VideoThread.h"
#include "TestSupport.h"

#include <QtTest>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <csignal>
#include <iostream>
#include <sys/resource.h>

namespace {

// Lowers the size a file of this process may grow to while it lives; a write
// beyond fails as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &previous);
        signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = previous;
        lowered.rlim_cur = std::min(bytes, previous.rlim_max);
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &previous); }

private:
    rlimit previous{};
};

// Display frame number k: every frame differs from the others.
cv::Mat frameNumber(int k)
{
    return grayImage([k](int r, int c) { return r * 3 + c * 7 + k * 11; });
}

// Frames of a video file, or -1 when it does not open, -2 when a frame is
// not 256 x 256, -3 when it does not play at 2 frames/s. Read through FFmpeg
// alone: letting OpenCV probe its other back-ends wakes camera libraries that
// leak.
int videoFrames(const QString& file)
{
    cv::VideoCapture video(file.toStdString(), cv::CAP_FFMPEG);
    int n = video.isOpened() ? 0 : -1;
    for (cv::Mat frame; video.read(frame); ++n)
        if (frame.rows != 256 || frame.cols != 256)
            return -2;
    return n > 0 && video.get(cv::CAP_PROP_FPS) != 2.0 ? -3 : n;
}

struct Case
{
    QString name;
    int count;
    bool pictures, video;
    int videoFrames;    // -1: no video that opens
    QList<int> written; // pictures holding their frame
    // What is in the way, relative to the save folder: a file at "file:"
    // paths, folders at "dirs:" paths; "under a file" puts the save folder
    // under a plain file.
    QString obstacle{};
    QString stderrText{};
    QStringList reported{};
    QString printed{};       // after the tables' frame numbers
    int laterRequest = 0;    // frame at which another save is asked for
    int frameType = CV_8UC1; // -1: empty frames
    int saves = 1;           // one after the other in one worker
};

} // namespace

Q_DECLARE_METATYPE(Case)

class TestRecording : public QObject
{
    Q_OBJECT

private slots:
    // Only our own lines on the error stream.
    void initTestCase() { cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT); }

    void recording_data()
    {
        QTest::addColumn<Case>("c");
        const QString writer = "Error: Could not create video writer.";
        const QString directory = "Error: Failed to create directory.";
        const QString picture = "Error: Failed to save the image.";
        const QString both = "video saved successfully.\npicture saved successfully.\n";
        // A picture folder already there is used; its pictures are replaced.
        QTest::newRow("pictures only")
            << Case{"Messung_ä",     5,  true, false, -1,
                    {1, 2, 3, 4, 5}, "", "",   {},    "picture saved successfully.\n"};
        // Another save asked for meanwhile changes nothing of this one.
        QTest::newRow("both") << Case{"v", 4, true, true, 4, {1, 2, 3, 4}, "", "", {}, both, 2};
        // The tables of n frames, not written; "%1" stands for the save folder.
        const auto tables = [](const char* n) {
            const QString stem = QString("Could not write %1/s_%2_Frames").arg("%1", n);
            return QStringList{stem + ".csv", stem + "_Grayscale.csv"};
        };
        const QString ticks = writer + "\nTicks: N\n";
        QTest::newRow("video, folder unwritable") << Case{
            "s", 3, true, true, -1, {}, "under a file", ticks, QStringList{writer} + tables("3")};
        // The first frame is already in the video: it is finalised, not lost.
        QTest::newRow("picture folder fails, video kept")
            << Case{"s", 3, true, true, 1, {}, "file:spic", directory + "\n", {directory}};
        // Two of three pictures cannot be written: each is said, the window
        // is told once per save, and the recording runs to its end, not said saved.
        const QString twice = picture + "\n" + picture + "\n";
        QTest::newRow("pictures that cannot be written, twice")
            << Case{"s",   3,         true, false, -1,      {2}, "dirs:spic/s_1.png,spic/s_3.png",
                    twice, {picture}, "",   0,     CV_8UC1, 2};
        const QString encode = "Error: Could not encode the video frame.";
        QTest::newRow("video frame that does not encode")
            << Case{"s", 3, false, true, -1, {}, "", "", {encode}, "", 0, CV_8UC2};
        // A video that ran out of room is not said saved.
        const QStringList full = tables("1") << "Could not write %1/s_output_video.mp4";
        const QString unsaved = "Error: Failed to save the video.\n";
        QTest::newRow("full disk") << Case{"s", 1, false, true, -1, {}, "full", unsaved, full};
        const QString empty = "Error: Source image is empty.\n";
        QTest::newRow("empty frames")
            << Case{"s", 3, true, true, -1, {}, "", empty.repeated(3), {}, both, 0, -1};
    }

    void recording()
    {
        QFETCH(Case, c);
        QTemporaryDir temp;
        const bool underFile = c.obstacle == "under a file";
        QVERIFY(!underFile || QFile(temp.filePath("f")).open(QIODevice::WriteOnly));
        const QDir dir(temp.filePath(underFile ? "f/save" : "."));
        const QString picDir = dir.filePath(c.name + "pic");
        for (const QString& path : c.obstacle.section(':', 1).split(',', Qt::SkipEmptyParts)) {
            if (c.obstacle.startsWith("file:"))
                QVERIFY(QFile(dir.filePath(path)).open(QIODevice::WriteOnly));
            else
                QVERIFY(QDir().mkpath(dir.filePath(path)));
        }
        if (c.obstacle.isEmpty() && !c.written.isEmpty()) {
            QVERIFY(QDir().mkpath(picDir));
            QVERIFY(cv::imwrite((picDir + "/" + c.name + "_1.png").toStdString(), frameNumber(99)));
        }
        RunningDataManager::instance()->setSaveName(c.name);
        Tessary_VideoThread worker;
        worker.frameRate = 2;
        StreamCapture out;
        StreamCapture err(std::cerr);
        QSignalSpy failures(&worker, &Tessary_VideoThread::storeFailed);
        std::vector<uint8_t> raw(kRawFrameBytes, 0);
        // No file of the save grows past 4 kB: the disk is full.
        const FileSizeLimit limit(c.obstacle == "full" ? 4096 : RLIM_INFINITY);
        for (int save = 0; save < c.saves; ++save) {
            worker.savePath = dir.path().toStdString();
            worker.saveNumber = c.count;
            worker.isSavePicture = c.pictures;
            worker.isSaveVideo = c.video;
            worker.isSaveData = true;
            for (int k = 1; worker.saveJob.active || k == 1; ++k) {
                if (k == c.laterRequest) {
                    worker.saveNumber = 1;
                    worker.savePath = "/elsewhere";
                    worker.isSaveVideo = !c.video;
                }
                cv::Mat frame = c.frameType == CV_8UC1 ? frameNumber(k)
                                : c.frameType < 0      ? cv::Mat()
                                                  : cv::Mat(256, 256, c.frameType, cv::Scalar(k));
                uint8_t* f = raw.data();
                worker.keepFrame(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes,
                                 cv::Mat());
                worker.recordFrame(frame);
            }
        }
        // The tick count varies: shown as "N".
        QCOMPARE(QString::fromStdString(err.text())
                     .replace(QRegularExpression("Ticks: \\d+\n"), "Ticks: N\n"),
                 c.stderrText.repeated(c.saves));
        QStringList texts;
        for (const QList<QVariant>& emission : failures)
            texts << emission.at(0).toString();
        QStringList reported;
        for (int save = 0; save < c.saves; ++save)
            reported += QStringList(c.reported).replaceInStrings("%1", dir.path());
        QCOMPARE(texts, reported);
        // Done: nothing more is recorded, the tables hold every frame, and
        // only what was stored is said saved.
        QVERIFY(!worker.isSavePicture && !worker.isSaveVideo && !worker.isSaveData);
        QVERIFY(!worker.videoWriter.isOpened());
        QCOMPARE(worker.saveFailed.load(), !c.reported.isEmpty());
        QString frames;
        for (int k = 0; k < c.count; ++k)
            frames += QString::number(k) + "\n";
        QCOMPARE(QString::fromStdString(out.text()),
                 ((c.obstacle == "under a file" ? "open failed\n" : frames) + c.printed)
                     .repeated(c.saves));

        QCOMPARE(videoFrames(dir.filePath(c.name + "_output_video.mp4")), c.videoFrames);
        for (int k = 1; k <= c.count; ++k) {
            const cv::Mat read =
                cv::imread(QString("%1/%2_%3.png").arg(picDir, c.name).arg(k).toStdString(),
                           cv::IMREAD_UNCHANGED);
            QCOMPARE(!read.empty() && read.type() == CV_8UC1 &&
                         cv::norm(read, frameNumber(k), cv::NORM_INF) == 0,
                     c.written.contains(k));
        }
    }
};

QTEST_GUILESS_MAIN(TestRecording)
#include "test_recording.moc"

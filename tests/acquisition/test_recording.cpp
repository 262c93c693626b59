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

#include <iostream>

namespace {

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
    // under a plain file; "room:n", no file grows past n bytes.
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
        const QString vid = "video saved successfully.\n", pic = "picture saved successfully.\n";
        const QString both = vid + pic;
        // A picture folder already there is used; its pictures are replaced.
        QTest::newRow("pictures only")
            << Case{"Messung_ä", 5, true, false, -1, {1, 2, 3, 4, 5}, "", "", {}, pic};
        // Another save asked for meanwhile changes nothing of this one.
        QTest::newRow("both") << Case{"v", 4, true, true, 4, {1, 2, 3, 4}, "", "", {}, both, 2};
        // Video, pictures and tables fail each on their own; each box names
        // its file ("%1" stands for the save folder).
        const QString ticks = "Error: Could not create video writer.\nTicks: N\n";
        const QString dir = "Error: Failed to create directory.\n";
        const QString picture = "Error: Failed to save the image.\n", first = "%1/spic/s_1.png";
        const QString video = "%1/s_output_video.mp4", folder = "Could not create %1/spic";
        QStringList tables{"%1/s_3_Frames.csv", "%1/s_3_Frames_Grayscale.csv", video};
        tables.replaceInStrings(QRegularExpression("^"), "Could not write ");
        const QStringList noVideo{"Could not create " + video}, all = noVideo + QStringList{folder};
        QTest::newRow("video, folder unwritable") << Case{
            "s", 3, true, true, -1, {}, "under a file", ticks + dir, all + tables.mid(0, 2)};
        QTest::newRow("video writer cannot open, pictures still written") << Case{
            "s", 3, true, true, -1, {1, 2, 3}, "dirs:s_output_video.mp4", ticks, noVideo, pic};
        QTest::newRow("picture folder fails, video kept")
            << Case{"s", 3, true, true, 3, {}, "file:spic", dir, {folder}, vid};
        // Two of three pictures cannot be written: each is said, the window
        // is told once per save, and the recording runs to its end, not said saved.
        const QString two = "Could not write " + first + " and 1 more picture";
        QTest::newRow("pictures that cannot be written, twice") << Case{
            "s",   3,  true, false,   -1, {2}, "dirs:spic/s_1.png,spic/s_3.png", picture + picture,
            {two}, "", 0,    CV_8UC1, 2};
        const QString three = "Could not write " + first + " and 2 more pictures";
        const QString threeDirs = "dirs:spic/s_1.png,spic/s_2.png,spic/s_4.png";
        QTest::newRow("three pictures that cannot be written")
            << Case{"s", 4, true, false, -1, {3}, threeDirs, picture.repeated(3), {three}};
        QTest::newRow("video frame that does not encode")
            << Case{"s", 3, false, true, -1, {}, "", "", tables.mid(2), "", 0, CV_8UC2};
        // What ran out of room is not said saved; a picture or table cut
        // short is not left under its name. The disk fills up within the
        // picture, or within the video's index box.
        tables.replaceInStrings("_3_", "_1_");
        const QString unsaved = "Error: Failed to save the video.\n", cut = picture + unsaved;
        const QStringList cutPicture = tables + QStringList{"Could not write " + first};
        QTest::newRow("full disk") << Case{"s", 1, true, true, -1, {}, "room:512", cut, cutPicture};
        QTest::newRow("full disk within the video index")
            << Case{"s", 1, false, true, -1, {}, "room:13000", unsaved, tables};
        const QString empty = "Error: Source image is empty.\n";
        QTest::newRow("empty frames")
            << Case{"s", 3, true, true, -1, {}, "", empty.repeated(3), {}, both, 0, -1};
    }

    void recording()
    {
        QFETCH(Case, c);
        QTemporaryDir temp;
        const bool underFile = c.obstacle == "under a file";
        QVERIFY(!underFile || writeFile(temp.filePath("f"), {}));
        const QDir dir(temp.filePath(underFile ? "f/save" : "."));
        const QString picDir = dir.filePath(c.name + "pic");
        const QString kind = c.obstacle.section(':', 0, 0), room = c.obstacle.section(':', 1);
        for (const QString& path : room.split(',', Qt::SkipEmptyParts))
            QVERIFY(kind == "room" || (kind == "file" ? writeFile(dir.filePath(path), {})
                                                      : QDir().mkpath(dir.filePath(path))));
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
        const FileSizeLimit limit(kind == "room" ? room.toULong() : RLIM_INFINITY);
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
        QStringList texts, reported;
        for (const QList<QVariant>& emission : failures)
            texts << emission.at(0).toString();
        for (int save = 0; save < c.saves; ++save)
            reported += QStringList(c.reported).replaceInStrings("%1", dir.path());
        QCOMPARE(texts, reported);
        // Done: nothing more is recorded, the tables hold every frame, and
        // only what was stored is said saved.
        QVERIFY(!worker.isSavePicture && !worker.isSaveVideo && !worker.isSaveData);
        QCOMPARE(worker.saveFailed.load(), !c.reported.isEmpty());
        QString frames;
        for (int k = 0; k < c.count; ++k)
            frames += QString::number(k) + "\n";
        QCOMPARE(QString::fromStdString(out.text()),
                 ((c.obstacle == "under a file" ? "open failed\n" : frames) + c.printed)
                     .repeated(c.saves));

        QCOMPARE(videoFrames(dir.filePath(c.name + "_output_video.mp4")), c.videoFrames);
        // That disk fills up inside the video's index box, not before it.
        QVERIFY(room != "13000" || fileBytes(dir.filePath("s_output_video.mp4")).contains("moov"));
        for (int k = 1; k <= c.count; ++k) {
            const QString file = QString("%1/%2_%3.png").arg(picDir, c.name).arg(k);
            const cv::Mat read = cv::imread(file.toStdString(), cv::IMREAD_UNCHANGED);
            QCOMPARE(QFileInfo(file).isFile(), c.written.contains(k));
            QCOMPARE(!read.empty() && read.type() == CV_8UC1 &&
                         cv::norm(read, frameNumber(k), cv::NORM_INF) == 0,
                     c.written.contains(k));
        }
    }
};

QTEST_GUILESS_MAIN(TestRecording)
#include "test_recording.moc"

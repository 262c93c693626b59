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

// Frames of a video file, or -1 when it does not open. Each must be 256 x 256.
// Read through FFmpeg alone: letting OpenCV probe its other back-ends wakes
// camera libraries that leak.
int videoFrames(const QString& file)
{
    cv::VideoCapture video(file.toStdString(), cv::CAP_FFMPEG);
    if (!video.isOpened())
        return -1;
    int n = 0;
    cv::Mat frame;
    while (video.read(frame)) {
        if (frame.rows != 256 || frame.cols != 256)
            return -2;
        ++n;
    }
    return n;
}

QStringList entries(const QString& directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> temp;
    QDir dir;
    std::unique_ptr<Tessary_VideoThread> worker;

    void prepare(const QString& name, int count, bool pictures, bool video)
    {
        worker.reset(new Tessary_VideoThread);
        RunningDataManager::instance()->setSaveName(name);
        worker->savePath = dir.path().toStdString();
        worker->saveNumber = count;
        worker->isSavePicture = pictures;
        worker->isSaveVideo = video;
    }

private slots:
    void initTestCase()
    {
        // Only our own lines on the error stream.
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    }

    void init()
    {
        temp.reset(new QTemporaryDir);
        QVERIFY(temp->isValid());
        dir.setPath(temp->path());
    }
    void cleanup() { worker.reset(); }

    void recording_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("pictures");
        QTest::addColumn<bool>("video");
        QTest::addColumn<int>("rate");
        QTest::newRow("one frame, both") << "run1" << 1 << true << true << 9;
        QTest::newRow("pictures only") << "Messung_ä" << 5 << true << false << 9;
        QTest::newRow("video only") << "v" << 5 << false << true << 2;
    }

    void recording()
    {
        QFETCH(QString, name);
        QFETCH(int, count);
        QFETCH(bool, pictures);
        QFETCH(bool, video);
        QFETCH(int, rate);
        prepare(name, count, pictures, video);
        worker->frameRate = rate;
        // A picture directory already there is used; its pictures are replaced.
        const QString picDir = dir.filePath(name + "pic");
        if (pictures) {
            QVERIFY(QDir().mkpath(picDir));
            QVERIFY(cv::imwrite((picDir + "/" + name + "_1.png").toStdString(), frameNumber(99)));
            QFile(picDir + "/keep.txt").open(QIODevice::WriteOnly);
        }

        StdoutCapture out;
        StderrCapture err;
        QSignalSpy failures(worker.get(), &Tessary_VideoThread::storeFailed);
        for (int k = 1; k <= count; ++k) {
            cv::Mat frame = frameNumber(k);
            QVERIFY(worker->recordFrame(frame));
            QCOMPARE(worker->recordedCount, k % count);
        }
        QCOMPARE(worker->isSavePicture.load(), false);
        QCOMPARE(worker->isSaveVideo.load(), false);
        QCOMPARE(QString::fromStdString(out.text()),
                 QString(video ? "video saved successfully.\n" : "") +
                     (pictures ? "picture saved successfully.\n" : ""));
        QCOMPARE(err.text(), QString());
        QCOMPARE(failures.count(), 0);

        QStringList top;
        if (video)
            top << name + "_output_video.mp4";
        if (pictures)
            top << name + "pic";
        top.sort();
        QCOMPARE(entries(dir.path()), top);
        if (video) {
            const QString file = dir.filePath(name + "_output_video.mp4");
            QCOMPARE(videoFrames(file), count);
            QCOMPARE(cv::VideoCapture(file.toStdString(), cv::CAP_FFMPEG).get(cv::CAP_PROP_FPS),
                     double(rate));
        }
        if (pictures) {
            QStringList expected{"keep.txt"};
            for (int k = 1; k <= count; ++k)
                expected << QString("%1_%2.png").arg(name).arg(k);
            expected.sort();
            QCOMPARE(entries(picDir), expected);
            for (int k = 1; k <= count; ++k) {
                const cv::Mat read =
                    cv::imread(QString("%1/%2_%3.png").arg(picDir, name).arg(k).toStdString(),
                               cv::IMREAD_UNCHANGED);
                QCOMPARE(read.type(), CV_8UC1);
                QCOMPARE(cv::norm(read, frameNumber(k), cv::NORM_INF), 0.0);
            }
        }
    }

    // A second save confirmed while pictures are being recorded: a smaller
    // count ends the recording at once, and the video it asks for is made.
    void laterSave()
    {
        prepare("s", 5, true, false);
        StdoutCapture out;
        for (int k = 1; k <= 3; ++k) {
            if (k == 3) {
                worker->saveNumber = 1;
                worker->isSaveVideo = true;
            }
            cv::Mat frame = frameNumber(k);
            QVERIFY(worker->recordFrame(frame));
        }
        QCOMPARE(worker->recordedCount, 0);
        QCOMPARE(worker->isSavePicture.load() || worker->isSaveVideo.load(), false);
        QCOMPARE(QString::fromStdString(out.text()),
                 QString("video saved successfully.\npicture saved successfully.\n"));
        QCOMPARE(entries(dir.filePath("spic")), QStringList({"s_1.png", "s_2.png", "s_3.png"}));
        QCOMPARE(videoFrames(dir.filePath("s_output_video.mp4")), 1);
    }

    void failures_data()
    {
        // What is in the way ("file:" or "dirs:" paths) and where the save
        // goes, both relative to the temporary directory.
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("saveDir");
        QTest::addColumn<bool>("pictures");
        QTest::addColumn<bool>("video");
        QTest::addColumn<int>("frameType");
        QTest::addColumn<bool>("result"); // of the last call
        QTest::addColumn<QString>("stderrText");
        QTest::addColumn<QStringList>("reported");
        QTest::addColumn<QString>("stdoutText");
        QTest::addColumn<int>("videoFrames"); // -1: no video that opens

        const QString writer = "Error: Could not create video writer.";
        const QString directory = "Error: Failed to create directory.";
        const QString picture = "Error: Failed to save the image.";
        // The save directory lies under a plain file.
        QTest::newRow("video, directory unwritable")
            << "file:f"
            << "f/save" << true << true << CV_8UC1 << false << writer + "\nTicks: N\n"
            << QStringList{writer} << "" << -1;
        QTest::newRow("a file where the picture directory goes")
            << "file:spic"
            << "." << true << false << CV_8UC1 << false << directory + "\n"
            << QStringList{directory} << "" << -1;
        // The first frame is already in the video: it is finalised, not lost.
        QTest::newRow("picture directory fails, video kept")
            << "file:spic"
            << "." << true << true << CV_8UC1 << false << directory + "\n"
            << QStringList{directory} << "" << 1;
        // Two of three pictures cannot be written: each is said, the window
        // is told once, and the recording runs to its end.
        QTest::newRow("pictures that cannot be written")
            << "dirs:spic/s_1.png,spic/s_3.png"
            << "." << true << false << CV_8UC1 << true << picture + "\n" + picture + "\n"
            << QStringList{picture} << "picture saved successfully.\n"
            << -1;
        QTest::newRow("video frame that does not encode")
            << ""
            << "." << false << true << CV_8UC2 << false << ""
            << QStringList{"Error: Could not encode the video frame."} << "" << -1;
        QTest::newRow("empty frame")
            << ""
            << "." << true << true << -1 << true
            << "Error: Source image is empty.\n"
               "Error: Source image is empty.\n"
               "Error: Source image is empty.\n"
            << QStringList{} << "video saved successfully.\npicture saved successfully.\n"
            << -1;
    }

    void failures()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, saveDir);
        QFETCH(bool, pictures);
        QFETCH(bool, video);
        QFETCH(int, frameType);
        QFETCH(bool, result);
        QFETCH(QString, stderrText);
        QFETCH(QStringList, reported);
        QFETCH(QString, stdoutText);
        QFETCH(int, videoFrames);
        prepare("s", 3, pictures, video);
        const QString kind = obstacle.section(':', 0, 0);
        for (const QString& path : obstacle.section(':', 1).split(',', Qt::SkipEmptyParts)) {
            if (kind == "file")
                QVERIFY(QFile(dir.filePath(path)).open(QIODevice::WriteOnly));
            else
                QVERIFY(QDir().mkpath(dir.filePath(path)));
        }
        worker->savePath = dir.filePath(saveDir).toStdString();

        StdoutCapture out;
        StderrCapture err;
        QSignalSpy spy(worker.get(), &Tessary_VideoThread::storeFailed);
        bool last = true;
        for (int k = 1; k <= 3 && last; ++k) {
            cv::Mat frame = frameType < 0 ? cv::Mat() : cv::Mat(256, 256, frameType, cv::Scalar(k));
            last = worker->recordFrame(frame);
        }
        QCOMPARE(last, result);
        QCOMPARE(err.text(), stderrText);
        QStringList texts;
        for (const QList<QVariant>& emission : spy)
            texts << emission.at(0).toString();
        QCOMPARE(texts, reported);
        QCOMPARE(QString::fromStdString(out.text()), stdoutText);
        // Given up or done: nothing more is recorded.
        QCOMPARE(worker->isSavePicture.load(), false);
        QCOMPARE(worker->isSaveVideo.load(), false);
        QCOMPARE(worker->recordedCount, 0);
        QVERIFY(!worker->videoWriter.isOpened());
        QCOMPARE(::videoFrames(dir.filePath("s_output_video.mp4")), videoFrames);
        if (kind == "dirs")
            QCOMPARE(cv::imread(dir.filePath("spic/s_2.png").toStdString(), cv::IMREAD_UNCHANGED)
                         .at<uchar>(0, 0),
                     uchar(2));
    }
};

QTEST_GUILESS_MAIN(TestRecording)
#include "test_recording.moc"

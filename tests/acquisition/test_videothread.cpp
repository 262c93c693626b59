// The acquisition worker against the simulated board: the bytes it sends,
// the frames and currents it emits, how it ends and how it stops.
#include "Bus.h"
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "Tessary_VideoThread.h"
#include "TestSupport.h"
#include "conversion.h"

#include <QtTest>

#include <ctime>

namespace {

RunningDataManager* const rdm = RunningDataManager::instance();

// Pixels of a display frame that differ from the raw frame shown with the
// default references, turned clockwise about (128, 128) with 0 where it comes
// from outside the frame, then mirrored.
int wrongPixels(const cv::Mat& shown, const std::vector<uint8_t>& raw, int turns = 0, int flip = 0)
{
    auto src = [&](int r, int c) {
        return grayLevel(rawPixel(raw.data() + 4 * (r * 256 + c)), kZeroLevel, kDefaultBright);
    };
    cv::Mat m(256, 256, CV_8UC1);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            const int x = flip == 1 ? 255 - c : c;
            const int turned[] = {src(r, x), x ? src(256 - x, r) : 0,
                                  r && x ? src(256 - r, 256 - x) : 0, r ? src(x, 256 - r) : 0};
            m.at<uchar>(r, c) = uchar(turned[turns]);
        }
    return cv::countNonZero(m != shown);
}

QByteArray chunkRequest(int k)
{
    return QByteArray("\xFF\xAA\x00", 3) + char(k) + QByteArray("\x0D\xEB", 2);
}

} // namespace

class TestVideoThread : public QObject
{
    Q_OBJECT
    std::shared_ptr<boardsim::Board> board;
    FT_HANDLE handle = nullptr;
    std::unique_ptr<Tessary_VideoThread> worker;
    // The worker's signals, received in this thread in emission order.
    std::vector<cv::Mat> frames;
    QVector<double> currents;
    QList<int> flagAfterFrames;
    int disconnects = 0;

    // Starts the worker, waits for n frames, stops it and takes delivery of
    // the signals it queued. False when the frames did not come.
    bool runUntilFrames(std::size_t n)
    {
        worker->start();
        const bool came = QTest::qWaitFor([&] { return frames.size() >= n; }, 60000);
        worker->stop();
        QCoreApplication::processEvents();
        return came;
    }

private slots:
    void initTestCase() { qRegisterMetaType<Mat>("Mat"); }

    void init()
    {
        boardsim::Bus::instance().resetToEnvironment();
        board = boardsim::Bus::instance().board("TS256A01");
        QCOMPARE(FT_OpenEx(const_cast<char*>("TS256A01"), FT_OPEN_BY_SERIAL_NUMBER, &handle),
                 FT_STATUS(FT_OK));
        board->setPaced(false);
        worker = std::make_unique<Tessary_VideoThread>();
        worker->ftHandle = handle;
        using T = Tessary_VideoThread;
        connect(worker.get(), &T::sendMatToUI, this, [this](const Mat& m) { frames.push_back(m); });
        connect(worker.get(), &T::labelCurrentShow, this, [this](double c) { currents << c; });
        connect(worker.get(), &T::disConnect, this, [this] { ++disconnects; });
        connect(worker.get(), &T::setFlag, this, [this] { flagAfterFrames << int(frames.size()); });
    }

    void cleanup()
    {
        worker->stop();
        worker.reset();
        QCoreApplication::removePostedEvents(this); // what it queued and nobody took
        FT_Close(handle);
        resetRunState();
        frames.clear();
        currents.clear();
        flagAfterFrames.clear();
        disconnects = 0;
    }

    void frameLoop_data()
    {
        QTest::addColumn<int>("maxPiece"); // reads in random pieces of at most this
        QTest::addColumn<int>("extra");    // bytes after the first chunk
        QTest::addColumn<int>("turns");    // clockwise quarter turns
        QTest::addColumn<int>("flip");
        QTest::addColumn<int>("index"); // selected pixel, raw-frame order
        QTest::newRow("pieces up to 61 bytes") << 61 << 0 << 0 << 0 << 300;
        QTest::newRow("extra bytes, more than the read buffer") << 0 << 200000 << 0 << 0 << 300;
        QTest::newRow("90 degrees") << 0 << 0 << 1 << 0 << 65535;
        QTest::newRow("180 degrees") << 0 << 0 << 2 << 0 << 300;
        QTest::newRow("270 degrees") << 0 << 0 << 3 << 0 << 0;
        QTest::newRow("90 degrees, then mirrored") << 0 << 0 << 1 << 1 << 300;
        QTest::newRow("whole chunks, selected index past the frame") << 0 << 0 << 0 << 0 << 65536;
    }

    void frameLoop()
    {
        QFETCH(int, maxPiece);
        QFETCH(int, extra);
        QFETCH(int, turns);
        QFETCH(int, flip);
        QFETCH(int, index);
        board->setDeliveryPieces(std::size_t(maxPiece), 12345);
        std::vector<std::vector<uint8_t>> pushed; // all pixels different, in every frame
        for (uint32_t f = 0; f < 4; ++f) {
            pushed.push_back(rawFrame([&](int i) {
                return i == index ? kZeroLevel + (1u << 20) // 150.6024 nA
                                  : kZeroLevel + (uint32_t(i) + 65536 * f) * 2654435761u % 0xFB000;
            }));
            board->pushFrame(pushed.back());
        }
        board->injectExtraBytesAfterNextChunk(std::size_t(extra));
        for (int i = 0; i < turns; ++i)
            rdm->AddRotationAngle();
        rdm->setFlipCode(flip);
        rdm->setShowIndex(index);
        rdm->setShowState(true);
        QVERIFY(runUntilFrames(3));

        // Extra bytes after the first chunk 0: that frame is given up and asked
        // for again on an empty queue; the frames after it are whole, in order.
        for (int f = 0; f < 3; ++f)
            QCOMPARE(wrongPixels(frames[f], pushed[f + (extra ? 1 : 0)], turns, flip), 0);
        QVERIFY(frames[0].data != frames[1].data); // each frame owns its buffer
        Frames log = hostWrites(*board);
        if (extra)
            QCOMPARE(log.takeFirst(), chunkRequest(0));
        QCOMPARE(log.size(), 4 * int(frames.size()));
        for (int i = 0; i < log.size(); ++i)
            QCOMPARE(log[i], chunkRequest(i % 4));
        // The selected pixel's current after each frame, whatever the turn.
        const int shown = index < kFramePixels ? int(frames.size()) : 0;
        QCOMPARE(currents.mid(0, 3), QVector<double>(std::min(shown, 3), 150.6024));
        QCOMPARE(currents.size(), shown);
    }

    void lostBoardDuringCapture()
    {
        qputenv("TZ", "XST-8"); // eight hours east: local time is not UTC
        tzset();
        StdoutCapture out;
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 2, 60000);
        board->setSilent(true); // reads fail with nothing queued
        board->setReadsFail(true);
        QVERIFY(worker->wait());
        const QDateTime after = QDateTime::currentDateTime();
        QCoreApplication::processEvents();
        QCOMPARE(disconnects, 1);

        // Path and line of the statement that writes the line, local time, GBK text.
        QFile source(QFileInfo(QStringLiteral(__FILE__))
                         .dir()
                         .absoluteFilePath("../../acquisition/Tessary_VideoThread.cpp"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(QByteArray::fromStdString(out.text()));
        const QRegularExpression pattern(
            "^" + QRegularExpression::escape(QFileInfo(source).canonicalFilePath()) +
            ":(\\d+) \\[(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)\\] "
            "USB\\x{B6}\\x{CF}\\x{BF}\\x{AA}\\n$");
        const QRegularExpressionMatch match = pattern.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        const int line = match.captured(1).toInt();
        QVERIFY(source.readAll().split('\n').value(line - 1).contains("__LINE__"));
        const QDateTime when = QDateTime::fromString(match.captured(2), "yyyy-MM-dd HH:mm:ss");
        QVERIFY(when >= before && when <= after);
    }

    void stop_data()
    {
        QTest::addColumn<int>("stopAfter"); // requests sent; 0: before run() begins
        QTest::addColumn<int>("requests");  // requests sent in all
        QTest::addColumn<int>("frameCount");
        QTest::newRow("before run begins") << 0 << 0 << 0;
        QTest::newRow("board silent") << 1 << 1 << 0;
        // Paced frames: the second frame's chunk 0 comes a frame period after
        // the first, so a stop right after its request lands inside that frame.
        QTest::newRow("mid-frame: the frame is finished") << 5 << 8 << 2;
    }

    void stop()
    {
        QFETCH(int, stopAfter);
        QFETCH(int, requests);
        QFETCH(int, frameCount);
        board->setPaced(true);
        board->setSilent(stopAfter < 5);
        const auto raw = rawFrame([](int i) { return kZeroLevel + uint32_t(i) * 13; });
        board->pushFrame(raw);
        board->pushFrame(raw);
        // started() runs in the new thread just before run(): clearing the flag
        // there is a stop that lands after start() but before the loop begins.
        // The worker's own pointer, not the test's holder of it: cleanup() resets that
        // holder, and the thread's end is handed over through locks the race
        // checker cannot see.
        if (stopAfter == 0)
            connect(
                worker.get(), &QThread::started, worker.get(),
                [w = worker.get()] { w->running = false; }, Qt::DirectConnection);
        worker->start();
        while (board->hostLog().size() < std::size_t(stopAfter)) {
        }
        worker->stop(); // returns although the board may never answer
        QCoreApplication::processEvents();
        QCOMPARE(int(board->hostLog().size()), requests);
        QCOMPARE(int(frames.size()), frameCount);
        if (frameCount)
            QCOMPARE(wrongPixels(frames.back(), raw), 0);
    }

    void calibrationBothPending()
    {
        worker->isSetMax = true;
        worker->isSetMin = true;
        QVERIFY(runUntilFrames(16));
        // One counter, stepped by both: dark ends on frame 5, bright ten frames later.
        QCOMPARE(flagAfterFrames, QList<int>({4, 14}));
        QVERIFY(!worker->isSetMax && !worker->isSetMin);
        QVERIFY(rdm->getMaxFlag() && rdm->getMinFlag());
    }
};

QTEST_GUILESS_MAIN(TestVideoThread)
#include "test_videothread.moc"

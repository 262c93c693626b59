// The acquisition worker against the simulated board: the bytes it sends,
// the frames and currents it emits, how it ends and how it stops.
#include "Bus.h"
#include "ChunkReader.h"
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "Tessary_VideoThread.h"
#include "TestSupport.h"
#include "conversion.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <ctime>
#include <random>

namespace {

RunningDataManager* const rdm = RunningDataManager::instance();

// The raw pixel shown at row r, column c of the frame turned clockwise by
// quarter turns about (128, 128), then mirrored; -1 where the turn brings
// nothing from the frame.
int rawShownAt(int r, int c, int turns, int flip)
{
    const int x = flip == 1 ? 255 - c : c;
    const int turned[] = {r * 256 + x, x ? (256 - x) * 256 + r : -1,
                          r && x ? (256 - r) * 256 + 256 - x : -1, r ? x * 256 + 256 - r : -1};
    return turned[turns];
}

// Pixels of a display frame that differ from the raw frame shown with the
// default references, turned and mirrored, 0 where no pixel is shown.
int wrongPixels(const cv::Mat& shown, const std::vector<uint8_t>& raw, int turns = 0, int flip = 0)
{
    const cv::Mat m = grayImage([&](int r, int c) {
        const int i = rawShownAt(r, c, turns, flip);
        return i < 0 ? 0 : grayLevel(rawPixel(raw.data() + 4 * i), kZeroLevel, kDefaultBright);
    });
    return cv::countNonZero(m != shown);
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
    QVector<double> readOuts; // the raw pixel shown at the pick, then its current, per frame
    QList<int> flagAfterFrames;
    int disconnects = 0;
    QTemporaryDir workDir;

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
    // Calibrations write relative to the working directory.
    void initTestCase()
    {
        qRegisterMetaType<Mat>("Mat");
        QVERIFY(QDir::setCurrent(workDir.path()) && QDir().mkdir("Calibration"));
    }

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
        connect(worker.get(), &T::labelPixelShow, this, [this](int p) { readOuts << p; });
        connect(worker.get(), &T::labelCurrentShow, this, [this](double c) { readOuts << c; });
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
        readOuts.clear();
        flagAfterFrames.clear();
        disconnects = 0;
    }

    void frameLoop_data()
    {
        QTest::addColumn<int>("turns"); // clockwise quarter turns
        QTest::addColumn<int>("flip");
        QTest::addColumn<int>("index"); // picked place in the picture: row * 256 + column
        QTest::newRow("90 degrees, on the empty first column") << 1 << 0 << 1280;
        QTest::newRow("180 degrees, bottom-right corner") << 2 << 0 << 65535;
        QTest::newRow("270 degrees") << 3 << 0 << 300;
        QTest::newRow("mirrored, where raw pixel 0 is shown") << 0 << 1 << 255;
        QTest::newRow("180 degrees, mirrored") << 2 << 1 << 40000;
        QTest::newRow("270 degrees, mirrored") << 3 << 1 << 65534;
        QTest::newRow("90 degrees, mirrored, on the empty last column") << 1 << 1 << 2815;
        QTest::newRow("0 degrees, selected index past the frame") << 0 << 0 << 65536;
    }

    void frameLoop()
    {
        QFETCH(int, turns);
        QFETCH(int, flip);
        QFETCH(int, index);
        std::vector<std::vector<uint8_t>> pushed; // all pixels different, in every frame
        for (uint32_t f = 0; f < 3; ++f) {
            pushed.push_back(rawFrame(
                [&](int i) { return kZeroLevel + uint32_t(i) * 40503u % 65536 * 15 + f; }));
            board->pushFrame(pushed.back());
        }
        for (int i = 0; i < turns; ++i)
            rdm->AddRotationAngle();
        rdm->setFlipCode(flip);
        rdm->setShowIndex(index);
        rdm->setShowState(true);
        QVERIFY(runUntilFrames(3));

        for (int f = 0; f < 3; ++f)
            QCOMPARE(wrongPixels(frames[f], pushed[f], turns, flip), 0);
        QVERIFY(frames[0].data != frames[1].data); // each frame owns its buffer
        QCOMPARE(sentHex(*board), QString("FFAA00000DEB|FFAA00010DEB|FFAA00020DEB|FFAA00030DEB|")
                                      .repeated(int(frames.size())));
        // The raw pixel shown at the picked place, then its current, after each frame.
        const int pixel = rawShownAt(index / 256, index % 256, turns, flip);
        QCOMPARE(readOuts.size(), index < kFramePixels ? 2 * int(frames.size()) : 0);
        for (int f = 0; f < std::min(int(readOuts.size()) / 2, 3); ++f) {
            QCOMPARE(readOuts[2 * f], double(pixel));
            QCOMPARE(readOuts[2 * f + 1],
                     pixel < 0 ? qQNaN()
                               : pixelCurrentRounded(rawPixel(&pushed[f][4 * pixel]), 25, 166));
        }
    }

    // Every pixel of a board frame carries its frame number; the board hands
    // out answers in random pieces and now and then puts stray bytes after a
    // chunk answer. Each frame read must be one whole board frame, the only
    // frame lost is the one the stray bytes fell into, and the reader asks for
    // it again from chunk 0.
    void readerNeverMixesFrames()
    {
        std::mt19937 rng(8);
        auto upTo = [&](int most) { // spread evenly over the orders of magnitude
            return int(std::exp2(std::uniform_real_distribution<double>(0, std::log2(most))(rng)));
        };
        auto tagged = [](uint32_t tag) {
            return rawFrame([tag](int i) { return tag << 16 | uint32_t(i); });
        };
        std::atomic<bool> running{true};
        FT_STATUS status = FT_OK;
        ChunkReader reader(handle, status, running, std::chrono::milliseconds(112));
        // Frame 0 is the late answer to an earlier reader's request: dropped.
        board->pushFrame(tagged(0));
        writeTo(handle, request(0, 2));
        uint32_t next = 1, pushed = 1; // the board's next frame, frames handed to it
        for (int trial = 0; trial < 100; ++trial) {
            for (; pushed < next + 2; ++pushed)
                board->pushFrame(tagged(pushed));
            const int maxPiece = upTo(65536), stray = trial % 3 ? upTo(200000) : 0;
            const unsigned after = unsigned(rng() % 4); // the chunk the stray bytes follow
            board->setDeliveryPieces(std::size_t(maxPiece), unsigned(rng()));
            board->injectExtraBytesAfterNextChunk(std::size_t(stray), after);
            board->clearHostLog();
            const QByteArray name = QByteArray::number(maxPiece) + "-byte pieces, " +
                                    QByteArray::number(stray) + " stray bytes after chunk " +
                                    QByteArray::number(after);

            QVERIFY2(reader.readFrame() == ChunkReader::Outcome::Frame, name);
            Frames expected;
            for (unsigned k = 0; stray && k <= after; ++k)
                expected << request(0, int(k));
            next += stray ? 1 : 0;
            expected << request(0, 0) << request(0, 1) << request(0, 2) << request(0, 3);
            QVERIFY2(hostWrites(*board) == expected, name);
            const auto sent = tagged(next);
            for (int j = 0; j < 4; ++j)
                QVERIFY2(!std::memcmp(reader.chunk(j), &sent[j * kChunkBytes], kChunkBytes), name);
            ++next;
        }
        QCOMPARE(status, FT_STATUS(FT_OK));
    }

    // A board that falls silent far longer than a frame period is lost: it
    // is reported once, with the disconnect line. (A failed read takes the
    // same way out; the window test unplugs the board.)
    void silentBoardIsLost()
    {
        qputenv("TZ", "XST-8"); // eight hours east: local time is not UTC
        tzset();
        StreamCapture out;
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 2, 60000);
        board->setSilent(true); // nothing queued
        QVERIFY(worker->wait(60000));
        const QDateTime after = QDateTime::currentDateTime();
        QCoreApplication::processEvents();
        QCOMPARE(disconnects, 1);

        // Path and line of the statement that writes the line, local time, GBK text.
        const QString source =
            QFileInfo(QFileInfo(__FILE__).dir(), "../../acquisition/Tessary_VideoThread.cpp")
                .canonicalFilePath();
        const QString text = QString::fromLatin1(QByteArray::fromStdString(out.text()));
        const QRegularExpressionMatch match =
            QRegularExpression("^" + QRegularExpression::escape(source) +
                               ":\\d+ \\[(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)\\] "
                               "USB\\x{B6}\\x{CF}\\x{BF}\\x{AA}\\n$")
                .match(text);
        QVERIFY2(!source.isEmpty() && match.hasMatch(), qPrintable(text));
        const QDateTime when = QDateTime::fromString(match.captured(1), "yyyy-MM-dd HH:mm:ss");
        QVERIFY(when >= before && when <= after);
    }

    void stop_data()
    {
        QTest::addColumn<int>("period");    // of the board, 100 ns steps
        QTest::addColumn<int>("stopAfter"); // request the stop lands at; 0: before run() begins
        QTest::addColumn<int>("requests");  // requests sent in all
        QTest::addColumn<int>("frameCount");
        QTest::newRow("before run begins") << 1111111 << 0 << 0 << 0;
        // Silent after two frames: the stop gives up the third.
        QTest::newRow("board silent, during a save") << 1111111 << 9 << 9 << 2;
        // The second frame's chunk 0 comes a frame period after the first, so
        // a stop at its request lands inside that frame.
        QTest::newRow("mid-frame at 9 frames/s") << 1111111 << 5 << 8 << 2;
        QTest::newRow("mid-frame at 0.5 frames/s") << 20000000 << 5 << 8 << 2;
    }

    void stop()
    {
        QFETCH(int, period);
        QFETCH(int, stopAfter);
        QFETCH(int, requests);
        QFETCH(int, frameCount);
        setFramePeriod(handle, uint32_t(period));
        board->clearHostLog();
        worker->boardFramePeriodMs = period / 10000;
        board->setPaced(true);
        // A save of more frames than any row takes; the board falls silent
        // once it has kept the row's frames (called in the worker, like every
        // connection here without a receiver). What it kept is stored.
        worker->savePath = workDir.path().toStdString();
        worker->saveNumber = 5;
        worker->isSaveData = true;
        connect(worker.get(), &Tessary_VideoThread::saveDialog,
                [b = board.get(), n = frameCount] { b->setSilent(rdm->getSaveProgress() == n); });
        const auto raw = rawFrame([](int i) { return kZeroLevel + uint32_t(i) * 13; });
        board->pushFrame(raw);
        board->pushFrame(raw);
        // The stop lands in the worker's thread, however far this one has got:
        // started() runs there just before run(), so clearing the flag then is a
        // stop after start() but before the loop begins; the write hook clears it
        // as the row's request reaches the board, before the board acts on it.
        // The worker's own pointer, not the test's holder of it: cleanup() resets that
        // holder, and the thread's end is handed over through locks the race
        // checker cannot see.
        Tessary_VideoThread* const w = worker.get();
        if (stopAfter == 0)
            connect(w, &QThread::started, [w] { w->running = false; });
        board->setWriteHook([w, stopAfter](std::size_t written) {
            if (written == std::size_t(stopAfter))
                w->running = false;
        });
        worker->start();
        QVERIFY(worker->wait(60000)); // stopped, it ends although the board may never answer
        QCoreApplication::processEvents();
        QCOMPARE(int(board->hostLog().size()), requests);
        QCOMPARE(int(frames.size()), frameCount);
        QCOMPARE(frameCount ? wrongPixels(frames.back(), raw) : 0, 0);
        QCOMPARE(worker->saveStoredFrames.load(), frameCount);
        QCOMPARE(rdm->getSaveProgress(), frameCount ? -100 : 0);
        QCOMPARE(fileBytes(QString("name_%1_Frames.csv").arg(frameCount)).count("Frame "),
                 frameCount);
        DWORD rx = 1, tx = 0, events = 0; // no answer left for the next reader
        QVERIFY(FT_GetStatus(handle, &rx, &tx, &events) == FT_OK && rx == 0);
    }

    void calibrationBothPending()
    {
        worker->isSetMax = true;
        worker->isSetMin = true;
        QVERIFY(runUntilFrames(16));
        // One counter, stepped by both: dark ends on frame 5, bright ten frames later.
        QCOMPARE(flagAfterFrames, QList<int>({4, 14}));
        QVERIFY(!worker->isSetMax && !worker->isSetMin && rdm->getMaxFlag() && rdm->getMinFlag());
    }

    // The worker started, stopped and restarted over and over while this
    // thread keeps writing everything the main window writes during capture.
    // Meant for ThreadSanitizer, which fails the run on a race.
    void restartUnderParameterWrites()
    {
        int round = 0;
        auto write = [&] {
            ++round;
            worker->integrationTime = 100 + round % 200;
            worker->fullScaleCharge = 1 + round % 50;
            worker->isFft = round % 5 == 0;
            if (round % 4 == 0)
                worker->isSetMin = true;
            if (round % 3 == 0) {
                worker->isSetMax = true;
                worker->setminrange(4096 + round);
            } else if (round % 3 == 1)
                worker->setmaxrange(0xFFFFF - round);
            else
                worker->reset();
            rdm->setFlipCode(round % 2);
            rdm->AddRotationAngle();
            rdm->setShowState(round % 4 != 1);
            rdm->setShowIndex(round % 3 == 0 ? 70000 : round * 37 % 65536);
            rdm->setMaxFlag(false);
            rdm->setMinFlag(false);
        };
        for (int cycle = 0; cycle < 24; ++cycle) {
            const std::size_t before = frames.size();
            worker->start();
            // Frames while the parameters keep changing, now and then enough
            // for a calibration to complete; every third cycle stops at once,
            // possibly before run() begins.
            const std::size_t wanted = cycle % 3 == 2 ? 0 : cycle % 4 == 0 ? 12 : 1 + cycle % 2;
            QTRY_VERIFY_WITH_TIMEOUT((write(), frames.size() >= before + wanted), 120000);
            worker->stop();
            QVERIFY(worker->isFinished());
            write();
        }
        QCoreApplication::processEvents();
        QCOMPARE(disconnects, 0);
        QVERIFY(!readOuts.isEmpty() && !flagAfterFrames.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestVideoThread)
#include "test_videothread.moc"

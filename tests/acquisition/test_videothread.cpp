// The acquisition worker against the simulated board: the bytes it sends,
// the frames and currents it emits, how it ends and how it stops.
#include "Board.h"
#include "Bus.h"
#include "RunningDataManager.h"
#include "Scene.h"
#include "SimSupport.h"
#include "Tessary_VideoThread.h"
#include "TestSupport.h"
#include "conversion.h"
#include "d2xx.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

extern RunningDataManager* runningDataManagerVT;

namespace {

const char kSerial[] = "TS256A01";
constexpr uint32_t kFullScaleRaw = 4096 + (1u << 20);

// The display frame of a raw frame with the default references, unturned.
cv::Mat defaultDisplay(const std::vector<uint8_t>& raw)
{
    cv::Mat m(256, 256, CV_8UC1);
    for (int i = 0; i < kFramePixels; ++i)
        m.at<uchar>(i / 256, i % 256) = grayLevel(rawPixel(raw.data() + 4 * i), 4096, 0xFFFFF);
    return m;
}

bool same(const cv::Mat& a, const cv::Mat& b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

QByteArray chunkRequest(int k)
{
    return QByteArray("\xFF\xAA\x00", 3) + char(k) + QByteArray("\x0D\xEB", 2);
}

QByteArray written(const boardsim::HostWrite& w)
{
    return QByteArray(reinterpret_cast<const char*>(w.bytes.data()), int(w.bytes.size()));
}

// Receives the worker's signals in the test thread, in emission order.
class Collector : public QObject
{
    Q_OBJECT
public:
    explicit Collector(Tessary_VideoThread& t)
    {
        connect(&t, &Tessary_VideoThread::sendMatToUI, this, [this](const Mat& m) {
            frames.push_back(m);
            events << "frame";
        });
        connect(&t, &Tessary_VideoThread::labelCurrentShow, this, [this](double c) {
            currents << c;
            events << "current";
        });
        connect(&t, &Tessary_VideoThread::disConnect, this, [this] {
            ++disconnects;
            events << "disconnect";
        });
        connect(&t, &Tessary_VideoThread::setFlag, this, [this] {
            flagAfterFrames << int(frames.size());
            events << "flag";
        });
    }
    std::vector<cv::Mat> frames;
    QList<double> currents;
    QList<int> flagAfterFrames;
    QStringList events;
    int disconnects = 0;
};

} // namespace

class TestVideoThread : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void chunkRequestsInOrder();
    void verbatimFrame_data();
    void verbatimFrame();
    void extraBytesRecovered_data();
    void extraBytesRecovered();
    void turnAndMirror_data();
    void turnAndMirror();
    void selectedPixelCurrent_data();
    void selectedPixelCurrent();
    void lostBoard_data();
    void lostBoard();
    void silentBoardDoesNotHoldStop();
    void stopBeforeRunBegins();
    void stopMidFrameFinishesTheFrame();
    void calibrationCounting_data();
    void calibrationCounting();

private:
    void stopWorker();
    std::shared_ptr<boardsim::Board> board;
    FT_HANDLE handle = nullptr;
    std::unique_ptr<Tessary_VideoThread> worker;
    std::unique_ptr<Collector> collector;
};

void TestVideoThread::initTestCase()
{
    qRegisterMetaType<Mat>("Mat");
}

void TestVideoThread::init()
{
    boardsim::Bus::instance().resetToEnvironment();
    board = boardsim::Bus::instance().board(kSerial);
    QVERIFY(board);
    QCOMPARE(FT_OpenEx(const_cast<char*>(kSerial), FT_OPEN_BY_SERIAL_NUMBER, &handle),
             FT_STATUS(FT_OK));
    board->setPaced(false);
    worker = std::make_unique<Tessary_VideoThread>();
    worker->ftHandle = handle;
    collector = std::make_unique<Collector>(*worker);
}

void TestVideoThread::cleanup()
{
    worker->stop();
    collector.reset();
    worker.reset();
    FT_Close(handle);
    handle = nullptr;
    board.reset();
    resetRunState();
}

// Stops the worker and takes delivery of the signals it queued before.
void TestVideoThread::stopWorker()
{
    worker->stop();
    QCoreApplication::processEvents();
}

void TestVideoThread::chunkRequestsInOrder()
{
    QCOMPARE(FT_SetTimeouts(handle, 2000, 500), FT_STATUS(FT_OK));
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(collector->frames.size() >= 2, 20000);
    stopWorker();

    const auto log = board->hostLog();
    QVERIFY(log.size() >= 8);
    QCOMPARE(log.size() % 4, std::size_t(0));
    for (std::size_t i = 0; i < log.size(); ++i)
        QCOMPARE(written(log[i]), chunkRequest(int(i % 4)));
    QCOMPARE(collector->frames.size(), log.size() / 4);
    QCOMPARE(board->portSettings().readTimeoutMs, 1000u);
    QCOMPARE(board->portSettings().writeTimeoutMs, 1000u);
}

void TestVideoThread::verbatimFrame_data()
{
    QTest::addColumn<int>("maxPiece");
    QTest::newRow("whole chunks") << 0;
    QTest::newRow("pieces up to 4 KB") << 4096;
    QTest::newRow("pieces up to 61 bytes") << 61;
}

void TestVideoThread::verbatimFrame()
{
    QFETCH(int, maxPiece);
    board->setDeliveryPieces(std::size_t(maxPiece), 12345);
    const auto first = boardsim::renderScene(0xC0FFEE, 1, 166);
    const auto second = boardsim::renderScene(0xC0FFEE, 2, 166);
    board->pushFrame(first);
    board->pushFrame(second);
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(collector->frames.size() >= 2, 30000);
    stopWorker();
    QVERIFY(same(collector->frames[0], defaultDisplay(first)));
    QVERIFY(same(collector->frames[1], defaultDisplay(second)));
    QVERIFY(!same(collector->frames[0], collector->frames[1]));
    // Each emitted frame owns its buffer.
    QVERIFY(collector->frames[0].data != collector->frames[1].data);
}

void TestVideoThread::extraBytesRecovered_data()
{
    QTest::addColumn<int>("extra");
    QTest::newRow("a few bytes") << 100;
    QTest::newRow("a whole chunk") << 65536;
    QTest::newRow("more than the read buffer") << 200000;
}

void TestVideoThread::extraBytesRecovered()
{
    QFETCH(int, extra);
    // Frames told apart by a per-frame offset in every pixel.
    std::vector<std::vector<uint8_t>> pushed;
    for (uint32_t f = 0; f < 4; ++f) {
        std::vector<uint32_t> pixels(kFramePixels);
        for (int i = 0; i < kFramePixels; ++i)
            pixels[i] = 4096 + 50000 * f + uint32_t(i) * 7;
        pushed.push_back(rawFrame(pixels));
        board->pushFrame(pushed.back());
    }
    board->injectExtraBytesAfterNextChunk(std::size_t(extra));
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(collector->frames.size() >= 3, 20000);
    stopWorker();

    // The first frame's chunk 0 came with extra bytes: it was given up and
    // asked for again; the frames after it are whole and in order.
    QVERIFY(same(collector->frames[0], defaultDisplay(pushed[1])));
    QVERIFY(same(collector->frames[1], defaultDisplay(pushed[2])));
    QVERIFY(same(collector->frames[2], defaultDisplay(pushed[3])));
    const auto log = board->hostLog();
    QVERIFY(log.size() >= 5);
    const int expected[] = {0, 0, 1, 2, 3};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(written(log[i]), chunkRequest(expected[i]));
}

void TestVideoThread::turnAndMirror_data()
{
    QTest::addColumn<int>("quarterTurns");
    QTest::addColumn<int>("flipCode");
    for (int flip : {0, 1, 2})
        for (int turns = 0; turns < 4; ++turns)
            QTest::addRow("%d degrees, flip code %d", turns * 90, flip) << turns << flip;
}

void TestVideoThread::turnAndMirror()
{
    QFETCH(int, quarterTurns);
    QFETCH(int, flipCode);
    // References 0 and 255 make the gray level the raw value itself.
    worker->setminrange(0);
    worker->setmaxrange(255);
    auto src = [](int r, int c) { return 1 + (r * 3 + c * 5) % 250; };
    std::vector<uint32_t> pixels(kFramePixels);
    for (int i = 0; i < kFramePixels; ++i)
        pixels[i] = uint32_t(src(i / 256, i % 256));
    board->pushFrame(rawFrame(pixels));
    for (int i = 0; i < quarterTurns; ++i)
        runningDataManagerVT->AddRotationAngle();
    runningDataManagerVT->setFlipCode(flipCode);

    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(!collector->frames.empty(), 20000);
    stopWorker();

    // Clockwise about (128, 128); what comes from outside the frame is 0.
    auto turned = [&](int r, int c) {
        switch (quarterTurns) {
        case 1:
            return c == 0 ? 0 : src(256 - c, r);
        case 2:
            return r == 0 || c == 0 ? 0 : src(256 - r, 256 - c);
        case 3:
            return r == 0 ? 0 : src(c, 256 - r);
        default:
            return src(r, c);
        }
    };
    const cv::Mat& out = collector->frames[0];
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            const int expected = flipCode == 1 ? turned(r, 255 - c) : turned(r, c);
            if (out.at<uchar>(r, c) != expected)
                QFAIL(qPrintable(QString("row %1, column %2: %3, expected %4")
                                     .arg(r)
                                     .arg(c)
                                     .arg(out.at<uchar>(r, c))
                                     .arg(expected)));
        }
}

void TestVideoThread::selectedPixelCurrent_data()
{
    QTest::addColumn<int>("quarterTurns");
    QTest::addColumn<int>("flipCode");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("reported");
    QTest::newRow("upright") << 0 << 0 << 300 << true;
    QTest::newRow("turned 90 and mirrored") << 1 << 1 << 300 << true;
    QTest::newRow("turned 180") << 2 << 0 << 300 << true;
    QTest::newRow("last pixel") << 3 << 1 << 65535 << true;
    QTest::newRow("index past the frame") << 0 << 0 << 65536 << false;
    QTest::newRow("negative index") << 0 << 0 << -1 << false;
}

void TestVideoThread::selectedPixelCurrent()
{
    QFETCH(int, quarterTurns);
    QFETCH(int, flipCode);
    QFETCH(int, index);
    QFETCH(bool, reported);
    std::vector<uint32_t> pixels(kFramePixels, 4096);
    if (reported)
        pixels[std::size_t(index)] = kFullScaleRaw;
    board->pushFrame(rawFrame(pixels));
    board->pushFrame(rawFrame(std::vector<uint32_t>(kFramePixels, 4097)));
    for (int i = 0; i < quarterTurns; ++i)
        runningDataManagerVT->AddRotationAngle();
    runningDataManagerVT->setFlipCode(flipCode);
    runningDataManagerVT->setShowIndex(index);
    runningDataManagerVT->setShowState(true);

    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(collector->frames.size() >= 2, 20000);
    stopWorker();
    if (!reported) {
        QVERIFY(collector->currents.isEmpty());
        return;
    }
    QCOMPARE(collector->currents.size(), int(collector->frames.size()));
    QCOMPARE(collector->currents[0], 150.6024);
    QCOMPARE(collector->currents[1], 0.0001);
    QCOMPARE(collector->events.mid(0, 4), QStringList({"frame", "current", "frame", "current"}));
}

void TestVideoThread::lostBoard_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("afterFrames");
    QTest::newRow("data queued") << false << false;
    QTest::newRow("nothing queued") << true << false;
    QTest::newRow("during capture") << false << true;
}

void TestVideoThread::lostBoard()
{
    QFETCH(bool, silent);
    QFETCH(bool, afterFrames);
    board->setSilent(silent);
    StdoutCapture out;
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    if (afterFrames) {
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(collector->frames.size() >= 2, 20000);
        board->setReadsFail(true);
    } else {
        board->setReadsFail(true);
        worker->start();
    }
    QTRY_COMPARE_WITH_TIMEOUT(collector->disconnects, 1, 20000);
    QVERIFY(worker->wait(20000));
    const QDateTime after = QDateTime::currentDateTime();
    const std::size_t framesSeen = collector->frames.size();
    QCoreApplication::processEvents();
    QCOMPARE(collector->disconnects, 1);
    QCOMPARE(collector->frames.size(), framesSeen);
    QVERIFY(!worker->running);
    QCOMPARE(collector->events.last(), QString("disconnect"));

    // Path and line of the statement that writes the line, local time, GBK text.
    const QString source = QFileInfo(QStringLiteral(__FILE__))
                               .dir()
                               .absoluteFilePath("../../acquisition/Tessary_VideoThread.cpp");
    QFile file(source);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    int lineNumber = 0;
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].contains("__LINE__"))
            lineNumber = i + 1;
    QVERIFY(lineNumber > 0);

    const QByteArray text = QByteArray::fromStdString(out.text());
    const QByteArray prefix = QFileInfo(source).canonicalFilePath().toUtf8() + ":" +
                              QByteArray::number(lineNumber) + " [";
    const QByteArray suffix = "] USB\xB6\xCF\xBF\xAA\n";
    QVERIFY2(text.startsWith(prefix), text.constData());
    QVERIFY2(text.endsWith(suffix), text.constData());
    const QByteArray stamp = text.mid(prefix.size(), text.size() - prefix.size() - suffix.size());
    QVERIFY2(
        QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(stamp).hasMatch(),
        stamp.constData());
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(stamp), "yyyy-MM-dd HH:mm:ss");
    QVERIFY(when >= before && when <= after);
}

void TestVideoThread::silentBoardDoesNotHoldStop()
{
    board->setSilent(true);
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(!board->hostLog().empty(), 20000);

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        worker->stop();
        stopped = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(stopped.load(), 60000);
    stopper.join();
    QVERIFY(worker->isFinished());
    QCoreApplication::processEvents();
    QVERIFY(collector->events.isEmpty());
}

void TestVideoThread::stopBeforeRunBegins()
{
    // started() runs in the new thread just before run(): clearing the flag
    // there is a stop that lands after start() but before the loop begins.
    connect(
        worker.get(), &QThread::started, worker.get(), [this] { worker->running = false; },
        Qt::DirectConnection);
    worker->start();
    QVERIFY(worker->wait(20000));
    stopWorker();
    QVERIFY(!worker->running);
    QVERIFY(board->hostLog().empty());
    QVERIFY(collector->events.isEmpty());
}

void TestVideoThread::stopMidFrameFinishesTheFrame()
{
    // Paced frames: the second frame's chunk 0 comes a frame period after
    // the first, so a stop right after its request lands inside that frame.
    board->setPaced(true);
    board->setDeliveryPieces(48, 99);
    const auto scene = boardsim::renderScene(0xBEEF, 0, 166);
    for (int i = 0; i < 4; ++i)
        board->pushFrame(scene);
    worker->start();
    // Watched from a thread of its own, so the stop follows the request at once.
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (board->hostLog().size() < 5 && std::chrono::steady_clock::now() < deadline) {
        }
        worker->stop();
        stopped = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(stopped.load(), 60000);
    stopper.join();
    QCoreApplication::processEvents();

    const auto log = board->hostLog();
    QCOMPARE(log.size(), std::size_t(8));
    QCOMPARE(written(log.back()), chunkRequest(3));
    QCOMPARE(collector->frames.size(), std::size_t(2));
    QVERIFY(same(collector->frames.back(), defaultDisplay(scene)));
}

void TestVideoThread::calibrationCounting_data()
{
    QTest::addColumn<bool>("bright");
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QList<int>>("flagAfterFrames");
    QTest::newRow("bright only") << true << false << QList<int>{9};
    QTest::newRow("dark only") << false << true << QList<int>{9};
    // One counter: it steps twice per frame, so dark ends on frame 5 and
    // bright ten frames later.
    QTest::newRow("both pending") << true << true << QList<int>{4, 14};
}

void TestVideoThread::calibrationCounting()
{
    QFETCH(bool, bright);
    QFETCH(bool, dark);
    QFETCH(QList<int>, flagAfterFrames);
    worker->isSetMax = bright;
    worker->isSetMin = dark;
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(collector->frames.size() >= 16, 60000);
    stopWorker();
    QCOMPARE(collector->flagAfterFrames, flagAfterFrames);
    QVERIFY(!worker->isSetMax);
    QVERIFY(!worker->isSetMin);
    QCOMPARE(runningDataManagerVT->getMaxFlag(), bright);
    QCOMPARE(runningDataManagerVT->getMinFlag(), dark);
}

QTEST_GUILESS_MAIN(TestVideoThread)
#include "test_videothread.moc"

// The worker started, stopped and restarted over and over while this thread
// keeps writing everything the main window writes during capture. Meant to
// run under ThreadSanitizer (-DTESSARY_TSAN=ON), which fails the run on a race.
#include "Board.h"
#include "Bus.h"
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "Tessary_VideoThread.h"
#include "d2xx.h"

#include <QtTest>

#include <atomic>
#include <memory>

extern RunningDataManager* runningDataManagerVT;

class TestWorkerThreads : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void restartUnderParameterWrites();

private:
    std::shared_ptr<boardsim::Board> board;
    FT_HANDLE handle = nullptr;
};

void TestWorkerThreads::initTestCase()
{
    qRegisterMetaType<Mat>("Mat");
    boardsim::Bus::instance().resetToEnvironment();
    board = boardsim::Bus::instance().board("TS256A01");
    QVERIFY(board);
    QCOMPARE(FT_OpenEx(const_cast<char*>("TS256A01"), FT_OPEN_BY_SERIAL_NUMBER, &handle),
             FT_STATUS(FT_OK));
    board->setPaced(false);
}

void TestWorkerThreads::cleanupTestCase()
{
    FT_Close(handle);
    resetRunState();
}

void TestWorkerThreads::restartUnderParameterWrites()
{
    Tessary_VideoThread worker;
    // Direct connections: the slots run in the worker and only count. Queued
    // delivery is Qt's own hand-over, which the sanitizer cannot see inside
    // the uninstrumented Qt library; what is checked here is the worker.
    std::atomic<int> frames{0}, currents{0}, flags{0}, disconnects{0};
    connect(
        &worker, &Tessary_VideoThread::sendMatToUI, this,
        [&](const Mat& m) {
            if (m.rows == 256 && m.cols == 256 && m.type() == CV_8UC1)
                ++frames;
        },
        Qt::DirectConnection);
    connect(
        &worker, &Tessary_VideoThread::labelCurrentShow, this, [&](double) { ++currents; },
        Qt::DirectConnection);
    connect(
        &worker, &Tessary_VideoThread::setFlag, this, [&] { ++flags; }, Qt::DirectConnection);
    connect(
        &worker, &Tessary_VideoThread::disConnect, this, [&] { ++disconnects; },
        Qt::DirectConnection);

    RunningDataManager* rdm = runningDataManagerVT;
    int round = 0;
    // One round of what the GUI thread writes while capture runs.
    auto write = [&] {
        ++round;
        worker.integrationTime = 100 + round % 200;
        worker.fullScaleCharge = 1 + round % 50;
        worker.frameRate = 1 + round % 9;
        worker.saveNumber = round % 7;
        worker.isFft = round % 5 == 0;
        worker.savePath = "/tmp/run" + std::to_string(round);
        if (round % 3 == 0)
            worker.isSetMax = true;
        if (round % 4 == 0)
            worker.isSetMin = true;
        switch (round % 3) {
        case 0:
            worker.setminrange(4096 + round);
            break;
        case 1:
            worker.setmaxrange(0xFFFFF - round);
            break;
        default:
            worker.reset();
            break;
        }
        rdm->setFlipCode(round % 2);
        rdm->AddRotationAngle();
        rdm->setShowState(round % 4 != 1);
        rdm->setShowIndex(round % 3 == 0 ? 70000 : round * 37 % 65536);
        rdm->setMaxFlag(false);
        rdm->setMinFlag(false);
    };

    constexpr int kCycles = 24;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        worker.ftHandle = handle;
        worker.ftStatus = FT_OK;
        const int before = frames.load();
        worker.start();
        if (cycle % 3 != 2) {
            // Let frames through while the parameters keep changing; now and
            // then long enough for a calibration to complete.
            const int wanted = cycle % 4 == 0 ? 12 : 1 + cycle % 2;
            QTRY_VERIFY_WITH_TIMEOUT((write(), frames.load() >= before + wanted), 120000);
        } else {
            write(); // stop at once, possibly before run() begins
        }
        worker.stop();
        QVERIFY(worker.isFinished());
        write();
    }
    QCOMPARE(disconnects.load(), 0);
    QVERIFY(frames >= kCycles / 3 * 2);
    QVERIFY(currents > 0);
    QVERIFY(flags > 0);
}

QTEST_GUILESS_MAIN(TestWorkerThreads)
#include "test_worker_threads.moc"

// The worker started, stopped and restarted over and over while this thread
// keeps writing everything the main window writes during capture. Meant to
// run under ThreadSanitizer (-DTESSARY_TSAN=ON), which fails the run on a race.
#include "Bus.h"
#include "RunningDataManager.h"
#include "Tessary_VideoThread.h"

#include <QtTest>

class TestWorkerThreads : public QObject
{
    Q_OBJECT
private slots:
    void restartUnderParameterWrites()
    {
        boardsim::Bus::instance().resetToEnvironment();
        FT_HANDLE handle = nullptr;
        QCOMPARE(FT_OpenEx(const_cast<char*>("TS256A01"), FT_OPEN_BY_SERIAL_NUMBER, &handle),
                 FT_STATUS(FT_OK));
        boardsim::Bus::instance().board("TS256A01")->setPaced(false);

        using T = Tessary_VideoThread;
        T worker;
        worker.ftHandle = handle;
        // Direct connections (no context object): the slots run in the worker
        // and only count. Queued delivery is Qt's own hand-over, which the
        // sanitizer cannot see inside the uninstrumented Qt library; what is
        // checked here is the worker.
        std::atomic<int> frames{0}, currents{0}, flags{0}, disconnects{0};
        connect(&worker, &T::sendMatToUI, [&] { ++frames; });
        connect(&worker, &T::labelCurrentShow, [&] { ++currents; });
        connect(&worker, &T::setFlag, [&] { ++flags; });
        connect(&worker, &T::disConnect, [&] { ++disconnects; });

        RunningDataManager* rdm = RunningDataManager::instance();
        int round = 0;
        // One round of what the GUI thread writes while capture runs.
        auto write = [&] {
            ++round;
            worker.integrationTime = 100 + round % 200;
            worker.fullScaleCharge = 1 + round % 50;
            worker.isFft = round % 5 == 0;
            if (round % 4 == 0)
                worker.isSetMin = true;
            if (round % 3 == 0) {
                worker.isSetMax = true;
                worker.setminrange(4096 + round);
            } else if (round % 3 == 1)
                worker.setmaxrange(0xFFFFF - round);
            else
                worker.reset();
            rdm->setFlipCode(round % 2);
            rdm->AddRotationAngle();
            rdm->setShowState(round % 4 != 1);
            rdm->setShowIndex(round % 3 == 0 ? 70000 : round * 37 % 65536);
            rdm->setMaxFlag(false);
            rdm->setMinFlag(false);
        };

        for (int cycle = 0; cycle < 24; ++cycle) {
            const int before = frames.load();
            worker.start();
            // Frames while the parameters keep changing, now and then enough
            // for a calibration to complete; every third cycle stops at once,
            // possibly before run() begins.
            const int wanted = cycle % 3 == 2 ? 0 : cycle % 4 == 0 ? 12 : 1 + cycle % 2;
            QTRY_VERIFY_WITH_TIMEOUT((write(), frames.load() >= before + wanted), 120000);
            worker.stop();
            QVERIFY(worker.isFinished());
            write();
        }
        QCOMPARE(disconnects.load(), 0);
        QVERIFY(currents > 0);
        QVERIFY(flags > 0);
    }
};

QTEST_GUILESS_MAIN(TestWorkerThreads)
#include "test_worker_threads.moc"

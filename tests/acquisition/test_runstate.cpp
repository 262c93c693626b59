#include "RunningDataManager.h"

#include <QSignalSpy>
#include <QtTest>

extern RunningDataManager* runningDataManagerVT;
extern RunningDataManager* runningState;
extern RunningDataManager* runningDataManager;

class TestRunState : public QObject
{
    Q_OBJECT
private slots:
    void oneObjectBehindAllGlobals()
    {
        RunningDataManager* manager = RunningDataManager::instance();
        QVERIFY(manager);
        QCOMPARE(RunningDataManager::instance(), manager);
        QCOMPARE(runningDataManagerVT, manager);
        QCOMPARE(runningState, manager);
        QCOMPARE(runningDataManager, manager);
    }

    void initialValues()
    {
        RunningDataManager fresh;
        QCOMPARE(fresh.getSaveName(), QString("name"));
        QCOMPARE(fresh.getRunningState(), false);
        QCOMPARE(fresh.getSaveState(), false);
        QCOMPARE(fresh.getShowState(), false);
        QCOMPARE(fresh.getSaveProgress(), 0);
        QCOMPARE(fresh.getShowIndex(), 0);
        QCOMPARE(fresh.getMaxFlag(), false);
        QCOMPARE(fresh.getMinFlag(), false);
        QCOMPARE(fresh.getFlipCode(), 0);
        QCOMPARE(fresh.getRotationAngle(), 0);
    }

    void runningStateSignalsOnlyChanges()
    {
        RunningDataManager manager;
        QSignalSpy spy(&manager, &RunningDataManager::sharedVariableChanged);
        manager.setRunningState(true);
        manager.setRunningState(true);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 1);
        QVERIFY(manager.getRunningState());
        manager.setRunningState(false);
        manager.setRunningState(false);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toInt(), 0);
    }

    void rotationStepsAndWraps()
    {
        RunningDataManager manager;
        QList<int> seen;
        for (int i = 0; i < 8; ++i) {
            manager.AddRotationAngle();
            seen << manager.getRotationAngle();
        }
        QCOMPARE(seen, (QList<int>{90, 180, 270, 0, 90, 180, 270, 0}));
    }

    void saveNameIsACopy()
    {
        RunningDataManager manager;
        manager.setSaveName("run1");
        QString name = manager.getSaveName();
        name.append("x");
        QCOMPARE(manager.getSaveName(), QString("run1"));
    }

    void concurrentReadersSeeWholeNames()
    {
        RunningDataManager manager;
        std::atomic<bool> done{false};
        std::atomic<int> torn{0};
        QThread* reader = QThread::create([&] {
            while (!done) {
                const QString name = manager.getSaveName();
                if (name != "alpha" && name != "omega-omega" && name != "name")
                    ++torn;
                manager.getRunningState();
            }
        });
        reader->start();
        for (int i = 0; i < 20000; ++i) {
            manager.setSaveName(i % 2 ? "alpha" : "omega-omega");
            manager.setRunningState(i % 3 == 0);
        }
        done = true;
        reader->wait();
        delete reader;
        QCOMPARE(torn.load(), 0);
    }
};

QTEST_GUILESS_MAIN(TestRunState)
#include "test_runstate.moc"

#include "RunningDataManager.h"

#include <QSignalSpy>
#include <QtTest>

class TestRunState : public QObject
{
    Q_OBJECT
private slots:
    void startValues()
    {
        RunningDataManager fresh;
        QCOMPARE(fresh.getSaveName(), QString("name"));
        QVERIFY(!fresh.getRunningState() && !fresh.getShowState() && !fresh.getSaveState());
        QVERIFY(!fresh.getMaxFlag() && !fresh.getMinFlag());
        QCOMPARE(fresh.getRotationAngle(), 0);
    }

    void runningStateSignalsOnlyChanges()
    {
        RunningDataManager manager;
        QSignalSpy spy(&manager, &RunningDataManager::sharedVariableChanged);
        manager.setRunningState(true);
        manager.setRunningState(true);
        manager.setRunningState(false);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toInt(), 1);
        QCOMPARE(spy.at(1).at(0).toInt(), 0);
    }

    void rotationStepsAndWraps()
    {
        RunningDataManager manager;
        QList<int> seen;
        for (int i = 0; i < 5; ++i) {
            manager.AddRotationAngle();
            seen << manager.getRotationAngle();
        }
        QCOMPARE(seen, (QList<int>{90, 180, 270, 0, 90}));
    }
};

QTEST_GUILESS_MAIN(TestRunState)
#include "test_runstate.moc"

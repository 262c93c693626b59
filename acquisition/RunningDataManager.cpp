#include "RunningDataManager.h"

#include <mutex>

RunningDataManager* RunningDataManager::instance()
{
    // Function-local static: constructed once, thread-safely, on first use
    // (static initialisation of whichever unit asks first), destroyed at exit.
    static RunningDataManager manager(nullptr);
    return &manager;
}

RunningDataManager::RunningDataManager(QObject* parent) : QObject(parent), saveName("name") {}

RunningDataManager::~RunningDataManager() = default;

void RunningDataManager::setRunningState(bool value)
{
    const int newValue = value ? 1 : 0;
    if (runningState.exchange(newValue) != newValue)
        emit sharedVariableChanged(newValue);
}

QString RunningDataManager::getSaveName()
{
    std::lock_guard<std::mutex> lock(saveNameMutex);
    return QString(saveName.constData(), saveName.size());
}

void RunningDataManager::setSaveName(const QString& name)
{
    std::lock_guard<std::mutex> lock(saveNameMutex);
    saveName = name;
}

void RunningDataManager::AddRotationAngle()
{
    int angle = rotationAngle.load();
    int next;
    do {
        next = angle + 90;
        if (next >= 360)
            next = 0;
    } while (!rotationAngle.compare_exchange_weak(angle, next));
}

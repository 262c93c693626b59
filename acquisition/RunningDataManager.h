#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <mutex>

// The small values that the main window, the acquisition thread and the
// developer window share. Read and written from both threads, so every value
// is atomic (the name behind a mutex): a frame sees either the old or the new
// value, never a torn one.
class RunningDataManager : public QObject
{
    Q_OBJECT
public:
    static RunningDataManager* instance();
    explicit RunningDataManager(QObject* parent = nullptr);
    ~RunningDataManager() override;

    bool getMaxFlag() const { return maxFlag; }
    void setMaxFlag(bool value) { maxFlag = value; }
    bool getMinFlag() const { return minFlag; }
    void setMinFlag(bool value) { minFlag = value; }

    bool getRunningState() const { return runningState != 0; }
    void setRunningState(bool value);

    bool getSaveState() const { return saveState; }
    void setSaveState(bool value) { saveState = value; }
    bool getShowState() const { return showState; }
    void setShowState(bool value) { showState = value; }
    int getSaveProgress() const { return saveProgress; }
    void setSaveProgress(int value) { saveProgress = value; }
    int getShowIndex() const { return showIndex; }
    void setShowIndex(int value) { showIndex = value; }

    QString getSaveName();
    void setSaveName(const QString& name);

    int getFlipCode() { return flipCode; }
    void setFlipCode(int value) { flipCode = value; }

    void AddRotationAngle();
    int getRotationAngle() { return rotationAngle; }

signals:
    void sharedVariableChanged(int newValue);

private:
    std::atomic<bool> maxFlag{false};
    std::atomic<bool> minFlag{false};
    std::atomic<int> runningState{0};
    std::atomic<bool> saveState{false};
    std::atomic<bool> showState{false};
    std::atomic<int> saveProgress{0};
    std::atomic<int> showIndex{0};
    std::mutex saveNameMutex;
    QString saveName;
    std::atomic<int> flipCode{0};
    std::atomic<int> rotationAngle{0};
};

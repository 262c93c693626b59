#pragma once

#include "Guarded.h"
#include "d2xx.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QThread>
#include <QVector>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Queued signals carry display frames under the registered type name "Mat".
using Mat = cv::Mat;

constexpr int kFrameSide = 256;
constexpr int kFramePixels = kFrameSide * kFrameSide; // 65,536
constexpr int kChunkBytes = 65536;
constexpr int kRawFrameBytes = 4 * kChunkBytes; // 262,144
constexpr uint32_t kZeroLevel = 4096;
constexpr uint32_t kDefaultBright = 0xFFFFF;

// The acquisition worker. The GUI thread writes the request flags and
// parameters at any time while run() reads them once per frame; every such
// field is atomic, the save path is guarded, and the reference arrays are
// only touched under rangeMutex, so a frame never sees a half-filled array.
class Tessary_VideoThread : public QThread
{
    Q_OBJECT
public:
    explicit Tessary_VideoThread(QObject* parent = nullptr);
    ~Tessary_VideoThread() override;

    // Per-pixel arrays, raw-frame order. minRange/maxRange are shared with
    // the GUI thread: hold rangeMutex while reading or writing them.
    uint32_t* minRange;
    uint32_t* maxRange;
    uint32_t* minCalibration;
    uint32_t* maxCalibration;
    double* currentData;
    std::atomic<bool> running{true};
    // Calibration sample store, shared by both kinds: slot s of pixel i is
    // calibSamples[s * kFramePixels + i]. The slot index only ever grows by
    // one and the completing call takes all ten, so a pixel never holds more
    // than one sample per slot: slots below calibIndex are the filled ones.
    // Allocated by the first calibration step.
    int calibIndex = 0;
    std::unique_ptr<uint32_t[]> calibSamples;
    cv::VideoWriter videoWriter;
    std::atomic<bool> isSaveData{false};
    std::atomic<bool> isSavePicture{false};
    std::atomic<bool> isSaveVideo{false};
    std::atomic<bool> isSetMax{false};
    std::atomic<bool> isSetMin{false};
    std::atomic<bool> isFft{false};
    Guarded<std::string> savePath;
    FT_HANDLE ftHandle = nullptr;
    FT_STATUS ftStatus = FT_OK;
    int savedCount = 0;
    std::atomic<int> integrationTime{166};
    std::atomic<int> fullScaleCharge{25};
    std::atomic<int> frameRate{9};
    // Time between the board's frames at its current range (9 frames/s at
    // power-on). The frame reader's patience with a silent board follows it.
    std::atomic<int> boardFramePeriodMs{112};
    std::atomic<int> saveNumber{0};

    // The save being collected. Taken over from the request fields above at
    // the first frame after they were raised, and held by this thread alone
    // until the save ends, so its tables, pictures and video hold the same
    // frames under the same name, whatever the window asks for meanwhile.
    struct SaveJob
    {
        bool active = false;
        std::string path;
        QString name;
        int count = 0;
        bool pictures = false;
        bool video = false;
        bool failed = false; // something asked for was not stored
        int failedPictures = 0;
        QString firstFailedPicture{};
    };
    SaveJob saveJob;
    // Frames kept for the data export, oldest first: frame f's raw bytes
    // (kRawFrameBytes) and, at the same position, its filtered gray levels
    // (kFramePixels bytes) or null when the ripple filter was off while it
    // was kept. Both point into stores reserved for the whole save and
    // released in one piece, so the memory leaves the process with the save.
    std::vector<unsigned char*> savedFrames;
    std::vector<uint8_t*> savedGrayData;
    std::unique_ptr<unsigned char[]> savedFrameStore;
    std::unique_ptr<uint8_t[]> savedGrayStore;

    // How the last save ended, for the window's report: whether anything
    // asked for was not stored, and how many frames its tables hold.
    std::atomic<bool> saveFailed{false};
    std::atomic<int> saveStoredFrames{0};
    // Whether the files of the last bright and dark calibration could not be
    // stored (the references apply all the same).
    std::atomic<bool> maxNotStored{false};
    std::atomic<bool> minNotStored{false};

    // A standard mutex rather than QMutex: its locking is visible to
    // ThreadSanitizer, which cannot look inside the Qt library.
    mutable std::mutex rangeMutex;

    // Starts the worker. The run flag is raised here rather than in run(),
    // so a stop() that lands before run() begins is not undone.
    void start(Priority priority = InheritPriority);
    void stop();
    void reset();
    void setminrange(int value);
    void setmaxrange(int value);

    cv::Mat integratedData(unsigned char* chunk0, unsigned char* chunk1, unsigned char* chunk2,
                           unsigned char* chunk3);
    void setMax(unsigned char* chunk0, unsigned char* chunk1, unsigned char* chunk2,
                unsigned char* chunk3);
    void setMin(unsigned char* chunk0, unsigned char* chunk1, unsigned char* chunk2,
                unsigned char* chunk3);
    void removeRipple(cv::Mat& image);
    void save();

    // Kept-frame hook of the conversion: takes over a requested save at its
    // first frame, then holds each frame (and its filtered gray levels) and
    // reports progress. `filtered` is the display frame when the filter
    // made it, else empty.
    void keepFrame(unsigned char* chunk0, unsigned char* chunk1, unsigned char* chunk2,
                   unsigned char* chunk3, const cv::Mat& filtered);
    // Save step of the frame loop on the shown frame: its picture and video
    // frame, then the end of the save once it has all its frames.
    void recordFrame(cv::Mat& frame);
    // Ends the save in progress, complete or not: writes the tables of the
    // frames kept (named by their number), finalises the video, reports.
    void endSave();

signals:
    void sendMatToUI(Mat mat);
    void labelCurrentShow(double current);
    void savePicture(QImage Qtemp);
    void saveDialog();
    void disConnect();
    void setFlag();
    // Something the user asked to store was not stored (file, picture, video).
    void storeFailed(QString text);
    // Sent just before each labelCurrentShow: the raw-frame index of the
    // sensor pixel that current is of, -1 on the border a turn leaves empty.
    void labelPixelShow(int pixel);

protected:
    void run() override;

private:
    // One calibration step of either kind into `range` (under rangeMutex)
    // and `copy`, writing the two files when the tenth sample is in.
    void calibrationStep(unsigned char* const chunks[4], uint32_t* range, uint32_t* copy,
                         std::atomic<bool>& notStored, const QString& rawFile,
                         const QString& currentFile);
    // Writes one calibration table, put by putText into a buffer once the
    // file is open; reports "gg" and storeFailed, and is false, when it was
    // not stored.
    bool storeCalibrationFile(const QString& name, const std::function<char*(char*)>& putText);
    // Gives up the video of the save after a failure, keeping the live
    // picture, the pictures, the tables and what was recorded.
    void giveUpVideo(const QString& text);
};

// Steering the acquisition worker: capture start/stop, save requests,
// calibration requests, ripple filter, display ranges, mirror and rotation.
#include "CalibrationFile.h"
#include "Developer_Mode.h"
#include "FrameCodec.h"
#include "RunningDataManager.h"
#include "conversion.h"
#include "savechecks.h"
#include "tessary_interface.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <mutex>

namespace {

// Frames per save, by the index of the save-count box.
const int kSaveCounts[] = {1, 5, 30, 50, 100, 500, 1000};
// Save progress once the files have been written.
constexpr int kSaveWritten = -100;

using framecodec::showPlainBox;

// Saving and calibrating need a board that is capturing; says so otherwise.
bool refusedWithoutCapture()
{
    if (!isConnected) {
        showPlainBox("No Device Connected");
        return true;
    }
    if (!isRuning) {
        showPlainBox("Please initiate capture");
        return true;
    }
    return false;
}

// The worker's integration time for a save, a calibration or the filter: the
// developer window's INT0, or 180 us when that field gives nothing.
int integrationTimeForWorker()
{
    const int int0 = developer_mode->getINT0();
    return int0 != 0 ? int0 : 180;
}

// Current in nA that a display-range value stands for.
QString rangeLabel(int value, int fullScaleCharge, int integrationTime)
{
    return QString::number(pixelCurrent(uint32_t(value), fullScaleCharge, integrationTime), 'g', 6);
}

// Loads one raw calibration file into a reference array of the worker; true
// when it did. A file that cannot be read, holds a part that is not a number,
// or holds no value, is reported and leaves the array as it is.
bool loadReference(const QString& path, Tessary_VideoThread& worker, uint32_t* reference)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        showPlainBox("Could not read " + path);
        return false;
    }
    int64_t badLine = 0;
    const std::vector<uint32_t> values = readCalibration(file, &badLine);
    if (badLine > 0) {
        showPlainBox("Not a number in " + path + ", line " + QString::number(badLine));
        return false;
    }
    if (values.empty()) {
        showPlainBox("No calibration values in " + path);
        return false;
    }
    // Parsed first, copied under the lock: a frame never sees a half-loaded array.
    std::lock_guard<std::mutex> lock(worker.rangeMutex);
    std::copy(values.begin(), values.end(), reference);
    return true;
}

const char* const kSaveInProgress = "A save is in progress, please wait";

// Full-ON (bright) and Full-OFF (dark) requests.
void requestCalibration(Tessary_Interface& window, bool bright)
{
    if (refusedWithoutCapture())
        return;
    showPlainBox(bright ? "Ready to get the brightest frame." : "Ready to get the darkest frame.");
    Tessary_VideoThread& worker = *window.videoThread;
    worker.integrationTime = integrationTimeForWorker();
    isCalibration = true;
    if (bright)
        worker.isSetMax = true;
    else
        worker.isSetMin = true;
    window.threadSetMaxMinDialog();
    window.calibrationButton->setText("close Calibration");
    window.ui.isCalibration->setStyleSheet(kLampRunning);
}

} // namespace

void Tessary_Interface::handle2thread(bool start)
{
    if (!start) {
        videoThread->stop();
        displayOff = true;
        return;
    }
    videoThread->ftHandle = fthandle1;
    videoThread->ftStatus = status;
    connect(videoThread, SIGNAL(sendMatToUI(Mat)), this, SLOT(ShowUILabel(Mat)),
            Qt::UniqueConnection);
    connect(videoThread, SIGNAL(savePicture(QImage)), this, SLOT(savePicture(QImage)),
            Qt::UniqueConnection);
    connect(videoThread, SIGNAL(disConnect()), this, SLOT(disConnectReact()), Qt::UniqueConnection);
    connect(videoThread, SIGNAL(labelCurrentShow(double)), this, SLOT(labelCurrentShow(double)),
            Qt::UniqueConnection);
    connect(videoThread, &Tessary_VideoThread::storeFailed, this, &Tessary_Interface::onStoreFailed,
            Qt::UniqueConnection);
    // Queued to this window from the one worker, in emission order: each
    // pixel reaches the window just before its current.
    connect(videoThread, &Tessary_VideoThread::labelPixelShow, this,
            &Tessary_Interface::labelPixelShow, Qt::UniqueConnection);
    displayOff = false;
    videoThread->start(QThread::InheritPriority);
}

void Tessary_Interface::on_Capture_click()
{
    if (!isConnected) {
        showPlainBox("No Device Connected");
        return;
    }
    if (!isRuning) {
        batteryTimer.stop();
        if (ui.pushButton_2->isEnabled()) {
            handle2thread(true);
            ui.pushButton_2->setEnabled(false);
            QTimer::singleShot(1000, this, [this] { ui.pushButton_2->setEnabled(true); });
        }
        ui.isRunning->setStyleSheet(kLampRunning);
        ui.label_Running->setText("Running");
        ui.pushButton_2->setText("Stop");
        isRuning = true;
        runningDataManager->setRunningState(true);
        return;
    }

    if (ui.pushButton_2->isEnabled()) {
        handle2thread(false);
        ui.pushButton_2->setEnabled(false);
        QTimer::singleShot(1000, this, [this] { ui.pushButton_2->setEnabled(true); });
    }
    SystemReset();
    showCaptureStopped();
    batteryTimer.start();
}

void Tessary_Interface::on_Mirror_click()
{
    flipCode = !flipCode;
    runningDataManager->setFlipCode(flipCode);
}

void Tessary_Interface::on_RotateClick()
{
    runningDataManager->AddRotationAngle();
}

void Tessary_Interface::on_Save_click()
{
    if (refusedWithoutCapture())
        return;
    if (runningDataManager->getSaveState()) {
        showPlainBox(kSaveInProgress);
        return;
    }
    ui.savelayout->show();
}

void Tessary_Interface::on_Save_layout_dismiss_click()
{
    ui.savelayout->hide();
}

void Tessary_Interface::on_Choice_Path_click()
{
    videoThread->stop();
    displayOff = true;
    const QString chosen = QFileDialog::getExistingDirectory(nullptr, "Select Directory", QString(),
                                                             QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) {
        saveDirectory = chosen;
        ui.lineEdit_savepath->setText(saveDirectory);
    } else {
        // A cancelled choice keeps the directory that the path field still shows.
        showPlainBox("Please select a valid path");
    }
    handle2thread(true);
}

void Tessary_Interface::on_Save_confirm_click()
{
    const QString field = ui.lineEdit_savepath->text();
    const QString name = ui.lineEdit_savename->text();
    if (field.isEmpty() || name.isEmpty()) {
        showPlainBox("Please select a valid path");
        return;
    }
    // One save at a time: its files, its name and its count stay its own.
    if (runningDataManager->getSaveState()) {
        showPlainBox(kSaveInProgress);
        return;
    }
    // The name becomes part of file names: it must not lead out of the folder.
    if (name.contains('/') || name.contains('\\')) {
        showPlainBox("Please enter a save name without / or \\");
        return;
    }
    // The save goes to the folder the field shows, typed or chosen.
    if (!isSaveFolder(field)) {
        showPlainBox("Please select a valid path");
        return;
    }
    const QString directory = QDir(field).absolutePath();
    const bool pictures = ui.checkBox_Picture->isChecked();
    if (!saveFilesCanBeMade(directory, name, pictures)) {
        showPlainBox("Please enter a shorter save name or select another path");
        return;
    }
    if (!earlierSaveReplaced(directory, name))
        return;
    saveDirectory = directory;
    videoThread->savePath = directory.toUtf8().toStdString();
    videoThread->integrationTime = integrationTimeForWorker();
    runningDataManager->setSaveName(name);
    connect(videoThread, SIGNAL(saveDialog()), this, SLOT(threadSaveDialog()),
            Qt::UniqueConnection);

    const int index = ui.comboBox_saveFrame->currentIndex();
    if (index >= 0 && index < int(std::size(kSaveCounts))) {
        saveFrame = kSaveCounts[index];
        videoThread->saveNumber = saveFrame;
    }
    // Marked running before the worker can see the request: the worker
    // clears the mark when the save ends, which may be at once.
    runningDataManager->setSaveState(true);
    // Every save keeps the raw frames for the data tables, ticked or not. The
    // data flag goes last: the worker takes the request over once it sees it.
    videoThread->isSavePicture = pictures;
    videoThread->isSaveVideo = ui.checkBox_Video->isChecked();
    videoThread->isSaveData = true;

    ui.savelayout->hide();
    ui.widget_10->show();
}

void Tessary_Interface::threadSaveDialog()
{
    const int progress = runningDataManager->getSaveProgress();
    double width = progress * 140.0 / saveFrame;
    ui.pushButton_max->setEnabled(false);
    ui.pushButton_low->setEnabled(false);
    if (progress == saveFrame) {
        ui.label_save->setText("Export Data..Please wait");
    } else if (progress == kSaveWritten) {
        // A file that could not be stored has already been named in a box.
        const int stored = videoThread->saveStoredFrames;
        const QString outcome =
            videoThread->saveFailed ? QString(" save failed")
            : stored < saveFrame ? QString(" save stopped, %1/%2 frames").arg(stored).arg(saveFrame)
                                 : QString(" save success");
        ui.label_save->setText(QTime::currentTime().toString("h:mm:ss") + outcome);
        ui.pushButton_max->setEnabled(true);
        ui.pushButton_low->setEnabled(true);
        disconnect(videoThread, SIGNAL(saveDialog()), this, SLOT(threadSaveDialog()));
        // The reports before may have been read after the end: the end sets
        // the bar to the share of frames stored.
        ui.widget_11->setFixedWidth(int(std::min(stored, saveFrame) * 140.0 / saveFrame));
        return;
    } else {
        ui.label_save->setText(QString::number(100.0 * progress / saveFrame, 'g', 6) + "%");
    }
    if (width > 0 && width <= 140)
        ui.widget_11->setFixedWidth(int(width));
}

void Tessary_Interface::UpdateSaveStatus()
{
    ui.label_save->setText(QString::number(runningDataManager->getSaveProgress()));
}

void Tessary_Interface::on_GetMax()
{
    requestCalibration(*this, true);
}

void Tessary_Interface::on_GetMin()
{
    requestCalibration(*this, false);
}

void Tessary_Interface::threadSetMaxMinDialog()
{
    // The references apply even when their files could not be stored.
    if (runningDataManager->getMaxFlag()) {
        ui.label_save->setText(videoThread->maxNotStored ? "Full-On set, files not stored"
                                                         : "Full-On set success");
        runningDataManager->setMaxFlag(false);
    }
    if (runningDataManager->getMinFlag()) {
        ui.label_save->setText(videoThread->minNotStored ? "Full-Off set, files not stored"
                                                         : "Full-Off set success");
        runningDataManager->setMinFlag(false);
    }
}

void Tessary_Interface::on_SetFft()
{
    videoThread->integrationTime = integrationTimeForWorker();
    fftButton->setText(videoThread->isFft ? "open FFT" : "close FFT");
    videoThread->isFft = !videoThread->isFft;
    threadSetMaxMinDialog();
}

void Tessary_Interface::on_intpcClick()
{
    videoThread->integrationTime = ui.lineEdit_2->text().toInt();
    videoThread->fullScaleCharge = ui.lineEdit->text().toInt();
}

void Tessary_Interface::updateMaxRange(int value)
{
    videoThread->setmaxrange(value);
    ui.label_max->setText(rangeLabel(value, fullScaleCharge, integrationTime));
}

void Tessary_Interface::updateMinRange(int value)
{
    videoThread->setminrange(value);
    ui.label_min->setText(rangeLabel(value, fullScaleCharge, integrationTime));
}

void Tessary_Interface::on_Calibration_click()
{
    if (isCalibration) {
        videoThread->reset();
        isCalibration = false;
        calibrationButton->setText("open Calibration");
        ui.isCalibration->setStyleSheet(kLampStopped);
        return;
    }
    const bool bright =
        loadReference("Calibration/ON_calibration.csv", *videoThread, videoThread->maxRange);
    const bool dark =
        loadReference("Calibration/OFF_calibration.csv", *videoThread, videoThread->minRange);
    // Nothing loaded: the switch stays off, as the references do.
    if (!bright && !dark)
        return;
    isCalibration = true;
    calibrationButton->setText("close Calibration");
    ui.isCalibration->setStyleSheet(kLampRunning);
}

void Tessary_Interface::savePicture(QImage Qtemp)
{
    on_Capture_click();
    const QString name =
        QFileDialog::getSaveFileName(nullptr, "Save Image", QString(), "Images (*.png *.jpg)");
    if (name.isEmpty())
        qDebug() << "Error: Invalid save path.";
    else if (Qtemp.save(name))
        qDebug() << "Image saved successfully.";
    else
        qDebug() << "Error: Failed to save the image.";
    videoThread->isSavePicture = false;
}

void Tessary_Interface::onStoreFailed(QString text)
{
    showPlainBox(text);
}

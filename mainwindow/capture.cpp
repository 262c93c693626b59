// Steering the acquisition worker: capture start/stop, save requests,
// calibration requests, ripple filter, display ranges, mirror and rotation.
#include "Developer_Mode.h"
#include "RunningDataManager.h"
#include "tessary_interface.h"

#include <QMessageBox>
#include <QTimer>

namespace {

const char* const kLampRunning = "QPushButton { border-image: url(:/Image/images/tip_running.png);}";
const char* const kLampStopped = "QPushButton { border-image: url(:/Image/images/tip_stop.png);}";
const unsigned char kSystemReset[6] = {0xFF, 0xAA, 0x01, 0x00, 0x0D, 0xEB};

void showBox(const QString& text)
{
    QMessageBox box;
    box.setText(text);
    box.exec();
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
    connect(videoThread, SIGNAL(disConnect()), this, SLOT(disConnectReact()),
            Qt::UniqueConnection);
    connect(videoThread, SIGNAL(labelCurrentShow(double)), this, SLOT(labelCurrentShow(double)),
            Qt::UniqueConnection);
    displayOff = false;
    videoThread->start(QThread::InheritPriority);
}

void Tessary_Interface::on_Capture_click()
{
    if (!isConnected) {
        showBox("No Device Connected");
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
        videoThread->stop();
        displayOff = true;
        ui.pushButton_2->setEnabled(false);
        QTimer::singleShot(1000, this, [this] { ui.pushButton_2->setEnabled(true); });
    }
    DWORD written = 0;
    status = FT_Write(fthandle1, const_cast<unsigned char*>(kSystemReset), sizeof kSystemReset,
                      &written);
    isRuning = false;
    ui.isRunning->setStyleSheet(kLampStopped);
    ui.label_Running->setText("   Stop");
    ui.pushButton_2->setText("Capture");
    runningDataManager->setRunningState(false);
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

void Tessary_Interface::on_Save_click() {}
void Tessary_Interface::on_Save_layout_dismiss_click() {}
void Tessary_Interface::on_Choice_Path_click() {}
void Tessary_Interface::on_Save_confirm_click() {}
void Tessary_Interface::threadSaveDialog() {}
void Tessary_Interface::UpdateSaveStatus() {}
void Tessary_Interface::on_GetMax() {}
void Tessary_Interface::on_GetMin() {}
void Tessary_Interface::threadSetMaxMinDialog() {}
void Tessary_Interface::on_SetFft() {}
void Tessary_Interface::on_intpcClick() {}
void Tessary_Interface::updateMaxRange(int) {}
void Tessary_Interface::updateMinRange(int) {}
void Tessary_Interface::on_Calibration_click() {}
void Tessary_Interface::savePicture(QImage) {}
void Tessary_Interface::onStoreFailed(QString) {}

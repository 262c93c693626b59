// The link to the board: listing, device-change hook, open/close with the
// handshake, the battery poll and the reaction to a lost link.
#include "Developer_Mode.h"
#include "FrameCodec.h"
#include "RunningDataManager.h"
#include "devicechange.h"
#include "tessary_interface.h"

#include <QElapsedTimer>
#include <QThread>

#include <vector>

using framecodec::showPlainBox;
using framecodec::writeBytes;

namespace {

const unsigned char kBatteryQuery[6] = {0xFF, 0xAA, 0x00, 0xA5, 0x0D, 0xEB};
constexpr DWORD kParamBlockBytes = 256;
// How long the handshake waits for the rest of the parameter block once its
// first bytes have arrived.
constexpr int kHandshakeDrainMs = 500;

} // namespace

void Tessary_Interface::InitD2xx()
{
    listDevices(nullptr);
}

void Tessary_Interface::PollDevices()
{
    ui.comboBox->clear();
    listDevices(&devicePollTimer);
}

void Tessary_Interface::listDevices(QTimer* pollTimer)
{
    DWORD count = 0;
    status = FT_CreateDeviceInfoList(&count);
    if (status != FT_OK)
        return;
    if (count == 0) {
        ui.comboBox->addItem(" NO Devices ");
        return;
    }
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(count);
    status = FT_GetDeviceInfoList(nodes.data(), &count);
    if (status != FT_OK || count == 0)
        return;
    for (DWORD i = 0; i < count && i < nodes.size(); ++i) {
        const QString serial =
            QString::fromUtf8(nodes[i].SerialNumber, int(qstrnlen(nodes[i].SerialNumber, 16)));
        ui.comboBox->addItem(serial);
        if (pollTimer && !serial.isEmpty())
            pollTimer->stop();
    }
}

bool Tessary_Interface::nativeEvent(const QByteArray& eventType, void* message, long* result)
{
    // Only the Windows message record carries device changes; other
    // platforms' native events have another layout.
    if (eventType == "windows_generic_MSG") {
        const auto* msg = static_cast<const MSG*>(message);
        if (msg->message == WM_DEVICECHANGE && (msg->wParam & ~uintptr_t(4)) == DBT_DEVICEARRIVAL)
            devicePollTimer.start(1000);
    }
    return QMainWindow::nativeEvent(eventType, message, result);
}

void Tessary_Interface::on_Open_Close_click()
{
    if (ui.pushButton_5->text() != "Open") {
        // Never close the handle under the worker's feet: stop it first.
        if (videoThread->isRunning() || isRuning) {
            handle2thread(false);
            showCaptureStopped();
        }
        batteryTimer.stop();
        closeLink();
        return;
    }

    QByteArray serial = ui.comboBox->currentText().toUtf8();
    status = FT_OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &fthandle1);
    if (status != FT_OK) {
        showPlainBox("No Device Connected");
        return;
    }

    status = FT_ResetDevice(fthandle1);
    FT_Purge(fthandle1, FT_PURGE_RX | FT_PURGE_TX);
    FT_SetBitMode(fthandle1, 0x00, 0x40);
    FT_SetUSBParameters(fthandle1, 65536, 65536);
    FT_SetFlowControl(fthandle1, FT_FLOW_RTS_CTS, 0, 0);
    FT_SetTimeouts(fthandle1, 2000, 1000);

    status = writeBytes(fthandle1, framecodec::kReadParameters, sizeof framecodec::kReadParameters);
    std::vector<unsigned char> reply(kParamBlockBytes);
    DWORD received = 0;
    bool answered = false;
    for (int attempt = 0; attempt < 10 && !answered; ++attempt) {
        DWORD queued = 0, txQueued = 0, events = 0;
        status = FT_GetStatus(fthandle1, &queued, &txQueued, &events);
        if (queued > reply.size())
            reply.resize(queued);
        DWORD got = 0;
        status = FT_Read(fthandle1, reply.data(), queued, &got);
        if (queued > 0) {
            answered = true;
            received = got;
        } else {
            QThread::msleep(1);
        }
    }

    if (!answered) {
        showPlainBox("No Device Connected");
        closeLink();
        return;
    }

    // Take in the rest of the answer (a whole parameter block); the status
    // query answers at once, so an empty queue is waited out asleep.
    QElapsedTimer drain;
    drain.start();
    while (received < kParamBlockBytes && drain.elapsed() < kHandshakeDrainMs) {
        DWORD queued = 0, txQueued = 0, events = 0;
        if (FT_GetStatus(fthandle1, &queued, &txQueued, &events) != FT_OK)
            break;
        if (queued == 0) {
            QThread::msleep(1);
            continue;
        }
        std::vector<unsigned char> rest(queued);
        DWORD got = 0;
        if (FT_Read(fthandle1, rest.data(), queued, &got) != FT_OK)
            break;
        received += got;
    }

    ui.pushButton_5->setText("Close");
    isConnected = true;
    batteryTimer.start(3000);
    getBattery();
    // The poll found the link lost and has said so: the board is closed, and
    // going on would only report the same loss a second time.
    if (!isConnected)
        return;
    QThread::msleep(200);
    const auto chipTypeA = framecodec::modeFrame(framecodec::kModeGateIc);
    status = writeBytes(fthandle1, chipTypeA.data(), DWORD(chipTypeA.size()));
    // A failed write is a lost link, which the poll that follows reports.
    getBattery();
}

void Tessary_Interface::getBattery()
{
    // Whatever is still queued is the tail of some other answer (a frame
    // given up, a late parameter block); its first byte is not the charge.
    FT_Purge(fthandle1, FT_PURGE_RX);
    status = writeBytes(fthandle1, kBatteryQuery, sizeof kBatteryQuery);
    // A query that cannot be written finds the link as lost as an unanswered one.
    if (status != FT_OK) {
        reportLostLink();
        return;
    }
    QThread::msleep(30);

    for (int emptyPolls = 0;;) {
        DWORD queued = 0, txQueued = 0, events = 0;
        status = FT_GetStatus(fthandle1, &queued, &txQueued, &events);
        if (status != FT_OK)
            break;
        if (queued == 0) {
            QThread::msleep(10);
            if (++emptyPolls >= 15)
                break;
            continue;
        }
        std::vector<unsigned char> buffer(queued);
        DWORD got = 0;
        status = FT_Read(fthandle1, buffer.data(), queued, &got);
        if (status != FT_OK)
            return;
        if (got == 0)
            continue;
        const int percent = buffer[0];
        const int width = percent * 16 / 100;
        ui.label_batbg->setMaximumWidth(width);
        ui.label_batbg->setMinimumWidth(width);
        ui.label_bat_2->setText(QString::number(percent, 'g', 6) + "%");
        return;
    }
    reportLostLink();
}

void Tessary_Interface::disConnectReact()
{
    if (displayOff)
        return;
    showCaptureStopped();
    reportLostLink();
}

void Tessary_Interface::showCaptureStopped()
{
    isRuning = false;
    ui.isRunning->setStyleSheet(kLampStopped);
    ui.label_Running->setText("   Stop");
    ui.pushButton_2->setText("Capture");
    runningDataManager->setRunningState(false);
}

void Tessary_Interface::closeLink()
{
    ui.pushButton_5->setText("Open");
    isConnected = false;
    FT_Close(fthandle1);
}

void Tessary_Interface::reportLostLink()
{
    batteryTimer.stop();
    if (ui.pushButton_5->text() == "Close")
        closeLink();
    emit showMessage("Error", "断开连接");
}

// The main window's configuring commands: panel voltages, chip type and
// current range, and its copies of the two-byte voltage codec.
#include "Developer_Mode.h"
#include "FrameCodec.h"
#include "tessary_interface.h"

#include <QThread>
#include <QTime>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

using namespace framecodec;

namespace {

struct CurrentRange
{
    int preset;
    int integrationTime; // microseconds
    int fullScaleCharge; // picocoulombs
    int frameRate;       // video frames per second
};

const CurrentRange kRanges[4] = {
    {1, 166, 25, 9},
    {2, 500, 25, 5},
    {3, 1300, 13, 2},
    {4, 4000, 4, 1},
};

// Starts the battery poll again however the command ends.
class BatteryPollPause
{
public:
    explicit BatteryPollPause(QTimer& timer) : m_timer(timer) { m_timer.stop(); }
    ~BatteryPollPause() { m_timer.start(); }
    BatteryPollPause(const BatteryPollPause&) = delete;
    BatteryPollPause& operator=(const BatteryPollPause&) = delete;

private:
    QTimer& m_timer;
};

QString timeStamp()
{
    return QTime::currentTime().toString("h:mm:ss");
}

// The guards shared by the three commands; true when the command may go on.
bool commandAllowed()
{
    if (!isConnected) {
        showPlainBox("No Device Connected");
        return false;
    }
    if (isRuning) {
        showPlainBox("Access prohibited during operation");
        return false;
    }
    return true;
}

} // namespace

void Tessary_Interface::on_TFTConfig_click()
{
    if (!commandAllowed())
        return;
    BatteryPollPause pause(batteryTimer);

    const QLineEdit* const fields[16] = {
        ui.lineEdit_35, ui.lineEdit_36, ui.lineEdit_37,  ui.lineEdit_40,
        ui.lineEdit_41, ui.lineEdit_42, ui.lineEdit_von, ui.lineEdit_voff,
        ui.lineEdit_43, ui.lineEdit_48, ui.lineEdit_vdd, ui.lineEdit_vin,
        ui.lineEdit_49, ui.lineEdit_50, ui.lineEdit_vss, ui.lineEdit_vcom};
    for (const QLineEdit* field : fields) {
        if (field->text().isEmpty()) {
            showPlainBox("Some GOA input fields are empty");
            return;
        }
    }

    unsigned char frame[39] = {};
    putHead(frame, kDacCommand);
    for (std::size_t i = 0; i < 16; ++i)
        getcharFromTFT(voltageCode(fields[i]->text().toDouble()), frame + 6 + 2 * i);
    frame[38] = payloadChecksum(frame + 6, 32);

    status = writeBytes(fthandle1, frame, sizeof frame);
    status = pauseAndReset(fthandle1);
    ui.label_save->setText(timeStamp() + " voltage set");
}

void Tessary_Interface::on_Chip_switch()
{
    if (!commandAllowed())
        return;
    BatteryPollPause pause(batteryTimer);

    unsigned char frame[8] = {};
    putHead(frame, kModeCommand);
    unsigned char type = 0;
    if (ui.radioGOA->isChecked())
        type = 0x01;
    else if (ui.radioSCAN->isChecked())
        type = 0x02;
    if (type != 0) {
        frame[6] = frame[7] = type;
        status = writeBytes(fthandle1, frame, sizeof frame);
    }
    status = pauseAndReset(fthandle1);
    showPlainBox("Chip select success Need reset voltage");
}

void Tessary_Interface::onCurrentSetting()
{
    if (!commandAllowed())
        return;
    BatteryPollPause pause(batteryTimer);

    const QRadioButton* const buttons[4] = {ui.radioButton, ui.radioButton_2, ui.radioButton_3,
                                            ui.radioButton_4};
    const CurrentRange* chosen = nullptr;
    for (std::size_t i = 0; i < 4 && !chosen; ++i)
        if (buttons[i]->isChecked())
            chosen = &kRanges[i];

    if (chosen) {
        developer_mode->ftHandle = fthandle1;
        developer_mode->ftStatus = status;
        developer_mode->model = chosen->preset;
        developer_mode->setModel(chosen->preset);

        videoThread->frameRate = chosen->frameRate;
        videoThread->integrationTime = chosen->integrationTime;
        videoThread->fullScaleCharge = chosen->fullScaleCharge;
        fullScaleCharge = chosen->fullScaleCharge;
        integrationTime = chosen->integrationTime;
    }
    ui.label_save->setText(timeStamp() + " current set ");
}

void Tessary_Interface::SystemReset()
{
    status = writeBytes(fthandle1, kSystemReset, sizeof kSystemReset);
}

int Tessary_Interface::getcharFromTFT(int value, unsigned char* out)
{
    encodeDigits(value, 4, out, s, t, [this](const std::string& pair) { return sum_16(pair); });
    return 0;
}

int Tessary_Interface::sum_16(const std::string& text)
{
    // Read like strtol in base 16: leading blanks and a sign, stops at the
    // first character that is no hexadecimal digit.
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const long value = std::strtol(lower.c_str(), nullptr, 16);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

int Tessary_Interface::double2int(double volts)
{
    return voltageCode(volts);
}

int Tessary_Interface::checkTFTSum(const unsigned char* data, uint64_t length)
{
    if (!data)
        return 0;
    unsigned sum = 0;
    for (uint64_t i = 0; i < length; ++i)
        sum += data[i];
    return static_cast<int>(sum % 256);
}

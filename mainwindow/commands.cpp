// The main window's configuring commands: panel voltages, chip type and
// current range, and its copies of the two-byte voltage codec.
#include "Developer_Mode.h"
#include "FrameCodec.h"
#include "tessary_interface.h"

#include <QTime>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <functional>

using namespace framecodec;

namespace {

struct CurrentRange
{
    int preset;
    int integrationTime;    // microseconds
    int fullScaleCharge;    // picocoulombs
    int frameRate;          // video frames per second
    int boardFramePeriodMs; // the preset's board rate: 9, 5, 2 and 0.5 frames/s
};

const CurrentRange kRanges[4] = {
    {1, 166, 25, 9, 112},
    {2, 500, 25, 5, 200},
    {3, 1300, 13, 2, 500},
    {4, 4000, 4, 1, 2000},
};

// A configuring command: false when one of its writes failed.
using Command = std::function<bool()>;

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

// Writes a configuration frame (none when `size` is 0), then the reset after
// its pause; false as soon as a write fails.
bool sendAndReset(const unsigned char* frame, std::size_t size)
{
    if (size != 0) {
        status = writeBytes(fthandle1, frame, size);
        if (status != FT_OK)
            return false;
    }
    status = pauseAndReset(fthandle1);
    return status == FT_OK;
}

// Runs a command with the battery poll paused around it. A command whose
// writes failed has not been carried out and reports no success; the battery
// poll then runs at once, so a lost link is reported through the poll's one
// loss reaction (which also stops the poll) rather than seconds later.
void runCommand(Tessary_Interface& window, const Command& command)
{
    if (!commandAllowed())
        return;
    window.batteryTimer.stop();
    const bool sent = command();
    window.batteryTimer.start();
    if (!sent)
        window.getBattery();
}

} // namespace

void Tessary_Interface::on_TFTConfig_click()
{
    runCommand(*this, [this] {
        const QLineEdit* const fields[16] = {
            ui.lineEdit_35, ui.lineEdit_36, ui.lineEdit_37,  ui.lineEdit_40,
            ui.lineEdit_41, ui.lineEdit_42, ui.lineEdit_von, ui.lineEdit_voff,
            ui.lineEdit_43, ui.lineEdit_48, ui.lineEdit_vdd, ui.lineEdit_vin,
            ui.lineEdit_49, ui.lineEdit_50, ui.lineEdit_vss, ui.lineEdit_vcom};
        for (const QLineEdit* field : fields) {
            if (field->text().isEmpty()) {
                showPlainBox("Some GOA input fields are empty");
                return true;
            }
        }

        unsigned char frame[39] = {};
        putHead(frame, kDacCommand);
        for (std::size_t i = 0; i < 16; ++i)
            getcharFromTFT(voltageCode(fields[i]->text().toDouble()), frame + 6 + 2 * i);
        frame[38] = payloadChecksum(frame + 6, 32);

        if (!sendAndReset(frame, sizeof frame))
            return false;
        ui.label_save->setText(timeStamp() + " voltage set");
        return true;
    });
}

void Tessary_Interface::on_Chip_switch()
{
    runCommand(*this, [this] {
        unsigned char frame[8] = {};
        putHead(frame, kModeCommand);
        unsigned char type = 0;
        if (ui.radioGOA->isChecked())
            type = 0x01;
        else if (ui.radioSCAN->isChecked())
            type = 0x02;
        frame[6] = frame[7] = type;
        // With no chip type chosen only the reset goes out.
        if (!sendAndReset(frame, type != 0 ? sizeof frame : 0))
            return false;
        showPlainBox("Chip select success Need reset voltage");
        return true;
    });
}

void Tessary_Interface::onCurrentSetting()
{
    runCommand(*this, [this] {
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
            videoThread->boardFramePeriodMs = chosen->boardFramePeriodMs;
            fullScaleCharge = chosen->fullScaleCharge;
            integrationTime = chosen->integrationTime;
            // Its last write is the reset after the last frame.
            if (developer_mode->ftStatus != FT_OK)
                return false;
        }
        ui.label_save->setText(timeStamp() + " current set ");
        return true;
    });
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

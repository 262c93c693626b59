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
// its pause; false when either write failed.
bool sendAndReset(const unsigned char* frame, std::size_t size)
{
    status = framecodec::sendAndReset(fthandle1, frame, size);
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
        const QLineEdit* const fields[kDacFields] = {
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

        int codes[kDacFields];
        for (std::size_t i = 0; i < kDacFields; ++i)
            codes[i] = voltageCode(fields[i]->text().toDouble());
        const auto frame =
            dacFrame(codes, [this](int code, unsigned char* out) { getcharFromTFT(code, out); });
        if (!sendAndReset(frame.data(), frame.size()))
            return false;
        ui.label_save->setText(timeStamp() + " voltage set");
        return true;
    });
}

void Tessary_Interface::on_Chip_switch()
{
    runCommand(*this, [this] {
        // With no chip type chosen only the reset goes out.
        const auto frame =
            modeFrame(panelMode(ui.radioGOA->isChecked(), ui.radioSCAN->isChecked()));
        if (!sendAndReset(frame.data(), frame.size()))
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
            // The preset leaves there the first of its writes that failed.
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
    // first character that is no hexadecimal digit. The developer window's
    // reader differs: it also reads typed CFG_REG text, where nothing may be
    // rejected, so it counts any character by its distance from '0'. This one
    // only ever sees two digits of `t`, on which the two agree.
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

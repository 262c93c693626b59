// Timing fields from a frame rate, and the four presets of the current ranges.
#include "Developer_Mode.h"
#include "FrameCodec.h"
#include "ui_developer_mode.h"

#include <QLineEdit>

#include <cmath>
#include <iostream>
#include <utility>

namespace {

struct Preset
{
    const char* int0;
    const char* int1;
    const char* cfgReg;
    const char* frameRate;
};

const Preset kPresets[4] = {
    {"166", "166", "1bf", "9"},
    {"500", "500", "1bf", "5"},
    {"1300", "1300", "19b", "2"},
    {"4000", "4000", "180", "0.5"},
};

// The largest multiple of the time unit among the timing fields (rst_rise).
constexpr double kLargestUnitFactor = 1302.0;

bool fitsInt(double truncated)
{
    return truncated >= -2147483648.0 && truncated <= 2147483647.0;
}

} // namespace

void Developer_Mode::on_FREQConfig_Clicked()
{
    const QString text = ui->lineEdit_frame->text();
    if (text.isEmpty()) {
        framecodec::showPlainBox("FREQ input fields are empty");
        return;
    }
    bool ok = false;
    const double rate = text.toDouble(&ok);
    if (!ok || rate == 0.0 || !std::isfinite(rate)) {
        framecodec::showPlainBox("Invalid Input");
        return;
    }
    const double unit = std::trunc(7200.0 / rate);
    const double period = std::trunc(10000000.0 / rate);
    // Rates so slow that a field would leave the 32-bit range are refused
    // like an unreadable rate, rather than filled with wrapped values.
    if (!fitsInt(period) || !fitsInt(unit * kLargestUnitFactor)) {
        framecodec::showPlainBox("Invalid Input");
        return;
    }
    const int u = static_cast<int>(unit);
    const int p = static_cast<int>(period);

    const std::pair<QLineEdit*, int> fields[] = {
        // GOA tab
        {ui->lineEdit_9, 6 * u},
        {ui->lineEdit_10, 1302 * u},
        {ui->lineEdit_11, 7 * u},
        {ui->lineEdit_12, 11 * u},
        {ui->lineEdit_13, 7 * u},
        {ui->lineEdit_14, 4 * u},
        {ui->lineEdit_15, 6 * u},
        {ui->lineEdit_16, 130},
        {ui->lineEdit_17, 12 * u},
        {ui->lineEdit_18, 4 * u},
        {ui->lineEdit_19, 6 * u},
        {ui->lineEdit_20, 129},
        {ui->lineEdit_21, p},
        {ui->lineEdit_94, 2 * u},
        {ui->lineEdit_95, 7 * u},
        {ui->lineEdit_96, 4 * u},
        {ui->lineEdit_3, 4 * u},
        {ui->lineEdit_4, 31},
        {ui->lineEdit_25, 31},
        // GATE IC tab
        {ui->lineEdit, p},
        {ui->lineEdit_2, 7 * u},
        {ui->lineEdit_5, 5 * u},
        {ui->lineEdit_6, (5 * u) / 2},
        {ui->lineEdit_7, 2 * u},
        {ui->lineEdit_8, u},
        {ui->lineEdit_22, 0},
        {ui->lineEdit_23, 31},
        {ui->lineEdit_24, 31},
    };
    for (const auto& field : fields)
        field.first->setText(QString::number(field.second));
}

void Developer_Mode::setModel(int m)
{
    if (m >= 1 && m <= 4) {
        const Preset& preset = kPresets[m - 1];
        ui->lineEdit_int0->setText(preset.int0);
        ui->lineEdit_int1->setText(preset.int1);
        ui->lineEdit_cfgreg->setText(preset.cfgReg);
        ui->lineEdit_frame->setText(preset.frameRate);
        std::cout << std::dec << m << std::endl;
    }
    // The caller learns of a failed write from ftStatus, which keeps the first
    // failure of the preset's writes; the senders' boxes would only repeat it.
    presetRunning = true;
    ftStatus = FT_OK;
    FT_STATUS firstFailure = FT_OK;
    for (void (Developer_Mode::*step)() :
         {&Developer_Mode::on_ADCConfig_Clicked, &Developer_Mode::on_FREQConfig_Clicked,
          &Developer_Mode::on_SCANConfig_Clicked, &Developer_Mode::on_GOAConfig_Clicked}) {
        (this->*step)();
        if (firstFailure == FT_OK)
            firstFailure = ftStatus;
    }
    presetRunning = false;
    ftStatus = firstFailure;
}

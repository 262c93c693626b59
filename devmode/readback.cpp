// Reading the board's 256-byte parameter block back and decoding it into the
// Param List and the form.
#include "Developer_Mode.h"
#include "FrameCodec.h"
#include "ui_developer_mode.h"

#include <QElapsedTimer>
#include <QLineEdit>

#include <algorithm>
#include <array>
#include <iostream>

using framecodec::readBigEndian;

namespace {

constexpr std::size_t kBlockBytes = 256;
// A board that answers at all delivers its block within a few milliseconds;
// a silent or lost one must not hold the window longer than this.
constexpr qint64 kReadBackLimitMs = 2000;
const char* const kReadBackFailed = "Parameter read-back failed: no answer from the board";

using Edit = QLineEdit* Ui_Developer_Mode::*;

struct Field
{
    std::size_t offset;
    const char* label;
    Edit edit;
};

const Field kDacFields[] = {
    {17, "VOUT0:", &Ui_Developer_Mode::lineEdit_goa_dc2},
    {19, "VOUT1:", &Ui_Developer_Mode::lineEdit_goaDc1},
    {21, "VOUT2:", &Ui_Developer_Mode::lineEdit_vgl},
    {23, "VOUT3:", &Ui_Developer_Mode::lineEdit_tftVbias},
    {25, "MUX_H:", &Ui_Developer_Mode::lineEdit_tftVcom},
    {27, "MUX_L:", &Ui_Developer_Mode::lineEdit_goaDch},
    {29, "VGH:", &Ui_Developer_Mode::lineEdit_goaDc3},
    {31, "VGL:", &Ui_Developer_Mode::lineEdit_muxH},
    {33, "GOA_DC3:", &Ui_Developer_Mode::lineEdit_muxL},
    {35, "TFT_VGL:", &Ui_Developer_Mode::lineEdit_pixelDc1},
    {37, "VDD:", &Ui_Developer_Mode::lineEdit_pixelDc2},
    {39, "VIN:", &Ui_Developer_Mode::lineEdit_pixelDc3},
    {41, "TFT_DC1:", &Ui_Developer_Mode::lineEdit_vclkH},
    {43, "TFT_DC2:", &Ui_Developer_Mode::lineEdit_vscanL},
    {45, "VSS:", &Ui_Developer_Mode::lineEdit_vscanH},
    {47, "VCOM:", &Ui_Developer_Mode::lineEdit_bk1},
};

const Field kGoaFields[] = {
    {49, "rst_fall:", &Ui_Developer_Mode::lineEdit_9},
    {53, "rst_rise:", &Ui_Developer_Mode::lineEdit_10},
    {57, "stv_rise:", &Ui_Developer_Mode::lineEdit_11},
    {61, "stv_fall:", &Ui_Developer_Mode::lineEdit_12},
    {65, "ck_start:", &Ui_Developer_Mode::lineEdit_13},
    {69, "ck_high:", &Ui_Developer_Mode::lineEdit_14},
    {73, "ck_low :", &Ui_Developer_Mode::lineEdit_15},
    {77, "ck_num:", &Ui_Developer_Mode::lineEdit_16},
    {81, "xck_start:", &Ui_Developer_Mode::lineEdit_17},
    {85, "xck_high:", &Ui_Developer_Mode::lineEdit_18},
    {89, "xck_low:", &Ui_Developer_Mode::lineEdit_19},
    {93, "xck_num:", &Ui_Developer_Mode::lineEdit_20},
    {97, "total_period:", &Ui_Developer_Mode::lineEdit_21},
    // 101..164: where the GOA frame has its zero block
    {165, "sa_start:", &Ui_Developer_Mode::lineEdit_94},
    {169, "sb_start:", &Ui_Developer_Mode::lineEdit_95},
    {173, "sa_high:", &Ui_Developer_Mode::lineEdit_96},
    {177, "sb_high:", &Ui_Developer_Mode::lineEdit_3},
};
constexpr std::size_t kGoaTrigger = 181;

const Field kGateIcFields[] = {
    {49, "GATE_IC_total_period:", &Ui_Developer_Mode::lineEdit},
    {53, "CLK_start:", &Ui_Developer_Mode::lineEdit_2},
    {57, "CLK256_cycle:", &Ui_Developer_Mode::lineEdit_5},
    {61, "CLK256_high:", &Ui_Developer_Mode::lineEdit_6},
    {65, "CLK44_cycle:", &Ui_Developer_Mode::lineEdit_7},
    {69, "CLK44_high:", &Ui_Developer_Mode::lineEdit_8},
    {73, "OE_high :", &Ui_Developer_Mode::lineEdit_22},
};
constexpr std::size_t kGateIcTrigger = 77;

QString signedWord(const UCHAR* p)
{
    return QString::number(static_cast<int32_t>(readBigEndian(p, 4)));
}

QString volts(const UCHAR* p)
{
    return QString::number(readBigEndian(p, 2) / 65536.0 * 40.0 - 20.0, 'f', 2);
}

} // namespace

void Developer_Mode::on_ReadParam_Clicked()
{
    if (accessLocked())
        return;
    ui->textEdit->clear();
    std::array<UCHAR, kBlockBytes> block{};
    // What is still queued belongs to some earlier request, not to this one. A
    // handle that cannot be set up or purged is as lost as one that fails the write.
    bool failed =
        FT_SetTimeouts(ftHandle, 1000, 1000) != FT_OK || FT_Purge(ftHandle, FT_PURGE_RX) != FT_OK;
    if (!failed) {
        ftStatus = framecodec::writeBytes(ftHandle, framecodec::kReadParameters,
                                          sizeof framecodec::kReadParameters);
        failed = ftStatus != FT_OK;
    }

    QElapsedTimer clock;
    clock.start();
    std::size_t collected = 0;
    while (!failed && collected < kBlockBytes) {
        if (clock.elapsed() >= kReadBackLimitMs) {
            failed = true;
            break;
        }
        // Blocks until the rest of the block has come or the read time-out
        // has passed; never asks for more than the block still lacks.
        const DWORD wanted = static_cast<DWORD>(kBlockBytes - collected);
        DWORD got = 0;
        ftStatus = FT_Read(ftHandle, block.data() + collected, wanted, &got);
        if (ftStatus != FT_OK) {
            failed = true;
            break;
        }
        collected += std::min(got, wanted);
    }

    // Bytes beyond the block (or a block that came too late) would otherwise
    // be taken by the next reader as its own answer.
    FT_Purge(ftHandle, FT_PURGE_RX);

    if (failed) {
        framecodec::showPlainBox(kReadBackFailed);
        return;
    }
    std::cout << "sum == 256" << std::endl;
    analyParam(block.data());
}

void Developer_Mode::analyParam(UCHAR* data)
{
    if (!data)
        return;
    logHex(data, kBlockBytes);

    auto show = [this](const QString& label, const QString& value, QLineEdit* edit) {
        ui->textEdit->append(label + value);
        if (edit)
            edit->setText(value);
    };
    auto showFields = [&](const Field* begin, const Field* end, auto decode) {
        for (const Field* f = begin; f != end; ++f)
            show(f->label, decode(data + f->offset), ui->*(f->edit));
    };
    auto showTrigger = [&](std::size_t offset, QLineEdit* first, QLineEdit* second) {
        const uint32_t word = readBigEndian(data + offset, 4);
        show("adc_trig_delay:", signedWord(data + offset), nullptr);
        first->setText(QString::number(word >> 16));
        second->setText(QString::number(word & 0xFFFF));
    };

    show("fps:", QString::number(data[1]), ui->lineEdit_frame);
    show("version:", signedWord(data + 2), nullptr);
    show("INT0:", QString::number(readBigEndian(data + 6, 3) / 40), ui->lineEdit_int0);
    show("INT1:", QString::number(readBigEndian(data + 9, 3) / 40), ui->lineEdit_int1);
    show("CFG_REG:", QString::number(readBigEndian(data + 12, 2), 16), ui->lineEdit_cfgreg);
    showFields(std::begin(kDacFields), std::end(kDacFields), volts);

    if (data[0] == 1) {
        ui->tabWidget->setCurrentIndex(0);
        ui->radioGOA->setChecked(true);
        showFields(std::begin(kGoaFields), std::end(kGoaFields), signedWord);
        showTrigger(kGoaTrigger, ui->lineEdit_4, ui->lineEdit_25);
    } else if (data[0] == 2) {
        ui->radioSCAN->setChecked(true);
        ui->tabWidget->setCurrentIndex(1);
        showFields(std::begin(kGateIcFields), std::end(kGateIcFields), signedWord);
        showTrigger(kGateIcTrigger, ui->lineEdit_23, ui->lineEdit_24);
    }
}

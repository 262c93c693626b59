// The developer window's configuration frames: ADC, DAC, panel mode, GOA and
// SCAN timing. Each is written, then applied by SystemReset 100 ms later.
#include "Developer_Mode.h"
#include "FrameCodec.h"
#include "ui_developer_mode.h"

#include <QLineEdit>

#include <iomanip>
#include <iostream>

using namespace framecodec;

namespace {

constexpr std::size_t kAdcFrameBytes = 15;
constexpr std::size_t kGoaFrameBytes = 143;
constexpr std::size_t kScanFrameBytes = 39;
constexpr std::size_t kGoaTail = 122; // after the 64 zero bytes
const char* const kWriteFailed = "Configuration write failed: no link to the board";

// adc_trig_1 in the upper half, adc_trig_2 OR-ed in whole (its sign bits included).
uint32_t triggerWord(int first, int second)
{
    return (static_cast<uint32_t>(first) << 16) | static_cast<uint32_t>(second);
}

bool anyEmpty(std::initializer_list<const QLineEdit*> fields)
{
    for (const QLineEdit* field : fields)
        if (field->text().isEmpty())
            return true;
    return false;
}

// Each byte as 0x + unpadded hexadecimal, blank-separated, no line end.
void printHexList(const unsigned char* bytes, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (i > 0)
            std::cout << " ";
        std::cout << "0x" << std::hex << static_cast<int>(bytes[i]);
    }
    std::cout << std::dec;
}

const char* const kScanFieldNames[] = {"lineEdit",    "lineEdit_2",  "lineEdit_5",
                                       "lineEdit_6",  "lineEdit_7",  "lineEdit_8",
                                       "lineEdit_22", "lineEdit_23", "lineEdit_24"};

} // namespace

bool Developer_Mode::sendAndReset(const unsigned char* frame, std::size_t size,
                                  const std::function<void()>& echo)
{
    ftStatus = framecodec::sendAndReset(ftHandle, frame, size, echo);
    if (ftStatus == FT_OK)
        return true;
    if (!presetRunning)
        showPlainBox(kWriteFailed);
    return false;
}

void Developer_Mode::on_ADCConfig_Clicked()
{
    if (accessLocked())
        return;
    if (anyEmpty({ui->lineEdit_int0, ui->lineEdit_int1, ui->lineEdit_cfgreg})) {
        showPlainBox("Some ADC input fields are empty");
        return;
    }

    unsigned char frame[kAdcFrameBytes] = {};
    putHead(frame, kAdcCommand);
    getcharFromSide(tickCode(ui->lineEdit_int0->text().toInt()), frame + 6);
    getcharFromSide(tickCode(ui->lineEdit_int1->text().toInt()), frame + 9);
    string2uchar(ui->lineEdit_cfgreg->text().toUtf8().toStdString(), frame + 12);

    std::cout << "mCFG_REG 的值为: 0x" << std::hex << std::setfill('0') << std::setw(2)
              << static_cast<int>(frame[12]) << ", 0x" << std::setw(2)
              << static_cast<int>(frame[13]) << std::endl
              << std::dec;

    frame[14] = payloadChecksum(frame + 6, 8);
    sendAndReset(frame, sizeof frame);
}

void Developer_Mode::on_DACConfig_Clicked()
{
    if (accessLocked())
        return;
    // Frame order; the object names do not match the captions beside them.
    const QLineEdit* const fields[kDacFields] = {
        ui->lineEdit_goa_dc2, ui->lineEdit_goaDc1,   ui->lineEdit_vgl,      ui->lineEdit_tftVbias,
        ui->lineEdit_tftVcom, ui->lineEdit_goaDch,   ui->lineEdit_goaDc3,   ui->lineEdit_muxH,
        ui->lineEdit_muxL,    ui->lineEdit_pixelDc1, ui->lineEdit_pixelDc2, ui->lineEdit_pixelDc3,
        ui->lineEdit_vclkH,   ui->lineEdit_vscanL,   ui->lineEdit_vscanH,   ui->lineEdit_bk1};
    for (const QLineEdit* field : fields) {
        if (field->text().isEmpty()) {
            showPlainBox("Some GOA input fields are empty");
            return;
        }
    }

    int codes[kDacFields];
    for (std::size_t i = 0; i < kDacFields; ++i)
        codes[i] = double2int(fields[i]->text().toDouble());
    std::cout << "sssss" << std::dec << codes[13] << std::endl;

    const auto frame =
        dacFrame(codes, [this](int code, unsigned char* out) { getcharFromTFT(code, out); });
    // The list echoes what the board took, ahead of the reset; after a failed
    // write there is none.
    sendAndReset(frame.data(), frame.size(),
                 [&frame] { printHexList(frame.data(), frame.size()); });
}

void Developer_Mode::on_ModeSwitch_Clicked()
{
    if (accessLocked())
        return;
    // With no mode chosen only the reset goes out.
    const auto frame = modeFrame(panelMode(ui->radioGOA->isChecked(), ui->radioSCAN->isChecked()));
    sendAndReset(frame.data(), frame.size());
}

void Developer_Mode::on_GOAConfig_Clicked()
{
    if (accessLocked())
        return;
    // Table order: thirteen head fields, four tail fields, the two trigger halves.
    const QLineEdit* const fields[19] = {
        ui->lineEdit_9,  ui->lineEdit_10, ui->lineEdit_11, ui->lineEdit_12, ui->lineEdit_13,
        ui->lineEdit_14, ui->lineEdit_15, ui->lineEdit_16, ui->lineEdit_17, ui->lineEdit_18,
        ui->lineEdit_19, ui->lineEdit_20, ui->lineEdit_21, ui->lineEdit_94, ui->lineEdit_95,
        ui->lineEdit_96, ui->lineEdit_3,  ui->lineEdit_4,  ui->lineEdit_25};
    for (const QLineEdit* field : fields) {
        if (field->text().isEmpty()) {
            showPlainBox("Some Timing input fields are empty");
            return;
        }
    }
    int values[19];
    for (std::size_t i = 0; i < 19; ++i)
        values[i] = fields[i]->text().toInt();

    unsigned char frame[kGoaFrameBytes] = {};
    putHead(frame, kGoaCommand);
    for (std::size_t i = 0; i < 13; ++i)
        putBigEndian(frame + 6 + 4 * i, static_cast<uint32_t>(values[i]), 4);
    // Bytes 58 to 121 stay zero.
    for (std::size_t i = 0; i < 4; ++i)
        putBigEndian(frame + kGoaTail + 4 * i, static_cast<uint32_t>(values[13 + i]), 4);
    putBigEndian(frame + 138, triggerWord(values[17], values[18]), 4);

    unsigned char* const f = frame;
    frame[142] = static_cast<unsigned char>(
        checkGOAsum(f + 6, f + 10, f + 14, f + 18, f + 22, f + 26, f + 30, f + 34, f + 38, f + 42,
                    f + 46, f + 50, f + 54, f + 122, f + 126, f + 130, f + 134, f + 138) &
        0xFF);

    logHex(frame, sizeof frame);
    sendAndReset(frame, sizeof frame, [&frame] {
        std::cout << std::uppercase;
        printHexList(frame, sizeof frame);
    });
}

void Developer_Mode::on_SCANConfig_Clicked()
{
    if (accessLocked())
        return;
    // Looked up by name under the GATE IC tab each time: the GOA tab has
    // fields of its own with similar roles.
    auto field = [this](const char* name) {
        return ui->tab_2->findChild<QLineEdit*>(QString::fromLatin1(name));
    };
    for (const char* name : kScanFieldNames) {
        const QLineEdit* edit = field(name);
        if (!edit || edit->text().isEmpty()) {
            showPlainBox("Some SCAN input fields are empty");
            return;
        }
    }
    int values[9];
    for (std::size_t i = 0; i < 9; ++i) {
        const QLineEdit* edit = field(kScanFieldNames[i]);
        values[i] = edit ? edit->text().toInt() : 0;
    }

    unsigned char frame[kScanFrameBytes] = {};
    putHead(frame, kScanCommand);
    for (std::size_t i = 0; i < 7; ++i)
        putBigEndian(frame + 6 + 4 * i, static_cast<uint32_t>(values[i]), 4);
    putBigEndian(frame + 34, triggerWord(values[7], values[8]), 4);

    unsigned char* const f = frame;
    frame[38] = static_cast<unsigned char>(
        checkTFTSCAN(f + 6, f + 10, f + 14, f + 18, f + 22, f + 26, f + 30, f + 34) & 0xFF);

    std::cout << "Hex representation: " << std::hex << std::setfill('0');
    for (unsigned char byte : frame)
        std::cout << std::setw(2) << static_cast<int>(byte) << " ";
    std::cout << std::endl << std::dec;

    sendAndReset(frame, sizeof frame);
}

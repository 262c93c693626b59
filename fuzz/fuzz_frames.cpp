// The developer window's configuration frames built from any field texts and
// sent to a simulated board: every frame keeps its shape and its checksum.
#include "Bus.h"
#include "Developer_Mode.h"
#include "FrameCodec.h"
#include "FuzzSupport.h"
#include "ui_developer_mode.h"

#include <QLineEdit>
#include <QThread>

#include <vector>

// No board listens for the pause before each reset here; sleeping it would
// hold the search to a few inputs a second.
void QThread::msleep(unsigned long)
{
}

namespace {

struct Harness
{
    Developer_Mode window;
    std::shared_ptr<boardsim::Board> board;
    std::vector<QLineEdit*> fields;
    QStringList defaults;

    Harness()
    {
        board = boardsim::Bus::instance().attach(boardsim::Bus::kDefaultSerial);
        fuzzCheck(FT_OpenEx(const_cast<char*>(boardsim::Bus::kDefaultSerial),
                            FT_OPEN_BY_SERIAL_NUMBER, &window.ftHandle) == FT_OK,
                  "the simulated board opens");
        Ui_Developer_Mode& ui = *window.ui;
        // The order of the input's lines: ADC, DAC, GOA, then GATE IC fields.
        fields = {
            ui.lineEdit_int0,     ui.lineEdit_int1,     ui.lineEdit_cfgreg,   ui.lineEdit_goa_dc2,
            ui.lineEdit_goaDc1,   ui.lineEdit_vgl,      ui.lineEdit_tftVbias, ui.lineEdit_tftVcom,
            ui.lineEdit_goaDch,   ui.lineEdit_goaDc3,   ui.lineEdit_muxH,     ui.lineEdit_muxL,
            ui.lineEdit_pixelDc1, ui.lineEdit_pixelDc2, ui.lineEdit_pixelDc3, ui.lineEdit_vclkH,
            ui.lineEdit_vscanL,   ui.lineEdit_vscanH,   ui.lineEdit_bk1,      ui.lineEdit_9,
            ui.lineEdit_10,       ui.lineEdit_11,       ui.lineEdit_12,       ui.lineEdit_13,
            ui.lineEdit_14,       ui.lineEdit_15,       ui.lineEdit_16,       ui.lineEdit_17,
            ui.lineEdit_18,       ui.lineEdit_19,       ui.lineEdit_20,       ui.lineEdit_21,
            ui.lineEdit_94,       ui.lineEdit_95,       ui.lineEdit_96,       ui.lineEdit_3,
            ui.lineEdit_4,        ui.lineEdit_25,       ui.lineEdit,          ui.lineEdit_2,
            ui.lineEdit_5,        ui.lineEdit_6,        ui.lineEdit_7,        ui.lineEdit_8,
            ui.lineEdit_22,       ui.lineEdit_23,       ui.lineEdit_24};
        // The form's own texts, the first preset's where the form has none.
        ui.lineEdit_int0->setText("166");
        ui.lineEdit_int1->setText("166");
        ui.lineEdit_cfgreg->setText("1bf");
        for (QLineEdit* field : fields)
            defaults << field->text();
    }

    // The one configuration frame the click sent, checked against the reset after it.
    void checkSent(unsigned char command, std::size_t length)
    {
        const auto log = board->hostLog();
        board->clearHostLog();
        fuzzCheck(log.size() == 2, "one frame, then the reset");
        const std::vector<uint8_t>& frame = log[0].bytes;
        fuzzCheck(frame.size() == length, "frame length");
        const unsigned char head[] = {0xFF, 0xAA, 0x00, command, 0x0D, 0xEB};
        fuzzCheck(std::equal(head, head + 6, frame.begin()), "frame head");
        fuzzCheck(frame.back() == framecodec::payloadChecksum(frame.data() + 6, length - 7),
                  "payload checksum");
        fuzzCheck(log[1].bytes ==
                      std::vector<uint8_t>(framecodec::kSystemReset, framecodec::kSystemReset + 6),
                  "the reset after the frame");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static Harness* const h = new Harness;
    const QStringList lines = fuzzLines(data, size);
    // An empty field is refused with a box; it stands for the form's text instead.
    for (std::size_t i = 0; i < h->fields.size(); ++i) {
        const bool given = int(i) < lines.size() && !lines[int(i)].isEmpty();
        h->fields[i]->setText(given ? lines[int(i)] : h->defaults[int(i)]);
    }
    h->window.on_ADCConfig_Clicked();
    h->checkSent(framecodec::kAdcCommand, 15);
    h->window.on_DACConfig_Clicked();
    h->checkSent(framecodec::kDacCommand, 39);
    h->window.on_GOAConfig_Clicked();
    h->checkSent(framecodec::kGoaCommand, 143);
    h->window.on_SCANConfig_Clicked();
    h->checkSent(framecodec::kScanCommand, 39);
    fuzzCheck(h->board->badChecksums() == 0, "the board found every checksum right");
    fuzzCheck(s1.empty(), "the digit string is left empty");
    return 0;
}

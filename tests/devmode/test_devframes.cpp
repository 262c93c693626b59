// The developer window's frames as the board receives them, what they print,
// the frame-rate timing and presets, and the parameter read-back.
#define DEVFORM_UI_HEADER "ui_developer_mode.h"
#include DEVFORM_UI_HEADER

#include "Bus.h"
#include "Developer_Mode.h"
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>

#include <chrono>

using namespace std::chrono_literals;

namespace {

const char* const kSerial = "TS256A01";
const char* const kReset = "FFAA01000DEB";
const char* const kAdc = "mCFG_REG 的值为: 0x01, 0x";

// "frame|frame|..." in hexadecimal, blanks ignored.
Frames hexFrames(const QString& text)
{
    Frames out;
    for (const QString& part : text.split('|'))
        out << QByteArray::fromHex(part.toLatin1());
    return out;
}

QString listing(const QByteArray& bytes, const QString& prefix, int width, const QString& sep)
{
    QStringList items;
    for (unsigned char b : bytes)
        items << prefix + QString::number(b, 16).rightJustified(width, '0');
    return items.join(sep);
}

} // namespace

class TestDevFrames : public QObject
{
    Q_OBJECT
    Developer_Mode* dev_ = nullptr;
    std::shared_ptr<boardsim::Board> board_;
    FT_HANDLE handle_ = nullptr;

    // "name=text;..." for line edits; radio buttons take 1 or 0.
    void apply(const QString& settings)
    {
        for (const QString& item : settings.split(';', Qt::SkipEmptyParts)) {
            const QString name = item.section('=', 0, 0), value = item.section('=', 1);
            if (name.isEmpty())
                continue; // findChild would take any object for an empty name
            if (auto* radio = dev_->findChild<QRadioButton*>(name)) {
                radio->setAutoExclusive(false);
                radio->setChecked(value == "1");
            } else {
                dev_->findChild<QLineEdit*>(name)->setText(value);
            }
        }
    }
    QString text(const char* name) const { return dev_->findChild<QLineEdit*>(name)->text(); }
    QStringList paramLines() const
    {
        return dev_->ui->textEdit->toPlainText().split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void init()
    {
        RunningDataManager::instance()->setRunningState(false);
        boardsim::Bus::instance().resetToEnvironment();
        board_ = boardsim::Bus::instance().board(kSerial);
        QVERIFY(board_);
        QCOMPARE(FT_OpenEx(const_cast<char*>(kSerial), FT_OPEN_BY_SERIAL_NUMBER, &handle_),
                 FT_STATUS(FT_OK));
        dev_ = new Developer_Mode;
        dev_->ftHandle = handle_;
        resetStdoutState();
    }
    void cleanup()
    {
        QCOMPARE(board_->badChecksums(), uint64_t(0));
        delete dev_;
        FT_Close(handle_);
        RunningDataManager::instance()->setRunningState(false);
    }

    void frames_data()
    {
        QTest::addColumn<QByteArray>("slot");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<Frames>("sent");
        QTest::addColumn<QString>("printed");
        const QString adc = "lineEdit_int0=%1;lineEdit_int1=%2;lineEdit_cfgreg=%3";
        const QString reset = QString("|") + kReset;
        auto row = [&](const char* name, const char* slot, const QString& fields,
                       const QString& sent, const QString& printed) {
            QTest::newRow(name) << QByteArray(slot) << fields << hexFrames(sent + reset) << printed;
        };
        row("ADC preset 1", "on_ADCConfig_Clicked", adc.arg(166).arg(166).arg("1bf"),
            "FFAA00A00DEB 0019F0 0019F0 01BF D2", QString(kAdc) + "bf\n");
        row("ADC preset 2", "on_ADCConfig_Clicked", adc.arg(500).arg(500).arg("1bf"),
            "FFAA00A00DEB 004E20 004E20 01BF 9C", QString(kAdc) + "bf\n");
        row("ADC preset 3", "on_ADCConfig_Clicked", adc.arg(1300).arg(1300).arg("19b"),
            "FFAA00A00DEB 00CB20 00CB20 019B 72", QString(kAdc) + "9b\n");
        row("ADC preset 4", "on_ADCConfig_Clicked", adc.arg(4000).arg(4000).arg("180"),
            "FFAA00A00DEB 027100 027100 0180 67", QString(kAdc) + "80\n");
        row("ADC letters", "on_ADCConfig_Clicked", adc.arg("abc").arg(166).arg("1bf"),
            "FFAA00A00DEB 000000 0019F0 01BF C9", "0" + QString(kAdc) + "bf\n");
        row("ADC out of range", "on_ADCConfig_Clicked", adc.arg(-5).arg(INT_MAX).arg("1bf"),
            "FFAA00A00DEB 000000 FFFFFF 01BF BD", "0" + QString(kAdc) + "bf\n");
        const QString dac = "FFAA00A10DEB 8000 8000 8000 8000 8000 8000 E000 2000 8000 2000 9333 "
                            "9333 8000 %1 8333 %2 %3";
        row("DAC defaults", "on_DACConfig_Clicked", "", dac.arg("8000", "4000", "22"),
            "sssss32768\n");
        row("DAC +20 V", "on_DACConfig_Clicked", "lineEdit_bk1=20", dac.arg("8000", "FFFF", "E0"),
            "sssss32768\n");
        row("DAC -20 V, blanks", "on_DACConfig_Clicked",
            "lineEdit_bk1=-20;lineEdit_vscanL= ", dac.arg("8000", "0000", "E2"), "sssss32768\n0");
        row("DAC TFT_DC2", "on_DACConfig_Clicked", "lineEdit_vscanL=3",
            dac.arg("9333", "4000", "68"), "sssss37683\n");
        row("mode GOA", "on_ModeSwitch_Clicked", "radioGOA=1", "FFAA00A40DEB0101", "");
        row("mode GATE IC", "on_ModeSwitch_Clicked", "radioSCAN=1;radioGOA=0", "FFAA00A40DEB0202",
            "");
        QTest::newRow("mode neither") << QByteArray("on_ModeSwitch_Clicked")
                                      << "radioGOA=0;radioSCAN=0" << hexFrames(kReset) << "";
        const QString scan = "FFAA00A30DEB %1 000015E0 00000FA0 000007D0 00000640 %2 %3 %4 %5";
        row("SCAN defaults", "on_SCANConfig_Clicked", "",
            scan.arg("0010F447", "00000320", "00000000", "001F001F", "6D"), "UCHAR value: 109\n");
        row("SCAN triggers 1 and 2", "on_SCANConfig_Clicked", "lineEdit_23=1;lineEdit_24=2",
            scan.arg("0010F447", "00000320", "00000000", "00010002", "32"), "UCHAR value: 50\n");
        row("SCAN negative, blank, letters", "on_SCANConfig_Clicked",
            "lineEdit=-1;lineEdit_8= ;lineEdit_22=abc;lineEdit_24=-1",
            scan.arg("FFFFFFFF", "00000000", "00000000", "FFFFFFFF", "B9"), "UCHAR value: 185\n");
    }

    void frames()
    {
        QFETCH(QByteArray, slot);
        QFETCH(QString, fields);
        QFETCH(Frames, sent);
        QFETCH(QString, printed);
        apply(fields);
        const auto before = std::chrono::steady_clock::now();
        BoxCatcher boxes;
        StdoutCapture capture;
        QVERIFY(QMetaObject::invokeMethod(dev_, slot.constData(), Qt::DirectConnection));
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(hostWrites(*board_), sent);
        QVERIFY(resetsFollowPause(*board_));
        QVERIFY(board_->hostLog().back().time - before >= 100ms);
        if (slot == "on_DACConfig_Clicked")
            printed += listing(sent[0], "0x", 1, " ");
        if (slot == "on_SCANConfig_Clicked")
            printed += "Hex representation: " + listing(sent[0], "", 2, " ") + " \n";
        QCOMPARE(QString::fromStdString(capture.text()), printed);
    }

    void goaFrame()
    {
        apply("lineEdit_9=-1;lineEdit_4=74565;lineEdit_25=2;lineEdit_3=abc");
        StdoutCapture capture;
        dev_->on_GOAConfig_Clicked();
        const Frames sent = hostWrites(*board_);
        QCOMPARE(sent.size(), 2);
        QCOMPARE(sent[1], QByteArray::fromHex(kReset));
        QVERIFY(resetsFollowPause(*board_));
        const QByteArray& frame = sent[0];
        QCOMPARE(frame.size(), 143);
        QCOMPARE(frame.left(14), QByteArray::fromHex("FFAA00A20DEB FFFFFFFF 000FE4C0"));
        QCOMPARE(frame.mid(58, 64), QByteArray(64, '\0'));
        // Trigger 1 loses its bits above 16.
        QCOMPARE(frame.mid(122),
                 QByteArray::fromHex("00000640 000015E0 00000C80 00000000 23450002 FB"));

        // Dump of 36 upper-case rows, then the 0x list without a line end.
        const QStringList lines = QString::fromStdString(capture.text()).split('\n');
        QCOMPARE(lines.size(), 37);
        QVERIFY2(QRegularExpression(
                     R"(^\[\d{4}-\d{1,2}-\d{1,2} \d{1,2}:\d{1,2}:\d{1,2}\] \[0\] FF AA 00 A2 $)")
                     .match(lines[0])
                     .hasMatch(),
                 qPrintable(lines[0]));
        QCOMPARE(lines[35], QStringLiteral("[35] 00 02 FB "));
        QCOMPARE(lines[36], listing(frame, "0x", 1, " ").toUpper().replace("0X", "0x"));

        // Form defaults: the documented tail, and the ADC line now in upper case.
        board_->clearHostLog();
        apply("lineEdit_9=4800;lineEdit_4=31;lineEdit_25=31;lineEdit_3=3200;"
              "lineEdit_int0=1;lineEdit_int1=1;lineEdit_cfgreg=1bf");
        dev_->on_GOAConfig_Clicked();
        QCOMPARE(hostWrites(*board_)[0].mid(122),
                 QByteArray::fromHex("00000640 000015E0 00000C80 00000C80 001F001F 31"));
        QVERIFY(capture.text().find("0xFF 0xAA 0x0 0xA2 0xD 0xEB 0x0 0x0 0x12 0xC0 ") !=
                std::string::npos);
        capture.clear();
        dev_->on_ADCConfig_Clicked();
        QCOMPARE(capture.text(), std::string(kAdc) + "BF\n");
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("slot");
        QTest::addColumn<QString>("cleared"); // empty: acquisition is running
        QTest::addColumn<QString>("message");
        for (const char* slot :
             {"on_ADCConfig_Clicked", "on_DACConfig_Clicked", "on_GOAConfig_Clicked",
              "on_SCANConfig_Clicked", "on_ReadParam_Clicked", "on_ModeSwitch_Clicked"})
            QTest::addRow("%s running", slot) << QByteArray(slot) << ""
                                              << "Access prohibited during operation";
        const char* const empty[][3] = {
            {"on_ADCConfig_Clicked", "lineEdit_int1", "Some ADC input fields are empty"},
            {"on_ADCConfig_Clicked", "lineEdit_cfgreg", "Some ADC input fields are empty"},
            {"on_DACConfig_Clicked", "lineEdit_goa_dc2", "Some GOA input fields are empty"},
            {"on_DACConfig_Clicked", "lineEdit_bk1", "Some GOA input fields are empty"},
            {"on_GOAConfig_Clicked", "lineEdit_9", "Some Timing input fields are empty"},
            {"on_GOAConfig_Clicked", "lineEdit_25", "Some Timing input fields are empty"},
            {"on_SCANConfig_Clicked", "lineEdit", "Some SCAN input fields are empty"},
            {"on_SCANConfig_Clicked", "lineEdit_24", "Some SCAN input fields are empty"},
            {"on_FREQConfig_Clicked", "lineEdit_frame", "FREQ input fields are empty"},
        };
        for (const auto& r : empty)
            QTest::addRow("%s %s", r[0], r[1]) << QByteArray(r[0]) << r[1] << r[2];
    }

    void refusals()
    {
        QFETCH(QByteArray, slot);
        QFETCH(QString, cleared);
        QFETCH(QString, message);
        apply("lineEdit_int0=166;lineEdit_int1=166;lineEdit_cfgreg=1bf;" + cleared + "=");
        RunningDataManager::instance()->setRunningState(cleared.isEmpty());
        dev_->ui->textEdit->setPlainText("earlier");
        dev_->ftStatus = 77;
        BoxCatcher boxes;
        StdoutCapture capture;
        QVERIFY(QMetaObject::invokeMethod(dev_, slot.constData(), Qt::DirectConnection));
        QCOMPARE(boxes.texts(), QStringList{message});
        QVERIFY(hostWrites(*board_).isEmpty());
        QVERIFY(capture.text().empty());
        QCOMPARE(dev_->ftStatus, FT_STATUS(77));
        QCOMPARE(dev_->ui->textEdit->toPlainText(), QStringLiteral("earlier"));
    }

    void frameRate_data()
    {
        // rst_fall, rst_rise, total_period (GOA), total_period (GATE IC), CLK256_high, CLK44_high
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("expected"); // or the refusal
        QTest::newRow("5") << "5"
                           << "8640 1874880 2000000 2000000 3600 1440";
        QTest::newRow("0.5") << "0.5"
                             << "86400 18748800 20000000 20000000 36000 14400";
        QTest::newRow("3 truncates") << "3"
                                     << "14400 3124800 3333333 3333333 6000 2400";
        QTest::newRow("-9") << "-9"
                            << "-4800 -1041600 -1111111 -1111111 -2000 -800";
        QTest::newRow("slowest that fits")
            << "0.0047"
            << "9191484 1994552028 2127659574 2127659574 3829785 1531914";
        for (const char* refused : {"0", "0.0", "abc", "0.004", "-0.004", "inf", "nan"})
            QTest::newRow(refused) << refused << "Invalid Input";
        QTest::newRow("empty") << ""
                               << "FREQ input fields are empty";
    }

    void frameRate()
    {
        QFETCH(QString, rate);
        QFETCH(QString, expected);
        auto fields = [this] {
            QStringList t;
            for (const char* name : {"lineEdit_9", "lineEdit_10", "lineEdit_21", "lineEdit",
                                     "lineEdit_6", "lineEdit_8"})
                t << text(name);
            return t.join(' ');
        };
        const QString before = fields();
        apply("lineEdit_frame=" + rate);
        BoxCatcher boxes;
        dev_->on_FREQConfig_Clicked();
        const bool refused = expected[0].isLetter();
        QCOMPARE(boxes.texts(), refused ? QStringList{expected} : QStringList{});
        QCOMPARE(fields(), refused ? before : expected);
        QCOMPARE(text("lineEdit_16") + text("lineEdit_22") + text("lineEdit_24"),
                 QStringLiteral("130031"));
    }

    void nineFramesGiveDefaults()
    {
        Developer_Mode fresh;
        const auto edits = fresh.ui->tabWidget->findChildren<QLineEdit*>();
        QCOMPARE(edits.size(), 28);
        for (QLineEdit* e : edits)
            apply(e->objectName() + "=junk");
        apply("lineEdit_frame=9");
        dev_->on_FREQConfig_Clicked();
        for (QLineEdit* e : edits)
            QCOMPARE(text(qPrintable(e->objectName())), e->text());
    }

    void presets()
    {
        BoxCatcher boxes;
        StdoutCapture capture;
        dev_->setModel(2);
        QVERIFY(boxes.boxes.isEmpty());
        QVERIFY(capture.text().rfind("2\n" + std::string(kAdc) + "bf\n", 0) == 0);
        QCOMPARE(text("lineEdit_int0") + text("lineEdit_int1") + text("lineEdit_cfgreg") +
                     text("lineEdit_frame"),
                 QStringLiteral("5005001bf5"));
        Frames sent = hostWrites(*board_);
        QCOMPARE(sent.size(), 6);
        QCOMPARE(sent[0], QByteArray::fromHex("FFAA00A00DEB 004E20 004E20 01BF 9C"));
        QCOMPARE(sent[2].left(10), QByteArray::fromHex("FFAA00A30DEB 001E8480"));
        QCOMPARE(sent[4].left(14), QByteArray::fromHex("FFAA00A20DEB 000021C0 001C9BC0"));
        for (int i : {1, 3, 5})
            QCOMPARE(sent[i], QByteArray::fromHex(kReset));
        QVERIFY(resetsFollowPause(*board_));
        QCOMPARE(board_->config().int0Ticks(), 20000u);

        // No preset: nothing filled or printed, frames still sent from the form
        // as it stands (the ADC fields now empty), timed at its frame rate.
        board_->clearHostLog();
        boxes.boxes.clear();
        capture.clear();
        apply("lineEdit_int0=;lineEdit_frame=0.5");
        dev_->setModel(0);
        QCOMPARE(boxes.texts(), QStringList{"Some ADC input fields are empty"});
        QVERIFY(capture.text().rfind("UCHAR value: ", 0) == 0);
        QCOMPARE(text("lineEdit_int1"), QStringLiteral("500"));
        sent = hostWrites(*board_);
        QCOMPARE(sent.size(), 4);
        QCOMPARE(sent[0].left(10), QByteArray::fromHex("FFAA00A30DEB 01312D00"));
        QCOMPARE(sent[2].left(4), QByteArray::fromHex("FFAA00A2"));
    }

    void decode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("tail");
        QTest::addColumn<QString>("fields");
        QTest::newRow("GOA")
            << 1 << QStringList{"rst_fall:1",      "rst_rise:2",    "stv_rise:3",
                                "stv_fall:4",      "ck_start:5",    "ck_high:6",
                                "ck_low :7",       "ck_num:8",      "xck_start:9",
                                "xck_high:10",     "xck_low:11",    "xck_num:12",
                                "total_period:13", "sa_start:1600", "sb_start:5600",
                                "sa_high:-2",      "sb_high:3200",  "adc_trig_delay:2031647"}
            << "lineEdit_15=7;lineEdit_96=-2;lineEdit_4=31;lineEdit_25=31;lineEdit=1111111";
        QTest::newRow("GATE IC")
            << 2 << QStringList{"GATE_IC_total_period:1",
                                "CLK_start:2",
                                "CLK256_cycle:3",
                                "CLK256_high:4",
                                "CLK44_cycle:5",
                                "CLK44_high:6",
                                "OE_high :7",
                                "adc_trig_delay:65538"}
            << "lineEdit_2=2;lineEdit_22=7;lineEdit_23=1;lineEdit_24=2;lineEdit_9=4800";
        QTest::newRow("mode 0") << 0 << QStringList{} << "lineEdit_9=4800;lineEdit=1111111";
        QTest::newRow("mode 3") << 3 << QStringList{} << "lineEdit_9=4800;lineEdit=1111111";
    }

    void decode()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, tail);
        QFETCH(QString, fields);
        QByteArray b(256, '\0');
        b[0] = char(mode);
        b[1] = char(200);
        b.replace(2, 12, QByteArray::fromHex("80000000 0019F7 004E20 01BF"));
        b.replace(17, 32,
                  QByteArray::fromHex("0000 8000 FFFF 9333") +
                      QByteArray::fromHex("8000").repeated(12));
        for (int i = 0; i < 13; ++i)
            b[52 + 4 * i] = char(i + 1);
        b.replace(165, 20, QByteArray::fromHex("00000640 000015E0 FFFFFFFE 00000C80 001F001F"));
        if (mode == 2)
            b.replace(77, 4, QByteArray::fromHex("00010002"));
        dev_->ui->tabWidget->setCurrentIndex(mode == 2 ? 0 : 1);
        StdoutCapture capture;
        dev_->analyParam(reinterpret_cast<UCHAR*>(b.data()));

        const QStringList header{
            "fps:200",     "version:-2147483648", "INT0:166",     "INT1:500",
            "CFG_REG:1bf", "VOUT0:-20.00",        "VOUT1:0.00",   "VOUT2:20.00",
            "VOUT3:3.00",  "MUX_H:0.00",          "MUX_L:0.00",   "VGH:0.00",
            "VGL:0.00",    "GOA_DC3:0.00",        "TFT_VGL:0.00", "VDD:0.00",
            "VIN:0.00",    "TFT_DC1:0.00",        "TFT_DC2:0.00", "VSS:0.00",
            "VCOM:0.00"};
        QCOMPARE(paramLines(), header + tail);
        for (const QString& item : fields.split(';'))
            QCOMPARE(text(qPrintable(item.section('=', 0, 0))), item.section('=', 1));
        QCOMPARE(text("lineEdit_int0") + text("lineEdit_vgl") + text("lineEdit_frame"),
                 QStringLiteral("16620.00200"));
        QCOMPARE(dev_->ui->tabWidget->currentIndex(), mode == 1 ? 0 : 1);
        QCOMPARE(dev_->ui->radioSCAN->isChecked(), mode == 2);

        const QStringList dump =
            QString::fromStdString(capture.text()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(dump.size(), 64);
        QVERIFY(dump[0].endsWith(QString("] [0] 0%1 C8 80 00 ").arg(mode)));
        QCOMPARE(dump[1], QStringLiteral("[1] 00 00 00 19 "));
    }

    void readBack_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("answered");
        for (const char* ok :
             {"at once", "in pieces", "byte by byte", "late", "extra answer queued"})
            QTest::newRow(ok) << ok << true;
        for (const char* bad : {"silent", "too late", "reads fail", "handle closed"})
            QTest::newRow(bad) << bad << false;
    }

    void readBack()
    {
        QFETCH(QString, fault);
        QFETCH(bool, answered);
        if (fault == "in pieces" || fault == "byte by byte")
            board_->setDeliveryPieces(fault == "in pieces" ? 100 : 1, 7);
        board_->setParamAnswerDelay(fault == "late" ? 300ms : fault == "too late" ? 10s : 0ms);
        board_->setSilent(fault == "silent");
        board_->setReadsFail(fault == "reads fail");
        if (fault == "handle closed")
            FT_Close(handle_);
        DWORD count = 0, tx = 0, events = 0;
        QByteArray request = QByteArray::fromHex("FFAA00FF0DEB");
        if (fault == "extra answer queued") // an answer nobody collected
            FT_Write(handle_, request.data(), 6, &count);
        board_->clearHostLog();
        dev_->ui->textEdit->setPlainText("earlier");
        BoxCatcher boxes;
        StdoutCapture capture;
        dev_->on_ReadParam_Clicked();
        const QString out = QString::fromStdString(capture.text());
        if (!answered) {
            QCOMPARE(boxes.texts(),
                     QStringList{"Parameter read-back failed: no answer from the board"});
            QVERIFY(paramLines().isEmpty());
            QVERIFY(text("lineEdit_int0").isEmpty());
            QVERIFY(out.isEmpty());
            return;
        }
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(hostWrites(*board_), Frames{request});
        QCOMPARE(board_->portSettings().readTimeoutMs + board_->portSettings().writeTimeoutMs,
                 2000u);
        QVERIFY(out.startsWith("sum == 256\n["));
        QCOMPARE(out.count("sum"), 1);
        QVERIFY(out.contains("[0] 02 09 00 02 \n[1] 00 01 00 19 \n"));
        // The board's power-on state: GATE IC timing at 9 frames per second.
        const QStringList lines = paramLines();
        QCOMPARE(lines.size(), 29);
        QCOMPARE(lines.mid(0, 5),
                 (QStringList{"fps:9", "version:131073", "INT0:166", "INT1:166", "CFG_REG:1bf"}));
        QCOMPARE(lines.mid(19, 3),
                 (QStringList{"VSS:0.50", "VCOM:-10.00", "GATE_IC_total_period:1111111"}));
        // Nothing is left behind for the next reader.
        QCOMPARE(FT_GetStatus(handle_, &count, &tx, &events), FT_STATUS(FT_OK));
        QCOMPARE(count, DWORD(0));
    }
};

QTEST_MAIN(TestDevFrames)
#include "test_devframes.moc"

// The developer window: its value encoders, the frames its buttons send the
// board and what they print, the frame-rate timing and the parameter read-back.
#include "ui_developer_mode.h"

#include "Bus.h"
#include "Developer_Mode.h"
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "TestSupport.h"

#include <QRegularExpression>
#include <QtTest>

#include <iomanip>

// One button press: what is set first, ';'-separated ("name=text" a field; "running":
// acquisition runs; "silent": the board does not answer; "unplugged": it is gone; a radio
// button's name: that one alone checked); then standard output with the frames the board
// receives spliced in where they went out (hexadecimal, each followed by '|'), '*' standing
// for any text; the box and fields as they read afterwards.
struct Click
{
    const char* button;
    QString fields, result, box{}, after{};
};
Q_DECLARE_METATYPE(Click)

// Standard output while it lives, with each write the board receives spliced in where it
// went out (hexadecimal, then '|').
struct Spliced : std::streambuf
{
    const boardsim::Board& board;
    std::string text;
    int sent = 0;
    std::streambuf* const previous = std::cout.rdbuf(this);
    explicit Spliced(const boardsim::Board& b) : board(b) {}
    ~Spliced() override { std::cout.rdbuf(previous); }
    // Unbuffered, so every character comes here: the writes so far, then the character.
    int_type overflow(int_type c) override
    {
        const QString hex = sentHex(board);
        text += hex.mid(std::exchange(sent, hex.size())).toStdString();
        if (c != traits_type::eof())
            text += traits_type::to_char_type(c);
        return c;
    }
};

class TestDevMode : public QObject
{
    Q_OBJECT
    std::unique_ptr<Developer_Mode> dev_;
    std::shared_ptr<boardsim::Board> board_;

    // Sets the fields of "name=text;..."; with set false, gives them as they read now.
    QString fields(const QString& spec, bool set = true)
    {
        QStringList now;
        for (const QString& item : spec.split(';', Qt::SkipEmptyParts)) {
            auto* edit = dev_->findChild<QLineEdit*>(item.section('=', 0, 0));
            if (set)
                edit->setText(item.section('=', 1));
            now << item.section('=', 0, 0) + "=" + edit->text();
        }
        return now.join(';');
    }

private slots:
    void init()
    {
        boardsim::Bus::instance().resetToEnvironment();
        board_ = boardsim::Bus::instance().board("TS256A01");
        dev_ = std::make_unique<Developer_Mode>();
        QCOMPARE(
            FT_OpenEx(const_cast<char*>("TS256A01"), FT_OPEN_BY_SERIAL_NUMBER, &dev_->ftHandle),
            FT_STATUS(FT_OK));
        // Standard output as at start-up: decimal, lower-case hexadecimal, blank fill.
        std::cout << std::dec << std::nouppercase << std::setfill(' ');
    }
    void cleanup()
    {
        RunningDataManager::instance()->setRunningState(false);
        QCOMPARE(board_->badChecksums(), uint64_t(0));
        FT_Close(dev_->ftHandle);
    }

    void clicks_data()
    {
        QTest::addColumn<Click>("click");
        // Every field its own value, so a swapped pair shows; the half-way code rounds away from
        // zero, +20 V saturates, a zero code prints "0". TFT_DC2 is the one printed; once the
        // board has the frame, it follows as a 0x list, lower-case before the first dump,
        // without a line end, and only then comes the reset.
        QTest::newRow("DAC, -20 V to 20 V")
            << Click{"pushButton_dac",
                     "lineEdit_goa_dc2=-20;lineEdit_goaDc1=-7;lineEdit_vgl=-6;lineEdit_tftVbias=-5;"
                     "lineEdit_tftVcom=-4;lineEdit_goaDch=-3;lineEdit_goaDc3=-2;lineEdit_muxH=-1;"
                     "lineEdit_muxL=0.00030517578125;lineEdit_pixelDc1=1;lineEdit_pixelDc2=2;"
                     "lineEdit_pixelDc3=3;lineEdit_vclkH=4;lineEdit_vscanL=5;lineEdit_vscanH=19.9;"
                     "lineEdit_bk1=20",
                     "sssss40960\n0FFAA00A10DEB00005333599A600066666CCD7333799A800186668CCD9333999"
                     "AA000FF5CFFFF4F|0xff 0xaa 0x0 0xa1 0xd 0xeb 0x0 0x0 0x53 0x33 *0xff "
                     "0x4fFFAA01000DEB|"};
        // INT in microseconds at 40 ticks each, three bytes; a zero value prints "0". CFG_REG
        // text: hexadecimal letters in either case, letters beyond F count by their distance
        // from '0', leading zeros beyond four digits are dropped (a longer value saturates,
        // below).
        QTest::newRow("ADC") << Click{
            "pushButton_adc", "lineEdit_int0=0;lineEdit_int1=26215;lineEdit_cfgreg=00xyF",
            "0mCFG_REG 的值为: 0x48, 0x9f\nFFAA00A00DEB000000100018489F0F|FFAA01000DEB|"};
        // Both lines before the frame; every field its own value.
        QTest::newRow("SCAN") << Click{
            "pushButton_scan",
            "lineEdit=1111111;lineEdit_2=2;lineEdit_5=3;lineEdit_6=4;lineEdit_7=5;lineEdit_8=6;"
            "lineEdit_22=7;lineEdit_23=8;lineEdit_24=9",
            "UCHAR value: 119\nHex representation: ff aa 00 a3 0d eb 00 10 f4 47*00 09 77 \n"
            "FFAA00A30DEB0010F4470000000200000003000000040000000500000006000000070008000977|"
            "FFAA01000DEB|"};
        // Trigger 1 loses its bits above 16; negative fields go out in two's complement.
        // The dump (36 rows) before the frame, then the 0x list, upper-case, without a line end.
        QTest::newRow("GOA") << Click{
            "pushButton_goa", "lineEdit_9=-1;lineEdit_4=74565;lineEdit_25=2;lineEdit_3=abc",
            "[*] [0] FF AA 00 A2 \n[1] 0D EB FF FF \n*[35] 00 02 FB \n"
            "FFAA00A20DEBFFFFFFFF000FE4C0000015E000002260000015E000000C80000012C000000082000025800"
            "0000C80000012C0000000810010F447" +
                QString(128, '0') +
                "00000640000015E000000C800000000023450002FB|0xFF 0xAA 0x0 0xA2 0xD 0xEB 0xFF 0xFF "
                "0xFF 0xFF 0x0 0xF 0xE4 0xC0 *0x23 0x45 0x0 0x2 0xFBFFAA01000DEB|"};
        // Neither mode checked: only the reset goes out.
        const char* const modes[][2] = {{"radioGOA", "0101|"}, {"radioSCAN", "0202|"}, {"", ""}};
        for (const auto& m : modes)
            QTest::addRow("mode '%s'", m[0])
                << Click{"pushButton_switch", m[0],
                         (*m[1] ? "FFAA00A40DEB" + QString(m[1]) : QString()) + "FFAA01000DEB|"};
        for (const char* button : {"pushButton_adc", "pushButton_dac", "pushButton_goa",
                                   "pushButton_scan", "pushButton_readparam", "pushButton_switch"})
            QTest::addRow("%s running", button)
                << Click{button, "running", "", "Access prohibited during operation"};
        const char* const empty[][3] = {
            {"pushButton_adc", "lineEdit_int0=1;lineEdit_int1=1", "ADC"},
            {"pushButton_dac", "lineEdit_bk1=", "GOA"},
            {"pushButton_goa", "lineEdit_25=", "Timing"},
            {"pushButton_scan", "lineEdit_24=", "SCAN"}};
        for (const auto& r : empty)
            QTest::addRow("%s empty", r[0])
                << Click{r[0], r[1], "", QString("Some %1 input fields are empty").arg(r[2])};
        for (const char* board : {"silent", "unplugged"})
            QTest::addRow("read-back, %s", board)
                << Click{"pushButton_readparam", board, *board == 's' ? "FFAA00FF0DEB|" : "",
                         "Parameter read-back failed: no answer from the board"};
        // A failed write is told; what echoes the frame after its write is not printed. A
        // CFG_REG beyond two bytes saturates.
        const char* const failed[][3] = {
            {"pushButton_adc", "lineEdit_int0=1;lineEdit_int1=1;lineEdit_cfgreg=1bf00",
             "mCFG_REG 的值为: 0xff, 0xff\n"},
            {"pushButton_dac", "", "sssss32768\n"},
            {"pushButton_goa", "", "[*] [0] FF AA 00 A2 \n*[35] 00 1F 31 \n"},
            {"pushButton_scan", "", "UCHAR value: 109\nHex representation: ff*1f 6d \n"},
            {"pushButton_switch", "radioGOA", ""}};
        for (const auto& r : failed)
            QTest::addRow("%s unplugged", r[0])
                << Click{r[0], QString("unplugged;") + r[1], r[2],
                         "Configuration write failed: no link to the board"};

        // Every timing field from the frame rate F: u, 2u, 4u, 5u, 5u / 2, 6u, 7u, 11u, 12u
        // and 1302u for u = 7200 / F, and the period 10^7 / F; the counts and triggers whatever
        // the rate. A rate so slow that a field would leave the 32-bit range is refused.
        const QString timing =
            "lineEdit_9=%6;lineEdit_10=%10;lineEdit_11=%7;lineEdit_12=%8;lineEdit_13=%7;"
            "lineEdit_14=%3;lineEdit_15=%6;lineEdit_16=130;lineEdit_17=%9;lineEdit_18=%3;"
            "lineEdit_19=%6;lineEdit_20=129;lineEdit_21=%11;lineEdit_94=%2;lineEdit_95=%7;"
            "lineEdit_96=%3;lineEdit_3=%3;lineEdit_4=31;lineEdit_25=31;lineEdit=%11;"
            "lineEdit_2=%7;lineEdit_5=%4;lineEdit_6=%5;lineEdit_7=%2;lineEdit_8=%1;"
            "lineEdit_22=0;lineEdit_23=31;lineEdit_24=31";
        const QString junk = QString(timing).replace(QRegularExpression("=[^;]*"), "=x");
        for (const char* rate :
             {"3 2400 4800 9600 12000 6000 14400 16800 26400 28800 3124800 3333333", "0", "abc", "",
              "0.004",
              "0.5 14400 28800 57600 72000 36000 86400 100800 158400 172800 18748800 20000000",
              "-9 -800 -1600 -3200 -4000 -2000 -4800 -5600 -8800 -9600 -1041600 -1111111"}) {
            const QStringList r = QString(rate).split(' ');
            const bool refused = r.size() == 1;
            QString after = refused ? junk : timing;
            for (const QString& value : r.mid(1))
                after = after.arg(value);
            QTest::addRow("rate '%s'", qPrintable(r[0])) << Click{
                "pushButton_Frame", "lineEdit_frame=" + r[0] + ";" + junk, "",
                refused ? (*rate ? "Invalid Input" : "FREQ input fields are empty") : "", after};
        }
    }
    void clicks()
    {
        QFETCH(Click, click);
        const QStringList setup = click.fields.split(';', Qt::SkipEmptyParts);
        RunningDataManager::instance()->setRunningState(setup.contains("running"));
        board_->setSilent(setup.contains("silent"));
        for (QRadioButton* radio : dev_->findChildren<QRadioButton*>()) {
            radio->setAutoExclusive(false);
            radio->setChecked(setup.contains(radio->objectName()));
        }
        fields(setup.filter("=").join(';'));
        if (setup.contains("unplugged"))
            boardsim::Bus::instance().detach("TS256A01");
        BoxCatcher boxes;
        Spliced spliced(*board_);
        QVERIFY(QMetaObject::invokeMethod(dev_->findChild<QPushButton*>(click.button), "click"));
        QCOMPARE(boxes.texts().join('\n'), click.box);
        spliced.overflow(std::char_traits<char>::eof()); // the writes after the last output
        const QString seen = QString::fromStdString(spliced.text);
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(
            "(?s)" + QRegularExpression::escape(click.result).replace("\\*", ".*")));
        QVERIFY2(pattern.match(seen).hasMatch(), qPrintable(seen));
        // Every SystemReset comes at least 100 ms after the write before it.
        const auto log = board_->hostLog();
        for (std::size_t i = 1; i < log.size(); ++i)
            QVERIFY(log[i].bytes.size() != 6 || log[i].bytes[2] != 0x01 ||
                    log[i].time - log[i - 1].time >= std::chrono::milliseconds(100));
        QCOMPARE(fields(click.after, false), click.after);
    }

    void decode_data()
    {
        // The Param List after the DAC voltages, then fields as they read afterwards.
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("shown");
        QTest::newRow("GOA")
            << 1
            << ",rst_fall:1,rst_rise:2,stv_rise:3,stv_fall:4,ck_start:5,ck_high:6,ck_low :7,"
               "ck_num:65538,xck_start:9,xck_high:10,xck_low:11,xck_num:12,total_period:13,"
               "sa_start:1600,sb_start:5600,sa_high:-2,sb_high:3200,adc_trig_delay:2031647"
               "#lineEdit_15=7;lineEdit_96=-2;lineEdit_4=31;lineEdit=1111111";
        QTest::newRow("GATE IC")
            << 2
            << ",GATE_IC_total_period:1,CLK_start:2,CLK256_cycle:3,CLK256_high:4,CLK44_cycle:5,"
               "CLK44_high:6,OE_high :7,adc_trig_delay:65538"
               "#lineEdit_8=6;lineEdit_22=7;lineEdit_23=1;lineEdit_24=2;lineEdit_9=4800";
        QTest::newRow("mode 3") << 3 << "#lineEdit_9=4800;lineEdit=1111111";
    }

    void decode()
    {
        QFETCH(int, mode);
        QFETCH(QString, shown);
        // A negative version, INT0 166.625 microseconds, DAC codes 0 and up; FFF7 reads
        // 19.99 only when divided by 65536.
        QByteArray b = QByteArray::fromHex("C880000000 001A09 004E20 01BF 000000 FFF78000FFFF9333");
        b = b.prepend(char(mode)).leftJustified(256, '\0');
        for (int i = 0; i < 13; ++i)
            b[52 + 4 * i] = char(i + 1);
        b.replace(77, 4, QByteArray::fromHex("00010002"));
        b.replace(165, 20, QByteArray::fromHex("00000640 000015E0 FFFFFFFE 00000C80 001F001F"));
        dev_->ui->tabWidget->setCurrentIndex(mode == 2 ? 0 : 1);
        StreamCapture capture;
        dev_->analyParam(reinterpret_cast<UCHAR*>(b.data()));
        // After the dump numbers are decimal again, hexadecimal letters upper case.
        std::cout << 255 << std::hex << 171;
        const QString out = QString::fromStdString(capture.text());
        QVERIFY2(out.contains(QRegularExpression(
                     R"(^\[\d{4}-\d{1,2}-\d{1,2}( \d{1,2}|:\d{1,2}){3}\] )"
                     R"(\[0\] 0[1-3] C8 80 00 \n[\s\S]*\[63\] 00 00 00 00 \n255AB$)")),
                 qPrintable(out));
        QCOMPARE(dev_->ui->textEdit->toPlainText().split('\n').join(','),
                 "fps:200,version:-2147483648,INT0:166,INT1:500,CFG_REG:1bf,VOUT0:19.99,"
                 "VOUT1:0.00,VOUT2:20.00,VOUT3:3.00,MUX_H:-20.00,MUX_L:-20.00,VGH:-20.00,"
                 "VGL:-20.00,GOA_DC3:-20.00,TFT_VGL:-20.00,VDD:-20.00,VIN:-20.00,TFT_DC1:-20.00,"
                 "TFT_DC2:-20.00,VSS:-20.00,VCOM:-20.00" +
                     shown.section('#', 0, 0));
        shown = "lineEdit_int0=166;lineEdit_vgl=20.00;lineEdit_frame=200;" + shown.section('#', 1);
        QCOMPARE(fields(shown, false), shown);
        QCOMPARE(dev_->ui->tabWidget->currentIndex(), mode == 1 ? 0 : 1);
        QCOMPARE(dev_->ui->radioSCAN->isChecked(), mode == 2);
    }
};

QTEST_MAIN(TestDevMode)
#include "test_devmode.moc"

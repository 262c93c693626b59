// The main window's configuring commands (voltages, chip type, current range)
// as the board receives them, their guards and the battery poll around them.
#include "ui_developer_mode.h"

#include "Bus.h"
#include "Developer_Mode.h"
#include "SimSupport.h"
#include "TestSupport.h"
#include "tessary_interface.h"

#include <QtTest>

// A command: what is set first ("offline", "running" or "unplugged" the state, "name=text" a
// field, a bare name the radio button to check); the box; the frames the board receives
// (hexadecimal, each followed by '|'), the status line and standard output as one wildcard
// pattern; for a current range the model and the acquisition values, and lines the
// board's parameter block shows afterwards.
struct Command
{
    const char* slot;
    QString setup, box, result, values{}, readBack{};
};
Q_DECLARE_METATYPE(Command)

class TestCommands : public QObject
{
    Q_OBJECT
    TessaryWidget* window_ = nullptr;
    std::shared_ptr<boardsim::Board> board_;

private slots:
    void initTestCase()
    {
        window_ = new TessaryWidget;
        // The poll never comes round during a row: a box runs the event loop, and
        // every write the board receives must be the command's own.
        window_->batteryTimer.setInterval(std::chrono::hours(24));
    }
    void cleanupTestCase() { delete window_; }
    void init()
    {
        boardsim::Bus::instance().resetToEnvironment();
        board_ = boardsim::Bus::instance().board("TS256A01");
        QCOMPARE(FT_OpenEx(const_cast<char*>("TS256A01"), FT_OPEN_BY_SERIAL_NUMBER, &fthandle1),
                 FT_STATUS(FT_OK));
        window_->ui.label_save->setText("before");
    }
    void cleanup()
    {
        window_->batteryTimer.stop();
        FT_Close(fthandle1);
        QCOMPARE(board_->badChecksums(), uint64_t(0));
    }

    void commands_data()
    {
        QTest::addColumn<Command>("command");
        const QString chip = "Chip select success Need reset voltage", reset = "FFAA01000DEB|";
        // The connection is checked first.
        for (const char* slot : {"on_TFTConfig_click", "on_Chip_switch", "onCurrentSetting"})
            for (const char* setup : {"offline", "offline;running", "running"})
                QTest::addRow("%s %s", slot, setup) << Command{
                    slot, setup,
                    *setup == 'o' ? "No Device Connected" : "Access prohibited during operation",
                    "#before#"};
        QTest::newRow("voltages") << Command{
            "on_TFTConfig_click", "lineEdit_36=-20;lineEdit_vcom=-10.00", "",
            "FFAA00A10DEB800000008000800080008000E000200080002000933393338000800083334000A2|" +
                reset + "#?*:??:?? voltage set#0"};
        // Writes that fail are no success, the reset alone included: the battery
        // poll runs at once and reports the lost link.
        const char* const unplugged[][3] = {{"on_TFTConfig_click", "", "*"},
                                            {"on_Chip_switch", "", ""},
                                            {"onCurrentSetting", "radioButton", "1\n*"}};
        for (const auto& u : unplugged)
            QTest::addRow("%s unplugged", u[0]) << Command{u[0], QString("unplugged;") + u[1],
                                                           "断开连接", QString("#before#") + u[2]};
        QTest::newRow("voltages, Vcom empty") << Command{
            "on_TFTConfig_click", "lineEdit_vcom=", "Some GOA input fields are empty", "#before#"};
        const char* const chips[][3] = {{"chip Type A", "radioSCAN", "FFAA00A40DEB0202|"},
                                        {"chip Type B", "radioGOA", "FFAA00A40DEB0101|"},
                                        {"chip neither", "", ""}};
        for (const auto& c : chips)
            QTest::newRow(c[0]) << Command{"on_Chip_switch", c[1], chip, c[2] + reset + "#before#"};
        // The preset's ADC, SCAN (39 bytes) and GOA (143 bytes) frames, each applied by
        // SystemReset. Values: the model; integration time, charge, video rate and board
        // frame period (ms) of the worker; integration time and charge of the window.
        const char* const ranges[][6] = {
            {"150nA", "radioButton", "0019F00019F001BFD2", "1", "1 166 25 9 112 166 25",
             "fps:9 INT0:166 INT1:166 CFG_REG:1bf GATE_IC_total_period:1111111"},
            {"50nA", "radioButton_2", "004E20004E2001BF9C", "2", "2 500 25 5 200 500 25",
             "fps:5 INT0:500 INT1:500 CFG_REG:1bf GATE_IC_total_period:2000000"},
            {"10nA", "radioButton_3", "00CB2000CB20019B72", "3", "3 1300 13 2 500 1300 13",
             "fps:2 INT0:1300 CFG_REG:19b GATE_IC_total_period:5000000 CLK_start:25200"},
            {"1nA", "radioButton_4", "027100027100018067", "4", "4 4000 4 1 2000 4000 4",
             "fps:0 INT0:4000 INT1:4000 CFG_REG:180 GATE_IC_total_period:20000000"}};
        QTest::newRow("no range chosen")
            << Command{"onCurrentSetting", "", "", "#?*:??:?? current set #"};
        for (const auto& r : ranges) {
            const QString result =
                QString("FFAA00A00DEB%1|%2FFAA00A3%3|%2FFAA00A2%4|%2#?*:??:?? current set #%5\n*")
                    .arg(r[2], reset, QString(70, '?'), QString(278, '?'), r[3]);
            QTest::newRow(r[0]) << Command{"onCurrentSetting", r[1], "", result, r[4], r[5]};
        }
    }

    void commands()
    {
        QFETCH(Command, command);
        const Tessary_VideoThread* w = window_->videoThread;
        const auto values = [&] {
            return QString::asprintf("%d %d %d %d %d %d %d", developer_mode->model,
                                     w->integrationTime.load(), w->fullScaleCharge.load(),
                                     w->frameRate.load(), w->boardFramePeriodMs.load(),
                                     window_->integrationTime, window_->fullScaleCharge);
        };
        // As the window started: nothing has run before the first row.
        static const QString powerOn = values();
        isConnected = !command.setup.startsWith("offline");
        isRuning = command.setup.endsWith("running");
        const QStringList setup = command.setup.split(';', Qt::SkipEmptyParts);
        for (QRadioButton* radio : window_->findChildren<QRadioButton*>()) {
            radio->setAutoExclusive(false);
            radio->setChecked(setup.contains(radio->objectName()));
        }
        for (const QString& item : setup)
            if (auto* field = window_->findChild<QLineEdit*>(item.section('=', 0, 0)))
                field->setText(item.section('=', 1));
        const bool unplugged = setup.contains("unplugged");
        if (unplugged)
            boardsim::Bus::instance().detach("TS256A01");
        window_->batteryTimer.start();
        BoxCatcher boxes;
        StreamCapture capture;
        QVERIFY(QMetaObject::invokeMethod(window_, command.slot, Qt::DirectConnection));
        QCOMPARE(boxes.texts().join('\n'), command.box);
        const QString seen = sentHex(*board_) + "#" + window_->ui.label_save->text() + "#" +
                             QString::fromStdString(capture.text());
        const QRegularExpression pattern(
            QRegularExpression::wildcardToRegularExpression(command.result));
        QVERIFY2(pattern.match(seen).hasMatch(), qPrintable(seen));
        // Again however the command ended, unless the link was found lost.
        QCOMPARE(window_->batteryTimer.isActive(), !unplugged);
        if (command.values.isEmpty())
            return;
        QCOMPARE(values(), command.values);
        // Until a range is chosen, the first range's values hold (model 0).
        if (command.values.startsWith("1 "))
            QCOMPARE(powerOn, "0" + command.values.mid(1));

        // End to end, the board's answer in pieces and behind a frame chunk nobody took.
        board_->setDeliveryPieces(100, 7);
        board_->setPaced(false);
        DWORD count = 0, tx = 0, events = 0;
        writeTo(fthandle1, request(0, 0));
        developer_mode->on_ReadParam_Clicked();
        const QStringList lines = developer_mode->ui->textEdit->toPlainText().split('\n');
        for (const QString& line : command.readBack.split(' '))
            QVERIFY2(lines.contains(line), qPrintable(line));
        // Nothing is left behind for the next reader.
        QCOMPARE(FT_GetStatus(fthandle1, &count, &tx, &events), FT_STATUS(FT_OK));
        QCOMPARE(count, DWORD(0));
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"

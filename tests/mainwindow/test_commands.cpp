// The main window's configuring commands (voltages, chip type, current
// range) as the board receives them, their guards, the battery poll around
// them, and the window's copies of the voltage codec.
#define DEVFORM_UI_HEADER "ui_developer_mode.h"
#include DEVFORM_UI_HEADER

#include "Bus.h"
#include "Developer_Mode.h"
#include "RunningDataManager.h"
#include "SimSupport.h"
#include "TestSupport.h"
#include "tessary_interface.h"

#include <QApplication>
#include <QRegularExpression>
#include <QtTest>

#include <chrono>

using namespace std::chrono_literals;

namespace {

const QByteArray kReset = QByteArray::fromHex("FFAA01000DEB");
const QString kVoltages = "FFAA00A10DEB 8000 %1 8000 8000 8000 8000 E000 2000 8000 2000 9333 "
                          "9333 %2 8000 8333 4000 %3";

// Answers each modal box, noting its text and whether the battery poll ran.
class BoxWatch : public QObject
{
public:
    explicit BoxWatch(const QTimer& battery)
    {
        connect(&timer, &QTimer::timeout, this, [this, &battery] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    seen << box->text() + (battery.isActive() ? " (polling)" : "");
                    box->done(0);
                }
        });
        timer.start(5);
    }
    QStringList seen;
    QTimer timer;
};

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT
    TessaryWidget* window_ = nullptr;
    std::shared_ptr<boardsim::Board> board_;
    QStringList voltageDefaults_;

    QList<QLineEdit*> voltageFields() const
    {
        const Ui_Tessary_Interface& u = window_->ui;
        return {u.lineEdit_35, u.lineEdit_36, u.lineEdit_37,  u.lineEdit_40,
                u.lineEdit_41, u.lineEdit_42, u.lineEdit_von, u.lineEdit_voff,
                u.lineEdit_43, u.lineEdit_48, u.lineEdit_vdd, u.lineEdit_vin,
                u.lineEdit_49, u.lineEdit_50, u.lineEdit_vss, u.lineEdit_vcom};
    }
    QList<QRadioButton*> ranges() const
    {
        return {window_->ui.radioButton, window_->ui.radioButton_2, window_->ui.radioButton_3,
                window_->ui.radioButton_4};
    }
    static void checkOnly(QRadioButton* chosen, const QList<QRadioButton*>& group)
    {
        for (QRadioButton* b : group) {
            b->setAutoExclusive(false);
            b->setChecked(b == chosen);
            b->setAutoExclusive(true);
        }
    }
    bool statusSays(const QString& what) const
    {
        return QRegularExpression(R"(^\d{1,2}:\d\d:\d\d)" + what + "$")
            .match(window_->ui.label_save->text())
            .hasMatch();
    }

private slots:
    void initTestCase()
    {
        window_ = new TessaryWidget;
        for (QLineEdit* field : voltageFields())
            voltageDefaults_ << field->text();
    }
    void cleanupTestCase() { delete window_; }
    void init()
    {
        RunningDataManager::instance()->setRunningState(false);
        boardsim::Bus::instance().resetToEnvironment();
        board_ = boardsim::Bus::instance().board("TS256A01");
        QCOMPARE(FT_OpenEx(const_cast<char*>("TS256A01"), FT_OPEN_BY_SERIAL_NUMBER, &fthandle1),
                 FT_STATUS(FT_OK));
        isConnected = true;
        isRuning = false;
        window_->batteryTimer.stop();
        for (int i = 0; i < voltageDefaults_.size(); ++i)
            voltageFields()[i]->setText(voltageDefaults_[i]);
        window_->ui.label_save->setText("before");
        resetStdoutState();
    }
    void cleanup()
    {
        window_->batteryTimer.stop();
        FT_Close(fthandle1);
        fthandle1 = nullptr;
        isConnected = isRuning = false;
        QCOMPARE(board_->badChecksums(), uint64_t(0));
    }

    void guards_data()
    {
        QTest::addColumn<QByteArray>("slot");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("message");
        for (const char* slot : {"on_TFTConfig_click", "on_Chip_switch", "onCurrentSetting"}) {
            QTest::addRow("%s not connected", slot)
                << QByteArray(slot) << false << false << "No Device Connected";
            QTest::addRow("%s running", slot)
                << QByteArray(slot) << true << true << "Access prohibited during operation";
            QTest::addRow("%s both", slot)
                << QByteArray(slot) << false << true << "No Device Connected";
        }
    }

    void guards()
    {
        QFETCH(QByteArray, slot);
        QFETCH(bool, connected);
        QFETCH(bool, running);
        QFETCH(QString, message);
        isConnected = connected;
        isRuning = running;
        // A refused command leaves the battery poll as it was, running or not.
        if (connected)
            window_->batteryTimer.start();
        BoxCatcher boxes;
        QVERIFY(QMetaObject::invokeMethod(window_, slot.constData(), Qt::DirectConnection));
        QCOMPARE(boxes.texts(), QStringList{message});
        QVERIFY(hostWrites(*board_).isEmpty());
        QCOMPARE(window_->batteryTimer.isActive(), connected);
        QCOMPARE(window_->ui.label_save->text(), QStringLiteral("before"));
    }

    void voltages_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("printed");
        QTest::newRow("defaults") << -1 << ""
                                  << QByteArray::fromHex(
                                         kVoltages.arg("8000", "8000", "22").toLatin1())
                                  << "";
        QTest::newRow("blanks are 0 V")
            << 0 << "  " << QByteArray::fromHex(kVoltages.arg("8000", "8000", "22").toLatin1())
            << "";
        QTest::newRow("letters are 0 V")
            << 12 << "x" << QByteArray::fromHex(kVoltages.arg("8000", "8000", "22").toLatin1())
            << "";
        QTest::newRow("+20 V saturates")
            << 12 << "20" << QByteArray::fromHex(kVoltages.arg("8000", "FFFF", "A0").toLatin1())
            << "";
        QTest::newRow("-20 V prints 0")
            << 1 << "-20" << QByteArray::fromHex(kVoltages.arg("0000", "8000", "A2").toLatin1())
            << "0";
        QTest::newRow("-25 V is 0")
            << 1 << "-25" << QByteArray::fromHex(kVoltages.arg("0000", "8000", "A2").toLatin1())
            << "0";
        QTest::newRow("empty Vcom")
            << 15 << "" << QByteArray() << "Some GOA input fields are empty";
    }

    void voltages()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QByteArray, frame);
        QFETCH(QString, printed);
        if (field >= 0)
            voltageFields()[field]->setText(text);
        window_->batteryTimer.start();
        BoxWatch boxes(window_->batteryTimer);
        StdoutCapture capture;
        window_->on_TFTConfig_click();
        QVERIFY(window_->batteryTimer.isActive());
        QVERIFY(s.empty());
        if (frame.isEmpty()) {
            QCOMPARE(boxes.seen, QStringList{printed}); // shown while the poll is paused
            QVERIFY(hostWrites(*board_).isEmpty());
            QCOMPARE(window_->ui.label_save->text(), QStringLiteral("before"));
            return;
        }
        QVERIFY(boxes.seen.isEmpty());
        QCOMPARE(hostWrites(*board_), (Frames{frame, kReset}));
        QVERIFY(resetsFollowPause(*board_));
        QCOMPARE(QString::fromStdString(capture.text()), printed);
        QVERIFY(statusSays(" voltage set"));
    }

    void chipSwitch_data()
    {
        QTest::addColumn<QString>("checked");
        QTest::addColumn<Frames>("sent");
        QTest::newRow("Type A") << "radioSCAN"
                                << Frames{QByteArray::fromHex("FFAA00A40DEB0202"), kReset};
        QTest::newRow("Type B") << "radioGOA"
                                << Frames{QByteArray::fromHex("FFAA00A40DEB0101"), kReset};
        QTest::newRow("neither") << "" << Frames{kReset};
    }

    void chipSwitch()
    {
        QFETCH(QString, checked);
        QFETCH(Frames, sent);
        checkOnly(window_->findChild<QRadioButton*>(checked.isEmpty() ? "-" : checked),
                  {window_->ui.radioGOA, window_->ui.radioSCAN});
        window_->batteryTimer.start();
        const auto before = std::chrono::steady_clock::now();
        BoxWatch boxes(window_->batteryTimer);
        window_->on_Chip_switch();
        QCOMPARE(hostWrites(*board_), sent);
        QVERIFY(board_->hostLog().back().time - before >= 100ms);
        QVERIFY(resetsFollowPause(*board_));
        QCOMPARE(boxes.seen, QStringList{"Chip select success Need reset voltage"});
        QVERIFY(window_->batteryTimer.isActive());
    }

    void currentRange_data()
    {
        QTest::addColumn<int>("range");         // -1: none chosen
        QTest::addColumn<QList<int>>("values"); // integration time, charge, video rate
        QTest::addColumn<QByteArray>("adc");
        QTest::newRow("150nA") << 0 << QList<int>{166, 25, 9}
                               << QByteArray::fromHex("FFAA00A00DEB 0019F0 0019F0 01BF D2");
        QTest::newRow("50nA") << 1 << QList<int>{500, 25, 5}
                              << QByteArray::fromHex("FFAA00A00DEB 004E20 004E20 01BF 9C");
        QTest::newRow("10nA") << 2 << QList<int>{1300, 13, 2}
                              << QByteArray::fromHex("FFAA00A00DEB 00CB20 00CB20 019B 72");
        QTest::newRow("1nA") << 3 << QList<int>{4000, 4, 1}
                             << QByteArray::fromHex("FFAA00A00DEB 027100 027100 0180 67");
        QTest::newRow("none") << -1 << QList<int>{-1, -1, -1} << QByteArray();
    }

    void currentRange()
    {
        QFETCH(int, range);
        QFETCH(QList<int>, values);
        QFETCH(QByteArray, adc);
        checkOnly(range >= 0 ? ranges()[range] : nullptr, ranges());
        Tessary_VideoThread* worker = window_->videoThread;
        worker->integrationTime = worker->fullScaleCharge = worker->frameRate = -1;
        window_->integrationTime = window_->fullScaleCharge = -1;
        developer_mode->ftHandle = nullptr;
        developer_mode->model = -1;
        BoxCatcher boxes;
        StdoutCapture capture;
        window_->onCurrentSetting();
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE((QList<int>{worker->integrationTime, worker->fullScaleCharge, worker->frameRate}),
                 values);
        QCOMPARE((QList<int>{window_->integrationTime, window_->fullScaleCharge}),
                 values.mid(0, 2));
        QCOMPARE(developer_mode->model, range >= 0 ? range + 1 : -1);
        QCOMPARE(developer_mode->ftHandle, range >= 0 ? fthandle1 : nullptr);
        QVERIFY(statusSays(" current set "));
        QVERIFY(window_->batteryTimer.isActive());
        const Frames sent = hostWrites(*board_);
        if (range < 0) {
            QVERIFY(sent.isEmpty());
            return;
        }
        // The preset's ADC, SCAN and GOA frames, each applied by SystemReset.
        QVERIFY(capture.text().rfind(std::to_string(range + 1) + "\nmCFG_REG", 0) == 0);
        QCOMPARE(sent.size(), 6);
        QCOMPARE(sent[0], adc);
        QCOMPARE(sent[2].left(4) + sent[4].left(4), QByteArray::fromHex("FFAA00A3 FFAA00A2"));
        QCOMPARE(sent[1] + sent[3] + sent[5], kReset + kReset + kReset);
        QVERIFY(resetsFollowPause(*board_));
    }

    void currentRangeReadBack()
    {
        // End to end: the 10nA range configures the board, whose parameter
        // block then shows the preset's INT, CFG_REG, frame rate and timing.
        checkOnly(window_->ui.radioButton_3, ranges());
        BoxCatcher boxes;
        StdoutCapture capture;
        window_->onCurrentSetting();
        window_->batteryTimer.stop();
        developer_mode->on_ReadParam_Clicked();
        QVERIFY(boxes.boxes.isEmpty());
        const QStringList lines = developer_mode->ui->textEdit->toPlainText().split('\n');
        QCOMPARE(lines.size(), 29);
        for (const char* line :
             {"fps:2", "INT0:1300", "INT1:1300", "CFG_REG:19b", "GATE_IC_total_period:5000000",
              "CLK_start:25200", "CLK256_cycle:18000", "CLK256_high:9000", "CLK44_high:3600"})
            QVERIFY2(lines.contains(line), line);
    }

    void codecCopies()
    {
        // sum_16 reads like strtol in base 16.
        const std::pair<const char*, int> pairs[] = {
            {"bf", 191}, {"BF", 191}, {" f", 15}, {"-1", -1}, {"1g", 1}, {"zz", 0}, {"", 0}};
        for (const auto& [text, value] : pairs)
            QCOMPARE(window_->sum_16(text), value);
        const unsigned char bytes[] = {0xFF, 0x02};
        QCOMPARE(window_->checkTFTSum(bytes, 2), 1);
        QCOMPARE(window_->checkTFTSum(bytes, 0), 0);
        for (double v : {3.0, 20.0, 0.00030517578125, -1e12})
            QCOMPARE(window_->double2int(v), developer_mode->double2int(v));
        unsigned char out[3] = {0xAA, 0xAA, 0xAA};
        StdoutCapture capture;
        QByteArray seen;
        for (int value : {7, 65536, -1}) {
            window_->getcharFromTFT(value, out);
            seen += QByteArray(reinterpret_cast<char*>(out), 3);
        }
        QCOMPARE(seen, QByteArray::fromHex("0007AA FFFFAA 0000AA"));
        QCOMPARE(capture.text(), std::string("0"));
        QVERIFY(s.empty());
    }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"

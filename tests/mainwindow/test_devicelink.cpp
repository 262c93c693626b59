#include "Bus.h"
#include "RunningDataManager.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "tessary_interface.h"

#include <QtTest>

#include <memory>

using boardsim::Bus;

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kReadParams{0xFF, 0xAA, 0x00, 0xFF, 0x0D, 0xEB};
const Bytes kBattery{0xFF, 0xAA, 0x00, 0xA5, 0x0D, 0xEB};
const Bytes kChipA{0xFF, 0xAA, 0x00, 0xA4, 0x0D, 0xEB, 0x02, 0x02};

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace

class TestDeviceLink : public WindowFixture
{
    Q_OBJECT


private slots:
    void init() { startWindow(); }

    void cleanup() { stopWindow(); }

    void openSendsHandshakeChipFrameAndPollsBattery()
    {
        BoxCatcher boxes;
        QVERIFY(openBoard());
        QVERIFY(isConnected);
        QVERIFY(window->batteryTimer.isActive());
        QCOMPARE(window->batteryTimer.interval(), 3000);
        QCOMPARE(board->hostBytes(), concat({kReadParams, kBattery, kChipA, kBattery}));
        QCOMPARE(window->ui.label_bat_2->text(), QString("87%"));
        QCOMPARE(window->ui.label_batbg->maximumWidth(), 13);
        QCOMPARE(window->ui.label_batbg->minimumWidth(), 13);
        const auto settings = board->portSettings();
        QCOMPARE(settings.bitMask, uint8_t(0x00));
        QCOMPARE(settings.bitMode, uint8_t(0x40));
        QCOMPARE(settings.inTransferSize, 65536u);
        QCOMPARE(settings.flowControl, uint16_t(0x0100));
        QCOMPARE(settings.readTimeoutMs, 2000u);
        QCOMPARE(settings.writeTimeoutMs, 1000u);
        QVERIFY(boxes.boxes.isEmpty());
    }

    void openRefusals_data()
    {
        QTest::addColumn<QString>("boards");
        QTest::addColumn<int>("answerDelayMs");
        QTest::newRow("no board listed") << "" << 0;
        QTest::newRow("answer after the ten tries") << "TS256A01" << 400;
    }
    void openRefusals()
    {
        QFETCH(QString, boards);
        QFETCH(int, answerDelayMs);
        qputenv("TESSARY_SIM_BOARDS", boards.toUtf8());
        Bus::instance().resetToEnvironment();
        window = std::make_unique<TessaryWidget>();
        auto lateBoard = Bus::instance().board("TS256A01");
        if (lateBoard)
            lateBoard->setParamAnswerDelay(std::chrono::milliseconds(answerDelayMs));

        BoxCatcher boxes;
        window->on_Open_Close_click();
        QCOMPARE(boxes.texts(), QStringList{"No Device Connected"});
        QCOMPARE(boxes.boxes.first().title, QString());
        QCOMPARE(window->ui.pushButton_5->text(), QString("Open"));
        QVERIFY(!isConnected);
        QVERIFY(!window->batteryTimer.isActive());
        if (lateBoard) {
            QVERIFY(!lateBoard->isOpen());
            QCOMPARE(lateBoard->hostBytes(), kReadParams);
        }
    }

    void closeSendsNothing()
    {
        QVERIFY(openBoard());
        board->clearHostLog();
        window->on_Open_Close_click();
        QCOMPARE(window->ui.pushButton_5->text(), QString("Open"));
        QVERIFY(!isConnected);
        QVERIFY(!window->batteryTimer.isActive());
        QVERIFY(!board->isOpen());
        QVERIFY(board->hostBytes().empty());
    }

    void batteryGauge_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("text");
        QTest::newRow("100") << 100 << 16 << "100%";
        QTest::newRow("45") << 45 << 7 << "45%";
        QTest::newRow("0") << 0 << 0 << "0%";
        QTest::newRow("255") << 255 << 40 << "255%";
    }
    void batteryGauge()
    {
        QFETCH(int, percent);
        QFETCH(int, width);
        QFETCH(QString, text);
        QVERIFY(openBoard());
        board->setBattery(uint8_t(percent));
        window->getBattery();
        QCOMPARE(window->ui.label_batbg->maximumWidth(), width);
        QCOMPARE(window->ui.label_batbg->minimumWidth(), width);
        QCOMPARE(window->ui.label_bat_2->text(), text);
        QVERIFY(window->batteryTimer.isActive());
    }

    void lostLinkFoundByBatteryPoll_data()
    {
        QTest::addColumn<bool>("detach");
        QTest::newRow("no battery answer") << false;
        QTest::newRow("board unplugged") << true;
    }
    void lostLinkFoundByBatteryPoll()
    {
        QFETCH(bool, detach);
        QVERIFY(openBoard());
        if (detach)
            Bus::instance().detach("TS256A01");
        else
            board->setBatterySilent(true);

        BoxCatcher boxes;
        window->getBattery();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes.first().title, QString("Error"));
        QCOMPARE(boxes.boxes.first().text, QString("断开连接"));
        QCOMPARE(window->ui.pushButton_5->text(), QString("Open"));
        QVERIFY(!isConnected);
        QVERIFY(!window->batteryTimer.isActive());
        QVERIFY(!board->isOpen());
    }

    void failedBatteryReadEndsPollQuietly()
    {
        QVERIFY(openBoard());
        board->setReadsFail(true);
        const QString before = window->ui.label_bat_2->text();
        BoxCatcher boxes;
        window->getBattery();
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(window->ui.label_bat_2->text(), before);
        QVERIFY(window->batteryTimer.isActive());
        QVERIFY(isConnected);
    }

    void workerLossIgnoredWhileDisplayOff()
    {
        QVERIFY(openBoard());
        BoxCatcher boxes;
        window->displayOff = true;
        window->disConnectReact();
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(window->ui.pushButton_5->text(), QString("Close"));
        QVERIFY(isConnected);
    }

    void workerLossResetsTheWindow()
    {
        QVERIFY(openBoard());
        isRuning = true;
        runningDataManager->setRunningState(true);
        window->displayOff = false;
        BoxCatcher boxes;
        window->disConnectReact();
        QCOMPARE(boxes.texts(), QStringList{"断开连接"});
        QCOMPARE(window->ui.pushButton_5->text(), QString("Open"));
        QVERIFY(!isConnected);
        QVERIFY(!isRuning);
        QVERIFY(!runningDataManager->getRunningState());
        QCOMPARE(window->ui.label_Running->text(), QString("   Stop"));
        QCOMPARE(window->ui.pushButton_2->text(), QString("Capture"));
        QCOMPARE(window->ui.isRunning->styleSheet(),
                 QString("QPushButton { border-image: url(:/Image/images/tip_stop.png);}"));
        QVERIFY(!board->isOpen());
    }

    void relistingAfterDeviceChange()
    {
        window->devicePollTimer.start(1000);
        qputenv("TESSARY_SIM_BOARDS", "");
        Bus::instance().resetToEnvironment();
        window->PollDevices();
        QCOMPARE(window->ui.comboBox->count(), 1);
        QCOMPARE(window->ui.comboBox->itemText(0), QString(" NO Devices "));
        QVERIFY(window->devicePollTimer.isActive());
        Bus::instance().attach("TS256Z09");
        window->PollDevices();
        QCOMPARE(window->ui.comboBox->itemText(0), QString("TS256Z09"));
        QVERIFY(!window->devicePollTimer.isActive());
    }
};

QTEST_MAIN(TestDeviceLink)
#include "test_devicelink.moc"

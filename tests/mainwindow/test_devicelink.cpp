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

    // Every way an open can fail ends closed, with one box.
    void openFailures_data()
    {
        QTest::addColumn<QString>("boards");
        QTest::addColumn<int>("answerDelayMs");
        QTest::addColumn<bool>("batterySilent");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("sent"); // hexadecimal
        QTest::newRow("no board listed")
            << "" << 0 << false << "No Device Connected" << QByteArray();
        QTest::newRow("answer after the ten tries")
            << "TS256A01" << 400 << false << "No Device Connected" << QByteArray("ffaa00ff0deb");
        // The first battery poll finds the link lost: the open goes no further.
        QTest::newRow("lost right after the handshake")
            << "TS256A01" << 0 << true << "断开连接" << QByteArray("ffaa00ff0debffaa00a50deb");
    }
    void openFailures()
    {
        QFETCH(QString, boards);
        QFETCH(int, answerDelayMs);
        QFETCH(bool, batterySilent);
        QFETCH(QString, box);
        QFETCH(QByteArray, sent);
        qputenv("TESSARY_SIM_BOARDS", boards.toUtf8());
        Bus::instance().resetToEnvironment();
        window = std::make_unique<TessaryWidget>();
        auto board = Bus::instance().board("TS256A01");
        if (board) {
            board->setParamAnswerDelay(std::chrono::milliseconds(answerDelayMs));
            board->setBatterySilent(batterySilent);
        }

        BoxCatcher boxes;
        window->on_Open_Close_click();
        QCOMPARE(boxes.texts(), QStringList{box});
        QCOMPARE(window->ui.pushButton_5->text(), QString("Open"));
        QVERIFY(!isConnected);
        QVERIFY(!window->batteryTimer.isActive());
        if (board) {
            QVERIFY(!board->isOpen());
            const Bytes bytes = board->hostBytes();
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())),
                     QByteArray::fromHex(sent));
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
        QTest::addColumn<bool>("stray"); // an answer nobody took is still queued
        QTest::newRow("100") << 100 << 16 << "100%" << false;
        QTest::newRow("45") << 45 << 7 << "45%" << false;
        QTest::newRow("0") << 0 << 0 << "0%" << false;
        QTest::newRow("255") << 255 << 40 << "255%" << false;
        QTest::newRow("87 behind a frame chunk") << 87 << 13 << "87%" << true;
    }
    void batteryGauge()
    {
        QFETCH(int, percent);
        QFETCH(int, width);
        QFETCH(QString, text);
        QFETCH(bool, stray);
        QVERIFY(openBoard());
        board->setBattery(uint8_t(percent));
        board->setPaced(false);
        board->pushFrame(std::vector<uint8_t>(4 * 65536, 0x54)); // 84
        if (stray) {
            DWORD written = 0;
            FT_Write(fthandle1, const_cast<char*>("\xFF\xAA\x00\x00\x0D\xEB"), 6, &written);
        }
        window->getBattery();
        QCOMPARE(window->ui.label_batbg->maximumWidth(), width);
        QCOMPARE(window->ui.label_batbg->minimumWidth(), width);
        QCOMPARE(window->ui.label_bat_2->text(), text);
        QVERIFY(window->batteryTimer.isActive());
    }

    // A poll without an answer, or on an unplugged board, closes the window's
    // link with one box; a failed read only ends the poll.
    void batteryPollFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("lost");
        QTest::newRow("no battery answer") << "silent" << true;
        QTest::newRow("board unplugged") << "unplugged" << true;
        QTest::newRow("read fails") << "reads fail" << false;
    }
    void batteryPollFailures()
    {
        QFETCH(QString, fault);
        QFETCH(bool, lost);
        QVERIFY(openBoard());
        if (fault == "unplugged")
            Bus::instance().detach("TS256A01");
        board->setBatterySilent(fault == "silent");
        board->setReadsFail(fault == "reads fail");

        BoxCatcher boxes;
        window->getBattery();
        QCOMPARE(boxes.texts(), lost ? QStringList{"断开连接"} : QStringList());
        if (lost)
            QCOMPARE(boxes.boxes.first().title, QString("Error"));
        QCOMPARE(window->ui.pushButton_5->text(), QString(lost ? "Open" : "Close"));
        QCOMPARE(isConnected, !lost);
        QCOMPARE(window->batteryTimer.isActive(), !lost);
        QCOMPARE(board->isOpen(), !lost);
        QCOMPARE(window->ui.label_bat_2->text(), QString("87%")); // from the open
    }

    // The worker's report of a lost board, unless the user stopped showing frames.
    void workerLoss_data()
    {
        QTest::addColumn<bool>("displayOff");
        QTest::newRow("capturing") << false;
        QTest::newRow("display off") << true;
    }
    void workerLoss()
    {
        QFETCH(bool, displayOff);
        QVERIFY(openBoard());
        isRuning = true;
        runningDataManager->setRunningState(true);
        window->displayOff = displayOff;
        BoxCatcher boxes;
        window->disConnectReact();
        if (displayOff) {
            QVERIFY(boxes.boxes.isEmpty());
            QCOMPARE(window->ui.pushButton_5->text(), QString("Close"));
            QVERIFY(isConnected && isRuning && board->isOpen());
            return;
        }
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

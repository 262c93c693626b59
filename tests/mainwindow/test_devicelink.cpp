// The window's link to the board: open and close with their bytes, the
// battery poll, and the reactions to a board that is lost.
#include "Bus.h"
#include "SimSupport.h"
#include "TestSupport.h"
#include "WindowFixture.h"
#include "tessary_interface.h"

#include <QtTest>

using boardsim::Bus;

namespace {

const QString kLost = "断开连接";

} // namespace

class TestDeviceLink : public WindowFixture
{
    Q_OBJECT

    // The link as the window shows it: button, flag, battery poll, board.
    QString link() const
    {
        return QStringList{window->ui.pushButton_5->text(), QString::number(isConnected),
                           QString::number(window->batteryTimer.isActive()),
                           board ? QString::number(board->isOpen()) : "-"}
            .join(' ');
    }

private slots:
    void init() { startWindow(); }

    void cleanup() { stopWindow(); }

    // An open ends open only after the handshake (an answer 2 ms late, which the
    // first tries miss, is well within ten tries of at least 1 ms each), chip type
    // A and two battery polls; every way it can fail ends closed, with one box.
    // Closing sends nothing.
    void open_data()
    {
        QTest::addColumn<QString>("boards");
        QTest::addColumn<int>("answerDelayMs");
        QTest::addColumn<bool>("batterySilent");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("written");
        const QString handshake = "FFAA00FF0DEB|", battery = "FFAA00A50DEB|";
        QTest::newRow("opened") << "TS256A01" << 2 << false << ""
                                << handshake + battery + "FFAA00A40DEB0202|" + battery;
        QTest::newRow("no board listed") << "" << 0 << false << "No Device Connected" << QString();
        // Ten seconds late: the tries are long over, however busy the machine.
        QTest::newRow("answer after the ten tries")
            << "TS256A01" << 10000 << false << "No Device Connected" << handshake;
        // The first battery poll finds the link lost: the open goes no further.
        QTest::newRow("lost right after the handshake")
            << "TS256A01" << 0 << true << kLost << handshake + battery;
    }
    void open()
    {
        QFETCH(QString, boards);
        QFETCH(int, answerDelayMs);
        QFETCH(bool, batterySilent);
        QFETCH(QString, box);
        QFETCH(QString, written);
        qputenv("TESSARY_SIM_BOARDS", boards.toUtf8());
        Bus::instance().resetToEnvironment();
        window = std::make_unique<TessaryWidget>();
        if ((board = Bus::instance().board("TS256A01"))) {
            board->setParamAnswerDelay(std::chrono::milliseconds(answerDelayMs));
            board->setBatterySilent(batterySilent);
        }

        BoxCatcher boxes;
        window->on_Open_Close_click();
        const bool opened = box.isEmpty();
        QCOMPARE(boxes.texts(), opened ? QStringList() : QStringList{box});
        QCOMPARE(link(), QString(opened ? "Close 1 1 1" : board ? "Open 0 0 0" : "Open 0 0 -"));
        QCOMPARE(board ? sentHex(*board) : QString(), written);
        if (!opened)
            return;
        const auto port = board->portSettings();
        QCOMPARE(QList<uint>({port.bitMask, port.bitMode, port.inTransferSize, port.flowControl,
                              port.readTimeoutMs, port.writeTimeoutMs,
                              uint(window->batteryTimer.interval())}),
                 QList<uint>({0x00, 0x40, 65536, 0x0100, 2000, 1000, 3000}));

        board->clearHostLog();
        window->on_Open_Close_click();
        QCOMPARE(link(), QString("Open 0 0 0"));
        QCOMPARE(sentHex(*board), QString());
    }

    // The gauge, also when an answer nobody took is still queued. A poll
    // without an answer, or on an unplugged board, closes the link with one
    // box; a failed read only ends the poll. The worker's report of a lost
    // board is ignored while no frames are shown.
    void batteryPoll_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("shown"); // the charge the board reports, when the poll gets it
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("lost");
        QTest::newRow("255") << "" << 255 << 40 << false;
        QTest::newRow("behind a frame chunk") << "stray" << 45 << 7 << false;
        // The board's 87 % as the open showed it.
        QTest::newRow("no answer") << "silent" << 87 << 13 << true;
        QTest::newRow("board unplugged") << "unplugged" << 87 << 13 << true;
        QTest::newRow("read fails") << "reads fail" << 87 << 13 << false;
        QTest::newRow("worker report, display off") << "worker" << 87 << 13 << false;
    }
    void batteryPoll()
    {
        QFETCH(QString, fault);
        QFETCH(int, shown);
        QFETCH(int, width);
        QFETCH(bool, lost);
        QVERIFY(openBoard());
        board->setBattery(uint8_t(shown));
        if (fault == "stray") {
            board->pushFrame(std::vector<uint8_t>(4 * 65536, 0x54)); // 84
            writeTo(fthandle1, request(0, 0));
        }
        if (fault == "unplugged")
            Bus::instance().detach("TS256A01");
        board->setBatterySilent(fault == "silent");
        board->setReadsFail(fault == "reads fail");

        BoxCatcher boxes;
        fault == "worker" ? window->disConnectReact() : window->getBattery();
        QCOMPARE(boxes.texts(), lost ? QStringList{kLost} : QStringList());
        QCOMPARE(boxes.boxes.value(0).title, QString(lost ? "Error" : ""));
        QCOMPARE(link(), QString(lost ? "Open 0 0 0" : "Close 1 1 1"));
        QCOMPARE(window->ui.label_bat_2->text(), QString::number(shown) + "%");
        const QWidget* gauge = window->ui.label_batbg;
        QCOMPARE(QSize(gauge->minimumWidth(), gauge->maximumWidth()), QSize(width, width));
    }
};

QTEST_MAIN(TestDeviceLink)
#include "test_devicelink.moc"

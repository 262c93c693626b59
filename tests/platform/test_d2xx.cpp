// The D2XX stand-in as the program sees it: every answer byte-exact,
// through the thirteen calls only (plus the board's test controls).
#include "Bus.h"
#include "d2xx.h"
#include "devicechange.h"

#include <QtTest>

#include <atomic>
#include <functional>
#include <thread>

using boardsim::Board;
using boardsim::Bus;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kChunk = 65536;
constexpr int kFrame = 4 * kChunk;
const char kSerial[] = "TS256A01";

QByteArray bytes(std::initializer_list<int> v)
{
    QByteArray b;
    for (int x : v)
        b.append(char(x));
    return b;
}

QByteArray request(int group, int code)
{
    return bytes({0xFF, 0xAA, group, code, 0x0D, 0xEB});
}

QByteArray be32(std::initializer_list<qint64> values)
{
    QByteArray b;
    for (qint64 v : values)
        b += bytes({int(v >> 24) & 0xFF, int(v >> 16) & 0xFF, int(v >> 8) & 0xFF, int(v) & 0xFF});
    return b;
}

// A register frame: head, payload and the low byte of the payload's sum.
QByteArray configFrame(int code, const QByteArray& payload, int checksumError = 0)
{
    int sum = 0;
    for (char c : payload)
        sum += uchar(c);
    return request(0x00, code) + payload + char((sum + checksumError) & 0xFF);
}

const QByteArray kReset = request(0x01, 0x00);
const QByteArray kBattery = request(0x00, 0xA5);
const QByteArray kReadParams = request(0x00, 0xFF);

const QByteArray kDefaultDac =
    bytes({0x80, 0, 0x80, 0, 0x80, 0,    0x80, 0,    0x80, 0, 0x80, 0, 0xE0, 0,    0x20, 0,
           0x80, 0, 0x20, 0, 0x93, 0x33, 0x93, 0x33, 0x80, 0, 0x80, 0, 0x83, 0x33, 0x40, 0});
const QByteArray kDefaultScan = be32({1111111, 5600, 4000, 2000, 1600, 800, 0, 0x001F001F});
const QByteArray kDefaultGoa =
    be32({4800, 1041600, 5600, 8800, 5600, 3200, 4800, 130, 9600, 3200, 4800, 129, 1111111}) +
    QByteArray(64, 0) + be32({1600, 5600, 3200, 3200, 0x001F001F});

QByteArray block(int mode, int fps, const QByteArray& adc, const QByteArray& dac,
                 const QByteArray& timing)
{
    QByteArray b =
        bytes({mode, fps, 0x00, 0x02, 0x00, 0x01}) + adc + QByteArray(3, 0) + dac + timing;
    return b + QByteArray(256 - b.size(), 0);
}

const QByteArray kDefaultAdc = bytes({0x00, 0x19, 0xF0, 0x00, 0x19, 0xF0, 0x01, 0xBF});
const QByteArray kDefaultBlock = block(2, 9, kDefaultAdc, kDefaultDac, kDefaultScan);

FT_STATUS send(FT_HANDLE h, const QByteArray& b)
{
    DWORD written = 0;
    return FT_Write(h, const_cast<char*>(b.data()), DWORD(b.size()), &written);
}

// Gathers n bytes the way the program does: a status query, then a read of
// the count it reported. Stops early on a failure or after the time limit.
QByteArray collect(FT_HANDLE h, int n, int limitMs = 10000, DWORD* largestStatus = nullptr,
                   int* reads = nullptr)
{
    QByteArray out;
    QByteArray buffer(n, 0);
    QDeadlineTimer deadline(limitMs);
    while (out.size() < n && !deadline.hasExpired()) {
        DWORD rx = 0, tx = 0, events = 0;
        if (FT_GetStatus(h, &rx, &tx, &events) != FT_OK)
            break;
        if (largestStatus)
            *largestStatus = std::max(*largestStatus, rx);
        const DWORD want = std::min<DWORD>(rx, DWORD(n - out.size()));
        DWORD got = 0;
        if (FT_Read(h, buffer.data(), want, &got) != FT_OK)
            break;
        if (got > 0 && reads)
            ++*reads;
        out.append(buffer.constData(), int(got));
    }
    return out;
}

std::vector<uint8_t> patternFrame(int salt)
{
    std::vector<uint8_t> f(kFrame);
    for (int i = 0; i < kFrame; ++i)
        f[i] = uint8_t(i * 131 + (i >> 8) + (i >> 16) * 57 + salt);
    return f;
}

QByteArray slice(const std::vector<uint8_t>& f, int from, int n)
{
    return QByteArray(reinterpret_cast<const char*>(f.data()) + from, n);
}

// Every call that takes a handle, with harmless arguments.
std::vector<std::pair<const char*, std::function<FT_STATUS(FT_HANDLE)>>> handleCalls()
{
    static char buffer[16];
    static DWORD count;
    return {
        {"ResetDevice", [](FT_HANDLE h) { return FT_ResetDevice(h); }},
        {"Purge", [](FT_HANDLE h) { return FT_Purge(h, FT_PURGE_RX | FT_PURGE_TX); }},
        {"SetBitMode", [](FT_HANDLE h) { return FT_SetBitMode(h, 0x00, 0x40); }},
        {"SetUSBParameters", [](FT_HANDLE h) { return FT_SetUSBParameters(h, 65536, 65536); }},
        {"SetFlowControl", [](FT_HANDLE h) { return FT_SetFlowControl(h, FT_FLOW_RTS_CTS, 0, 0); }},
        {"SetTimeouts", [](FT_HANDLE h) { return FT_SetTimeouts(h, 1000, 1000); }},
        {"Write", [](FT_HANDLE h) { return FT_Write(h, buffer, 6, &count); }},
        {"Read", [](FT_HANDLE h) { return FT_Read(h, buffer, 1, &count); }},
        {"Read0", [](FT_HANDLE h) { return FT_Read(h, buffer, 0, &count); }},
        {"GetStatus", [](FT_HANDLE h) { return FT_GetStatus(h, &count, &count, &count); }},
    };
}

} // namespace

class TestD2xx : public QObject
{
    Q_OBJECT

    std::shared_ptr<Board> board;
    FT_HANDLE h = nullptr;

    void open()
    {
        QCOMPARE(FT_OpenEx(const_cast<char*>(kSerial), FT_OPEN_BY_SERIAL_NUMBER, &h),
                 FT_STATUS(FT_OK));
    }

    // The next byte on the stream is a fresh battery answer: nothing unread before it.
    void expectOnlyBatteryNext()
    {
        board->setBattery(0x57);
        QCOMPARE(send(h, kBattery), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, 1), bytes({0x57}));
    }

private slots:
    void init()
    {
        qputenv(Bus::kEnvironmentVariable, "TS256A01");
        Bus::instance().resetToEnvironment();
        board = Bus::instance().board(kSerial);
        h = nullptr;
    }

    void cleanup()
    {
        if (h)
            FT_Close(h);
    }

    void deviceList_data()
    {
        QTest::addColumn<QByteArray>("env");
        QTest::addColumn<QStringList>("serials");
        QTest::newRow("none") << QByteArray("") << QStringList{};
        QTest::newRow("one") << QByteArray("TS256A01") << QStringList{"TS256A01"};
        QTest::newRow("three") << QByteArray("TS256A01, B2 ,0123456789ABCDEF")
                               << QStringList{"TS256A01", "B2", "0123456789ABCDE"};
    }
    void deviceList()
    {
        QFETCH(QByteArray, env);
        QFETCH(QStringList, serials);
        qputenv(Bus::kEnvironmentVariable, env);
        Bus::instance().resetToEnvironment();

        DWORD n = 99;
        QCOMPARE(FT_CreateDeviceInfoList(&n), FT_STATUS(FT_OK));
        QCOMPARE(int(n), serials.size());
        std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(n + 1);
        QCOMPARE(FT_GetDeviceInfoList(nodes.data(), &n), FT_STATUS(FT_OK));
        QCOMPARE(int(n), serials.size());
        for (int i = 0; i < serials.size(); ++i) {
            QCOMPARE(QString(nodes[i].SerialNumber), serials[i]);
            QCOMPARE(QString(nodes[i].Description), QString("Tessary TFT256"));
            QCOMPARE(nodes[i].Flags, ULONG(0));
        }
    }

    void deviceListShowsOpenBoard()
    {
        open();
        DWORD n = 0;
        QCOMPARE(FT_CreateDeviceInfoList(&n), FT_STATUS(FT_OK));
        FT_DEVICE_LIST_INFO_NODE node;
        QCOMPARE(FT_GetDeviceInfoList(&node, &n), FT_STATUS(FT_OK));
        QCOMPARE(node.Flags, ULONG(FT_FLAGS_OPENED));
        QCOMPARE(node.ftHandle, h);
    }

    void openFailures_data()
    {
        QTest::addColumn<QByteArray>("serial");
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("status");
        QTest::newRow("empty") << QByteArray("") << 1 << int(FT_DEVICE_NOT_FOUND);
        QTest::newRow("no devices") << QByteArray(" NO Devices ") << 1 << int(FT_DEVICE_NOT_FOUND);
        QTest::newRow("prefix") << QByteArray("TS256A0") << 1 << int(FT_DEVICE_NOT_FOUND);
        QTest::newRow("by description") << QByteArray("TS256A01") << 2 << int(FT_INVALID_PARAMETER);
        QTest::newRow("already open") << QByteArray("TS256A01") << 1 << int(FT_DEVICE_NOT_OPENED);
    }
    void openFailures()
    {
        QFETCH(QByteArray, serial);
        QFETCH(int, flags);
        QFETCH(int, status);
        open();
        FT_HANDLE other = nullptr;
        QCOMPARE(FT_OpenEx(serial.data(), DWORD(flags), &other), FT_STATUS(status));
        QCOMPARE(other, FT_HANDLE(nullptr));
    }

    void closeAndReopen()
    {
        open();
        QCOMPARE(send(h, kReadParams), FT_STATUS(FT_OK)); // left unread
        QCOMPARE(FT_Close(h), FT_STATUS(FT_OK));
        QVERIFY(!board->isOpen());
        FT_HANDLE again = nullptr;
        QCOMPARE(FT_OpenEx(const_cast<char*>(kSerial), FT_OPEN_BY_SERIAL_NUMBER, &again),
                 FT_STATUS(FT_OK));
        QVERIFY(again != h); // a new id: the old one stays dead
        QCOMPARE(FT_ResetDevice(h), FT_STATUS(FT_INVALID_HANDLE));
        h = again;
        expectOnlyBatteryNext(); // a new session starts with empty queues
    }

    void invalidHandles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("null") << "null";
        QTest::newRow("closed") << "closed";
        QTest::newRow("unknown") << "unknown";
        QTest::newRow("bus reset") << "reset";
    }
    void invalidHandles()
    {
        QFETCH(QString, kind);
        FT_HANDLE bad = nullptr;
        if (kind == "unknown") {
            static int somewhere;
            bad = &somewhere; // never dereferenced
        } else if (kind != "null") {
            open();
            bad = h;
            h = nullptr;
            if (kind == "closed")
                QCOMPARE(FT_Close(bad), FT_STATUS(FT_OK));
            else
                Bus::instance().resetToEnvironment();
        }
        for (const auto& call : handleCalls())
            QVERIFY2(call.second(bad) == FT_INVALID_HANDLE, call.first);
        QCOMPARE(FT_Close(bad), FT_STATUS(FT_INVALID_HANDLE));
    }

    void detachFailsEveryCallButClose()
    {
        open();
        Bus::instance().detach(kSerial);
        for (const auto& call : handleCalls())
            QVERIFY2(call.second(h) == FT_IO_ERROR, call.first);
        QCOMPARE(FT_Close(h), FT_STATUS(FT_OK));
        QCOMPARE(FT_Close(h), FT_STATUS(FT_INVALID_HANDLE));
        h = nullptr;
        FT_HANDLE again = nullptr;
        QCOMPARE(FT_OpenEx(const_cast<char*>(kSerial), FT_OPEN_BY_SERIAL_NUMBER, &again),
                 FT_STATUS(FT_DEVICE_NOT_FOUND));
    }

    void detachWakesBlockedRead()
    {
        open();
        QCOMPARE(FT_SetTimeouts(h, 600000, 1000), FT_STATUS(FT_OK));
        std::atomic<FT_STATUS> status{FT_OK};
        std::thread reader([&] {
            char c;
            DWORD got = 0;
            status = FT_Read(h, &c, 1, &got);
        });
        Bus::instance().detach(kSerial);
        reader.join();
        QCOMPARE(status.load(), FT_STATUS(FT_IO_ERROR));
    }

    void portSettingsRecorded()
    {
        open();
        QCOMPARE(board->portSettings().readTimeoutMs, 1000u);
        QCOMPARE(FT_ResetDevice(h), FT_STATUS(FT_OK));
        QCOMPARE(FT_Purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_STATUS(FT_OK));
        QCOMPARE(FT_SetBitMode(h, 0x00, 0x40), FT_STATUS(FT_OK));
        QCOMPARE(FT_SetUSBParameters(h, 65536, 65536), FT_STATUS(FT_OK));
        QCOMPARE(FT_SetFlowControl(h, FT_FLOW_RTS_CTS, 0, 0), FT_STATUS(FT_OK));
        QCOMPARE(FT_SetTimeouts(h, 2000, 1000), FT_STATUS(FT_OK));
        const auto p = board->portSettings();
        QCOMPARE(p.resets, 1u);
        QCOMPARE(int(p.bitMode), 0x40);
        QCOMPARE(p.inTransferSize, 65536u);
        QCOMPARE(p.outTransferSize, 65536u);
        QCOMPARE(p.flowControl, uint16_t(0x0100));
        QCOMPARE(p.readTimeoutMs, 2000u);
        QCOMPARE(p.writeTimeoutMs, 1000u);
    }

    void writesAreLogged()
    {
        open();
        DWORD written = 0;
        QByteArray frame = kBattery;
        QCOMPARE(FT_Write(h, frame.data(), 6, &written), FT_STATUS(FT_OK));
        QCOMPARE(written, DWORD(6));
        QCOMPARE(send(h, kReset), FT_STATUS(FT_OK));
        const auto log = board->hostLog();
        QCOMPARE(log.size(), std::size_t(2));
        QVERIFY(log[0].time <= log[1].time);
        const auto all = board->hostBytes();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(all.data()), int(all.size())),
                 kBattery + kReset);
        board->clearHostLog();
        QVERIFY(board->hostLog().empty());
    }

    void chunksOfPushedFrames()
    {
        open();
        const auto first = patternFrame(1), second = patternFrame(2);
        board->setPaced(false);
        board->pushFrame(first);
        board->pushFrame(second);
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(send(h, request(0x00, k)), FT_STATUS(FT_OK));
            QCOMPARE(collect(h, kChunk), slice(first, k * kChunk, kChunk));
        }
        // A chunk asked again is the same; chunk 0 starts the next frame.
        QCOMPARE(send(h, request(0x00, 2)), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, kChunk), slice(first, 2 * kChunk, kChunk));
        QCOMPARE(send(h, request(0x00, 0)), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, kChunk), slice(second, 0, kChunk));
        QCOMPARE(board->framesServed(), uint64_t(2));
        expectOnlyBatteryNext();
    }

    void generatedFrameIsTheScene()
    {
        open();
        board->setPaced(false);
        QByteArray frame;
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(send(h, request(0x00, k)), FT_STATUS(FT_OK));
            frame += collect(h, kChunk);
        }
        const auto expected = boardsim::renderScene(board->sceneSeed(), 0, 166);
        QCOMPARE(frame, slice(expected, 0, kFrame));
    }

    void parameterBlock_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("badChecksums");

        const QByteArray adc2 = bytes({0x00, 0x4E, 0x20, 0x00, 0x4E, 0x20, 0x01, 0xBF});
        const QByteArray dac = QByteArray(30, char(0x12)) + bytes({0xFF, 0xAA});
        const QByteArray goa5 = be32({8640, 1874880, 10080, 15840, 10080, 5760, 8640, 130, 17280,
                                      5760, 8640, 129, 2000000}) +
                                QByteArray(64, 0) + be32({2880, 10080, 5760, 5760, 0x00010002});
        const QByteArray scan2 = be32({5000000, 25200, 18000, 9000, 7200, 3600, 0, 0x001F001F});
        const QByteArray goaMode = request(0x00, 0xA4) + bytes({1, 1});

        QTest::newRow("defaults") << QByteArray() << kDefaultBlock << 0;
        QTest::newRow("adc") << configFrame(0xA0, adc2) + kReset
                             << block(2, 9, adc2, kDefaultDac, kDefaultScan) << 0;
        QTest::newRow("adc pending") << configFrame(0xA0, adc2) << kDefaultBlock << 0;
        QTest::newRow("adc then dac")
            << configFrame(0xA0, adc2) + kReset + configFrame(0xA1, dac) + kReset
            << block(2, 9, adc2, dac, kDefaultScan) << 0;
        QTest::newRow("dac") << configFrame(0xA1, dac) + kReset
                             << block(2, 9, kDefaultAdc, dac, kDefaultScan) << 0;
        QTest::newRow("scan") << configFrame(0xA3, scan2) + kReset
                              << block(2, 2, kDefaultAdc, kDefaultDac, scan2) << 0;
        QTest::newRow("goa mode") << goaMode + kReset
                                  << block(1, 9, kDefaultAdc, kDefaultDac, kDefaultGoa) << 0;
        QTest::newRow("goa in gate ic mode")
            << configFrame(0xA2, goa5) + kReset << kDefaultBlock << 0;
        QTest::newRow("goa") << configFrame(0xA2, goa5) + goaMode + kReset
                             << block(1, 5, kDefaultAdc, kDefaultDac, goa5) << 0;
        QTest::newRow("back to gate ic")
            << goaMode + kReset + request(0x00, 0xA4) + bytes({2, 2}) + kReset << kDefaultBlock
            << 0;
        QTest::newRow("odd mode ignored")
            << request(0x00, 0xA4) + bytes({1, 2}) + kReset << kDefaultBlock << 0;
        QTest::newRow("bad checksum applied") << configFrame(0xA0, adc2, 1) + kReset
                                              << block(2, 9, adc2, kDefaultDac, kDefaultScan) << 1;
    }
    void parameterBlock()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, expected);
        QFETCH(int, badChecksums);
        open();
        if (!sent.isEmpty())
            QCOMPARE(send(h, sent), FT_STATUS(FT_OK)); // packed in one write
        QCOMPARE(send(h, kReadParams), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, 256), expected);
        const auto now = board->paramBlock();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(now.data()), 256), expected);
        QCOMPARE(int(board->badChecksums()), badChecksums);
        expectOnlyBatteryNext();
    }

    void battery_data()
    {
        QTest::addColumn<int>("percent");
        QTest::newRow("default") << -1;
        QTest::newRow("0") << 0;
        QTest::newRow("45") << 45;
        QTest::newRow("255") << 255;
    }
    void battery()
    {
        QFETCH(int, percent);
        open();
        if (percent >= 0)
            board->setBattery(uint8_t(percent));
        QCOMPARE(send(h, kBattery), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, 1), bytes({percent >= 0 ? percent : 87}));
    }

    void framing_data()
    {
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addColumn<QByteArray>("answer");
        const QByteArray b = kBattery;
        QTest::newRow("whole") << QList<QByteArray>{b} << bytes({87});
        QList<QByteArray> single;
        for (char c : b)
            single << QByteArray(1, c);
        QTest::newRow("byte by byte") << single << bytes({87});
        QTest::newRow("split head")
            << QList<QByteArray>{b.left(1), b.mid(1, 3), b.mid(4)} << bytes({87});
        QTest::newRow("junk before")
            << QList<QByteArray>{bytes({0x00, 0xFF, 0x13, 0xAA}) + b} << bytes({87});
        QTest::newRow("trailing FF")
            << QList<QByteArray>{bytes({0x42, 0xFF}), b.mid(1)} << bytes({87});
        QTest::newRow("bad head end")
            << QList<QByteArray>{b.left(5) + char(0xEC) + b} << bytes({87});
        QTest::newRow("packed") << QList<QByteArray>{b + b + kReset + b} << bytes({87, 87, 87});
        // A request pattern inside a payload is payload, not a request.
        const QByteArray dac = configFrame(0xA1, b + QByteArray(26, 0));
        QTest::newRow("inside payload")
            << QList<QByteArray>{dac.left(20), dac.mid(20) + b} << bytes({87});
        QTest::newRow("unknown request")
            << QList<QByteArray>{request(0x00, 0x42) + b} << bytes({87});
    }
    void framing()
    {
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QByteArray, answer);
        open();
        for (const QByteArray& w : writes)
            QCOMPARE(send(h, w), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, answer.size()), answer);
        expectOnlyBatteryNext();
    }

    void readNeverReturnsMoreThanAsked()
    {
        open();
        QCOMPARE(send(h, kReadParams), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, 10), kDefaultBlock.left(10));
        QByteArray buffer(256, 'x');
        DWORD got = 99;
        QCOMPARE(FT_Read(h, buffer.data(), 0, &got), FT_STATUS(FT_OK));
        QCOMPARE(got, DWORD(0));
        DWORD rx = 0, tx = 0, ev = 0;
        QCOMPARE(FT_GetStatus(h, &rx, &tx, &ev), FT_STATUS(FT_OK));
        QCOMPARE(rx, DWORD(246));
        QCOMPARE(FT_Read(h, buffer.data(), 7, &got), FT_STATUS(FT_OK));
        QCOMPARE(got, DWORD(7));
        QCOMPARE(buffer.left(8), kDefaultBlock.mid(10, 7) + 'x');
    }

    void readTimesOutWithWhatIsThere()
    {
        open();
        QCOMPARE(FT_SetTimeouts(h, 50, 1000), FT_STATUS(FT_OK));
        QCOMPARE(send(h, kBattery), FT_STATUS(FT_OK));
        char buffer[4] = {};
        DWORD got = 0;
        const auto start = Clock::now();
        QCOMPARE(FT_Read(h, buffer, 4, &got), FT_STATUS(FT_OK));
        QVERIFY(Clock::now() - start >= std::chrono::milliseconds(50));
        QCOMPARE(got, DWORD(1));
        QCOMPARE(int(uchar(buffer[0])), 87);
    }

    void purgeDropsPendingAnswers()
    {
        open();
        board->setParamAnswerDelay(std::chrono::milliseconds(200));
        QCOMPARE(send(h, kReadParams + kBattery), FT_STATUS(FT_OK));
        QCOMPARE(FT_Purge(h, FT_PURGE_RX), FT_STATUS(FT_OK));
        board->setParamAnswerDelay(std::chrono::milliseconds(0));
        expectOnlyBatteryNext();
    }

    void pacedFramesFollowTheFramePeriod()
    {
        open();
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(send(h, request(0x00, k)), FT_STATUS(FT_OK));
            QCOMPARE(collect(h, kChunk).size(), kChunk);
        }
        QCOMPARE(send(h, request(0x00, 0)), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, kChunk).size(), kChunk);
        // 9 frames/s: 1,111,111 x 100 ns after the first frame, not sooner.
        const auto firstRequest = board->hostLog().front().time;
        QVERIFY(Clock::now() - firstRequest >= std::chrono::nanoseconds(111111100));
    }

    void slowTimingHoldsFramesUnlessUnpaced_data()
    {
        QTest::addColumn<bool>("paced");
        QTest::newRow("paced") << true;
        QTest::newRow("unpaced") << false;
    }
    void slowTimingHoldsFramesUnlessUnpaced()
    {
        QFETCH(bool, paced);
        open();
        board->setPaced(paced);
        // Total period 0x7FFFFFFF x 100 ns: a frame every 214 s.
        const QByteArray slow = be32({0x7FFFFFFF, 5600, 4000, 2000, 1600, 800, 0, 0x001F001F});
        QCOMPARE(send(h, configFrame(0xA3, slow) + kReset + request(0x00, 0)), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, kChunk).size(), kChunk); // the first frame comes at once
        // The battery answer queues behind the held frame, as on the wire.
        QCOMPARE(send(h, request(0x00, 0) + kBattery), FT_STATUS(FT_OK));
        if (paced) {
            QCOMPARE(FT_SetTimeouts(h, 100, 1000), FT_STATUS(FT_OK));
            QByteArray buffer(kChunk, 0);
            DWORD got = 1;
            QCOMPARE(FT_Read(h, buffer.data(), kChunk, &got), FT_STATUS(FT_OK));
            QCOMPARE(got, DWORD(0));
        } else {
            QCOMPARE(collect(h, kChunk + 1).size(), kChunk + 1);
        }
    }

    void readsFail()
    {
        open();
        QCOMPARE(send(h, kBattery), FT_STATUS(FT_OK));
        board->setReadsFail(true);
        char c;
        DWORD got = 5;
        QCOMPARE(FT_Read(h, &c, 0, &got), FT_STATUS(FT_IO_ERROR));
        QCOMPARE(FT_Read(h, &c, 1, &got), FT_STATUS(FT_IO_ERROR));
        QCOMPARE(got, DWORD(0));
        DWORD rx = 0, tx, ev;
        QCOMPARE(FT_GetStatus(h, &rx, &tx, &ev), FT_STATUS(FT_OK));
        QCOMPARE(send(h, kBattery), FT_STATUS(FT_OK));
        board->setReadsFail(false);
        QCOMPARE(collect(h, 2), bytes({87, 87}));
    }

    void silentBoardAnswersNothing()
    {
        open();
        board->setSilent(true);
        QCOMPARE(send(h, kReadParams + kBattery + request(0x00, 0)), FT_STATUS(FT_OK));
        QCOMPARE(FT_SetTimeouts(h, 50, 1000), FT_STATUS(FT_OK));
        char buffer[8];
        DWORD got = 1;
        QCOMPARE(FT_Read(h, buffer, 8, &got), FT_STATUS(FT_OK));
        QCOMPARE(got, DWORD(0));
        QCOMPARE(board->hostLog().size(), std::size_t(1));
        board->setSilent(false);
        expectOnlyBatteryNext();
    }

    void extraBytesAfterNextChunk()
    {
        open();
        const auto frame = patternFrame(3);
        board->setPaced(false);
        board->pushFrame(frame);
        board->injectExtraBytesAfterNextChunk(5);
        QCOMPARE(send(h, request(0x00, 0)), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, kChunk + 5), slice(frame, 0, kChunk) + QByteArray(5, char(0xEE)));
        QCOMPARE(send(h, request(0x00, 1)), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, kChunk), slice(frame, kChunk, kChunk));
        expectOnlyBatteryNext(); // only once
    }

    void lateParameterAnswer()
    {
        open();
        board->setParamAnswerDelay(std::chrono::milliseconds(300));
        QCOMPARE(send(h, kReadParams), FT_STATUS(FT_OK));
        const auto sent = board->hostLog().back().time;
        DWORD rx = 0, tx, ev;
        QDeadlineTimer deadline(10000);
        while (rx == 0 && !deadline.hasExpired())
            QCOMPARE(FT_GetStatus(h, &rx, &tx, &ev), FT_STATUS(FT_OK));
        QVERIFY(rx > 0);
        QVERIFY(Clock::now() - sent >= std::chrono::milliseconds(300));
        QCOMPARE(collect(h, 256), kDefaultBlock);
    }

    void batterySilence()
    {
        open();
        board->setBatterySilent(true);
        QCOMPARE(send(h, kBattery + kReadParams), FT_STATUS(FT_OK));
        QCOMPARE(collect(h, 256), kDefaultBlock);
    }

    void deliveryInPieces_data()
    {
        QTest::addColumn<int>("maxPiece");
        QTest::addColumn<unsigned>("seed");
        QTest::newRow("up to 100") << 100 << 1u;
        QTest::newRow("up to 7000") << 7000 << 2u;
        QTest::newRow("single bytes") << 1 << 3u;
    }
    void deliveryInPieces()
    {
        QFETCH(int, maxPiece);
        QFETCH(unsigned, seed);
        open();
        const auto frame = patternFrame(4);
        board->setPaced(false);
        board->pushFrame(frame);
        board->setDeliveryPieces(std::size_t(maxPiece), seed);
        QCOMPARE(send(h, kReadParams + request(0x00, 0)), FT_STATUS(FT_OK));
        DWORD largest = 0;
        int reads = 0;
        QCOMPARE(collect(h, 256 + kChunk, 60000, &largest, &reads),
                 kDefaultBlock + slice(frame, 0, kChunk));
        QVERIFY(largest <= DWORD(maxPiece));
        QVERIFY(reads >= (256 + kChunk) / maxPiece);
    }

    void concurrentChunksAndBattery()
    {
        open();
        board->setPaced(false);
        board->setBattery(0x57);
        constexpr int chunks = 12, queries = 40;
        std::atomic<int> failures{0};
        std::atomic<bool> queriesDone{false};
        std::thread gui([&] {
            for (int i = 0; i < queries; ++i) {
                DWORD n = 0, rx, tx, ev;
                if (send(h, kBattery) != FT_OK || FT_GetStatus(h, &rx, &tx, &ev) != FT_OK ||
                    FT_CreateDeviceInfoList(&n) != FT_OK)
                    ++failures;
            }
            queriesDone = true;
        });

        QByteArray buffer(2 * kChunk, 0);
        qint64 received = 0;
        int requested = 0;
        const qint64 total = qint64(chunks) * kChunk + queries;
        QDeadlineTimer deadline(60000);
        while (!(queriesDone && received == total) && !deadline.hasExpired()) {
            if (requested < chunks && received >= qint64(requested) * kChunk) {
                if (send(h, request(0x00, requested % 4)) != FT_OK)
                    ++failures;
                ++requested;
            }
            DWORD rx = 0, tx, ev, got = 0;
            if (FT_GetStatus(h, &rx, &tx, &ev) != FT_OK ||
                FT_Read(h, buffer.data(), std::min<DWORD>(rx, DWORD(buffer.size())), &got) != FT_OK)
                ++failures;
            received += got;
        }
        gui.join();
        QCOMPARE(failures.load(), 0);
        QCOMPARE(received, total);
        QCOMPARE(board->framesServed(), uint64_t(chunks / 4));
    }

    void deviceChangeMessages()
    {
        struct Seen
        {
            std::vector<std::pair<unsigned, uintptr_t>> messages;
            std::vector<QThread*> threads;
        } seen;
        auto record = [&seen](MSG* msg) {
            seen.messages.emplace_back(msg->message, msg->wParam);
            seen.threads.push_back(QThread::currentThread());
        };
        QObject receiver;
        auto* gone = new QObject;
        platform::subscribeDeviceChange(&receiver, record);
        platform::subscribeDeviceChange(gone, record);
        delete gone; // dropped: nothing may reach it

        Bus::instance().attach("TS256X09");
        QVERIFY(seen.messages.empty()); // queued, not called inside attach
        QTRY_COMPARE(seen.messages.size(), std::size_t(1));
        // From another thread, delivered in the receiver's.
        std::thread([] { Bus::instance().detach("TS256X09"); }).join();
        QTRY_COMPARE(seen.messages.size(), std::size_t(2));

        using Message = std::pair<unsigned, uintptr_t>;
        QCOMPARE(seen.messages[0], Message(WM_DEVICECHANGE, DBT_DEVICEARRIVAL));
        QCOMPARE(seen.messages[1], Message(WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE));
        QCOMPARE(seen.threads, (std::vector<QThread*>(2, QThread::currentThread())));
    }
};

QTEST_GUILESS_MAIN(TestD2xx)
#include "test_d2xx.moc"

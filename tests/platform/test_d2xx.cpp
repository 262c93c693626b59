// The D2XX stand-in and the simulated board as the program sees them: every
// answer byte-exact, through the D2XX calls only (plus the board's test
// controls).
#include "Bus.h"
#include "Scene.h"
#include "SimSupport.h"
#include "d2xx.h"
#include "devicechange.h"

#include <QtTest>

#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr int kChunk = 65536;
const char kSerial[] = "TS256B07"; // not the default: the bus reads the environment

QByteArray request(char group, char code)
{
    return QByteArray("\xFF\xAA") + group + code + "\x0D\xEB";
}

// A register frame: head, payload and the low byte of the payload's sum (plus an error).
QByteArray configFrame(char code, const QByteArray& payload, int checksumError = 0)
{
    int sum = checksumError;
    for (char c : payload)
        sum += uchar(c);
    return request(0x00, code) + payload + char(sum);
}

const QByteArray kBattery = request(0x00, char(0xA5));

// A frame to push whose chunks all differ.
const std::vector<uint8_t> kPattern = rawFrame([](int i) { return uint32_t(i) * 2654435761u; });

// Gathers n bytes: a status query and a read of the count it reported, which
// must come whole at once; with nothing queued, a read of all that is missing,
// which blocks until it has come or the read time-out has passed. Stops early
// on a failure or a read that brings nothing.
QByteArray collect(FT_HANDLE h, int n)
{
    QByteArray out(n, 0);
    DWORD rx = 0, got = 0, have = 0;
    for (; int(have) < n; have += got) {
        if (FT_GetStatus(h, &rx, &got, &got) != FT_OK)
            break;
        const DWORD want = rx ? std::min<DWORD>({rx, DWORD(n) - have, 1000}) : DWORD(n) - have;
        if (FT_Read(h, out.data() + have, want, &got) != FT_OK || got == 0 || (rx && got != want))
            break;
    }
    return out.left(int(have));
}

} // namespace

class TestD2xx : public QObject
{
    Q_OBJECT

    std::shared_ptr<boardsim::Board> board;
    FT_HANDLE h = nullptr;

    FT_STATUS send(const QByteArray& b)
    {
        DWORD n = 0;
        return FT_Write(h, const_cast<char*>(b.data()), DWORD(b.size()), &n);
    }

private slots:
    void init()
    {
        qputenv(boardsim::Bus::kEnvironmentVariable, kSerial);
        boardsim::Bus::instance().resetToEnvironment();
        board = boardsim::Bus::instance().board(kSerial);
        QCOMPARE(FT_OpenEx(const_cast<char*>(kSerial), FT_OPEN_BY_SERIAL_NUMBER, &h),
                 FT_STATUS(FT_OK));
        FT_HANDLE second = nullptr; // a board opens once
        QCOMPARE(FT_OpenEx(const_cast<char*>(kSerial), FT_OPEN_BY_SERIAL_NUMBER, &second),
                 FT_STATUS(FT_DEVICE_NOT_OPENED));
    }
    void cleanup() { FT_Close(h); }

    // Every call fails on a handle that is null, unknown or closed; on an
    // unplugged board's handle every call but FT_Close.
    void badHandles()
    {
        auto statuses = [](FT_HANDLE bad) {
            char buffer[6] = {};
            DWORD n = 0;
            return QList<FT_STATUS>{FT_Write(bad, buffer, 6, &n), FT_Read(bad, buffer, 1, &n),
                                    FT_GetStatus(bad, &n, &n, &n), FT_Close(bad)};
        };
        const FT_STATUS io = FT_IO_ERROR, invalid = FT_INVALID_HANDLE;
        boardsim::Bus::instance().detach(kSerial);
        QCOMPARE(statuses(h), (QList<FT_STATUS>{io, io, io, FT_OK}));
        static int somewhere;
        for (FT_HANDLE bad : {FT_HANDLE(nullptr), FT_HANDLE(&somewhere), h})
            QCOMPARE(statuses(bad), (QList<FT_STATUS>{invalid, invalid, invalid, invalid}));
    }

    // The writes and the exact answer, with one frame pushed. A row named after
    // a fault has that fault switched on.
    void answers_data()
    {
        QTest::addColumn<Frames>("writes");
        QTest::addColumn<QByteArray>("expected");
        auto row = [](const char* name, const Frames& writes, const QByteArray& expected) {
            QTest::newRow(name) << writes << expected;
        };
        auto chunk = [](char k) { return request(0, k); };
        auto mode = [](const char* twice) { return request(0, char(0xA4)) + twice; };
        auto block = [](char active, char fps, const QByteArray& adc, const QByteArray& dac,
                        const QByteArray& timing) { // the 256-byte parameter block
            return (QByteArray(1, active) + fps + QByteArray::fromHex("00020001") + adc +
                    QByteArray(3, 0) + dac + timing)
                .leftJustified(256, 0);
        };
        const QByteArray reset = request(0x01, 0x00), params = request(0x00, char(0xFF));
        // The power-on values.
        const QByteArray adc0 = QByteArray::fromHex("0019F0 0019F0 01BF");
        const QByteArray dac0 = QByteArray::fromHex(
            "8000 8000 8000 8000 8000 8000 E000 2000 8000 2000 9333 9333 8000 8000 8333 4000");
        // 1,111,111 x 100 ns (9 frames/s), 5600, 4000, 2000, 1600, 800, 0, trigger 31/31.
        const QByteArray scan0 = QByteArray::fromHex(
            "0010F447 000015E0 00000FA0 000007D0 00000640 00000320 00000000 001F001F");
        const QByteArray block0 = block(2, 9, adc0, dac0, scan0);
        const QByteArray f(reinterpret_cast<const char*>(kPattern.data()), 4 * kChunk);
        // The scene's frame 1 at an integration time of 20,000 ticks, 500 us.
        const auto scene = boardsim::renderScene(boardsim::Board(kSerial).sceneSeed(), 1, 500);
        const QByteArray scene1(reinterpret_cast<const char*>(scene.data()), kChunk);
        const QByteArray b = kBattery, adc = QByteArray::fromHex("004E20 004E20 01BF");
        const QByteArray dac = QByteArray(30, 0x12) + "\xFF\xAA"; // a head as payload
        const QByteArray scan = QByteArray::fromHex("004C4B40") + QByteArray(28, 3); // 2/s
        const QByteArray period = QByteArray::fromHex("001E8480"); // 2,000,000 x 100 ns: 5/s
        // GOA keeps its total period in the thirteenth field.
        const QByteArray goa = QByteArray(48, 1) + period + QByteArray(84, 2);
        row("chunks, one asked again", {chunk(0) + chunk(1) + chunk(2) + chunk(3) + chunk(2)},
            f + f.mid(2 * kChunk, kChunk));
        // The parameter block: the defaults, configuration held until SystemReset.
        row("defaults, pending", {configFrame(0xA0, adc) + mode("\x01\x01") + params}, block0);
        row("goa, odd mode ignored, back to gate ic, bad checksum applied",
            {configFrame(0xA2, goa) + mode("\x01\x01") + mode("\x02\x01") + reset + params +
             configFrame(0xA0, adc, 1) + configFrame(0xA1, dac) + configFrame(0xA3, scan) +
             mode("\x02\x02") + reset + params},
            block(1, 5, adc0, dac0, goa) + block(2, 2, adc, dac, scan));
        // Pacing at the active timing (200 ms), and the faults.
        // Chunk 0 starts the next frame: with the pushed one used, the scene.
        row("paced",
            {configFrame(0xA0, adc) + configFrame(0xA3, period + QByteArray(28, 0)) + reset +
             chunk(0) + chunk(0)},
            f.left(kChunk) + scene1);
        row("extra bytes", {chunk(0) + chunk(1)},
            f.left(kChunk) + QByteArray(5, char(0xEE)) + f.mid(kChunk, kChunk));
        // Holds back what came after; the battery byte is 87 by default.
        row("late", {params + b}, block0 + "\x57");
        // Silent for the first write, which still configures.
        row("silent", {configFrame(0xA0, adc) + reset + params + b + chunk(0), params},
            block(2, 9, adc, dac0, scan0));
        row("reopened", {b + chunk(0)}, ""); // no stale answer reaches the next reader
    }
    void answers()
    {
        QFETCH(Frames, writes);
        QFETCH(QByteArray, expected);
        const QByteArray fault = QTest::currentDataTag();
        board->pushFrame(kPattern);
        board->setPaced(fault == "paced");
        board->injectExtraBytesAfterNextChunk(fault == "extra bytes" ? 5 : 0);
        board->setParamAnswerDelay(fault == "late" ? 300ms : 0ms);
        board->setSilent(fault == "silent");
        for (const QByteArray& w : writes) {
            QCOMPARE(send(w), FT_STATUS(FT_OK));
            board->setSilent(false);
        }
        if (fault == "reopened") {
            FT_Close(h);
            QCOMPARE(FT_OpenEx(const_cast<char*>(kSerial), FT_OPEN_BY_SERIAL_NUMBER, &h),
                     FT_STATUS(FT_OK));
        }
        board->setBattery(45); // its answer comes right after: nothing else is left
        QCOMPARE(send(kBattery), FT_STATUS(FT_OK));
        DWORD rx = 0, got = 0; // the status never reports more than is there
        QVERIFY(FT_GetStatus(h, &rx, &got, &got) == FT_OK && rx <= DWORD(expected.size() + 1));
        QCOMPARE(collect(h, expected.size() + 1), expected + "\x2D");
        // Then nothing: a read ends at its time-out, successful and empty.
        QCOMPARE(FT_SetTimeouts(h, 20, 20), FT_STATUS(FT_OK));
        QCOMPARE(FT_Read(h, &rx, 1, &got), FT_STATUS(FT_OK));
        QCOMPARE(got, DWORD(0));
        const auto least = fault == "paced" ? 200ms : fault == "late" ? 300ms : 0ms;
        QVERIFY(std::chrono::steady_clock::now() - board->hostLog().front().time >= least);
        QCOMPARE(hostWrites(*board), writes + Frames{kBattery});
    }

    void twoThreadsOnOneBoard()
    {
        board->setPaced(false);
        int failures = 0; // read after join
        std::thread gui([&] {
            for (DWORD i = 0, n = 0; i < 40; ++i)
                failures += FT_Write(h, const_cast<char*>(kBattery.data()), 6, &n) != FT_OK;
        });
        int received = 0;
        for (int k = 0; k < 12; ++k)
            received += send(request(0, char(k % 4))) == FT_OK ? collect(h, kChunk).size() : 0;
        gui.join();
        received += collect(h, 12 * kChunk + 40 - received).size();
        QCOMPARE(QList<int>({failures, received, int(board->framesServed())}),
                 QList<int>({0, 12 * kChunk + 40, 3}));
    }

    void deviceChangeMessages()
    {
        QList<uintptr_t> seen;
        QObject receiver;
        platform::subscribeDeviceChange(&receiver, [&](MSG* msg) {
            QCOMPARE(QThread::currentThread(), receiver.thread());
            seen << (msg->message == WM_DEVICECHANGE ? msg->wParam : 0);
        });
        boardsim::Bus::instance().attach("TS256X09");
        boardsim::Bus::instance().attach("TS256X09"); // attached already: no second message
        std::thread([] { boardsim::Bus::instance().detach("TS256X09"); }).join();
        QTRY_COMPARE(seen, (QList<uintptr_t>{DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE}));
    }
};

QTEST_GUILESS_MAIN(TestD2xx)
#include "test_d2xx.moc"

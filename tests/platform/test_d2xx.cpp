// The D2XX stand-in and the simulated board as the program sees them: every
// answer byte-exact, through the D2XX calls only (plus the board's test
// controls).
#include "Bus.h"
#include "SimSupport.h"
#include "d2xx.h"

#include <QtTest>

#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr int kChunk = 65536;
const char kSerial[] = "TS256B07"; // not the default: the bus reads the environment

const QByteArray kBattery = request(0x00, 0xA5);

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

    // The writes and the exact answer: a parameter block that comes late, and
    // a frame chunk asked for just before the handle is opened anew.
    void answers_data()
    {
        QTest::addColumn<Frames>("writes");
        QTest::addColumn<QByteArray>("expected");
        // Mode 2 at 9 frames/s, version 2.1; then ADC, DAC and SCAN timing.
        const QByteArray block0 =
            QByteArray::fromHex("02 09 00020001 0019F0 0019F0 01BF 000000"
                                "8000 8000 8000 8000 8000 8000 E000 2000 "
                                "8000 2000 9333 9333 8000 8000 8333 4000"
                                "0010F447 000015E0 00000FA0 000007D0 00000640 00000320 "
                                "00000000 001F001F")
                .leftJustified(256, 0);
        // The block at power-on, late; it holds back what came after. The
        // battery byte is 87 by default.
        QTest::newRow("late") << Frames{request(0x00, 0xFF) + kBattery} << block0 + "\x57";
        // No stale answer reaches the next reader.
        QTest::newRow("reopened") << Frames{kBattery + request(0, 0)} << QByteArray();
    }
    void answers()
    {
        QFETCH(Frames, writes);
        QFETCH(QByteArray, expected);
        const QByteArray tag = QTest::currentDataTag();
        board->setPaced(false);
        board->setParamAnswerDelay(tag == "late" ? 300ms : 0ms);
        for (const QByteArray& w : writes)
            QCOMPARE(writeTo(h, w), FT_STATUS(FT_OK));
        if (tag == "reopened") {
            FT_Close(h);
            QCOMPARE(FT_OpenEx(const_cast<char*>(kSerial), FT_OPEN_BY_SERIAL_NUMBER, &h),
                     FT_STATUS(FT_OK));
        }
        board->setBattery(45); // its answer comes right after: nothing else is left
        QCOMPARE(writeTo(h, kBattery), FT_STATUS(FT_OK));
        DWORD rx = 0, got = 0; // the status never reports more than is there
        QVERIFY(FT_GetStatus(h, &rx, &got, &got) == FT_OK && rx <= DWORD(expected.size() + 1));
        QCOMPARE(collect(h, expected.size() + 1), expected + "\x2D");
        // Then nothing: a read ends at its time-out, successful and empty.
        QCOMPARE(FT_SetTimeouts(h, 20, 20), FT_STATUS(FT_OK));
        QVERIFY(FT_Read(h, &rx, 1, &got) == FT_OK && got == 0);
        const auto least = tag == "late" ? 300ms : 0ms;
        QVERIFY(std::chrono::steady_clock::now() - board->hostLog().front().time >= least);
        QCOMPARE(hostWrites(*board), writes + Frames{kBattery});
    }

    // Pushed frames go first; a held frame then stands in for the scene, sent
    // whole again and again, until it is released. The scene goes on with the
    // number of frames served.
    void heldFrame()
    {
        board->setPaced(false);
        const auto filled = [](char c) { return QByteArray(4 * kChunk, c); };
        const auto raw = [](const QByteArray& frame) {
            return std::vector<uint8_t>(frame.begin(), frame.end());
        };
        board->pushFrame(raw(filled(1)));
        board->holdFrame(raw(filled(2)));
        QByteArray sent;
        for (int f = 0; f < 4; ++f) {
            if (f == 3)
                board->releaseFrame();
            for (int k = 0; k < 4; ++k)
                sent += writeTo(h, request(0, k)) == FT_OK ? collect(h, kChunk) : QByteArray();
        }
        const auto scene =
            boardsim::renderScene(board->sceneSeed(), 3, board->config().integrationMicros());
        QVERIFY(sent == filled(1) + filled(2) + filled(2) +
                            QByteArray(reinterpret_cast<const char*>(scene.data()), 4 * kChunk));
        QVERIFY_EXCEPTION_THROWN(board->holdFrame(std::vector<uint8_t>(7)), std::invalid_argument);
    }

    // The hook runs once each write is logged, numbered from the last clearing
    // of the log, before the board answers it.
    void writeHook()
    {
        QList<int> seen; // per write: its number, then the bytes queued when the hook ran
        board->setWriteHook([&](std::size_t written) {
            DWORD rx = 0, tx = 0, events = 0;
            FT_GetStatus(h, &rx, &tx, &events);
            seen << int(written) << int(rx);
        });
        for (int i = 0; i < 3; ++i) {
            if (i == 2)
                board->clearHostLog();
            QCOMPARE(writeTo(h, kBattery), FT_STATUS(FT_OK));
        }
        board->setWriteHook(nullptr);
        QCOMPARE(writeTo(h, kBattery), FT_STATUS(FT_OK));
        QCOMPARE(seen, (QList<int>{1, 0, 2, 1, 1, 2}));
        QCOMPARE(collect(h, 4), QByteArray(4, 0x57));
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
            received += writeTo(h, request(0, k % 4)) == FT_OK ? collect(h, kChunk).size() : 0;
        gui.join();
        received += collect(h, 12 * kChunk + 40 - received).size();
        QCOMPARE(QList<int>({failures, received, int(board->framesServed())}),
                 QList<int>({0, 12 * kChunk + 40, 3}));
    }
};

QTEST_GUILESS_MAIN(TestD2xx)
#include "test_d2xx.moc"

// The simulated bus and the scene, without the D2XX layer.
#include "Board.h"
#include "Bus.h"
#include "Scene.h"

#include <QtTest>

#include <algorithm>
#include <thread>

using namespace boardsim;

namespace {

uint32_t pixel(const std::vector<uint8_t>& f, std::size_t i)
{
    return uint32_t(f[4 * i]) | uint32_t(f[4 * i + 1]) << 8 | uint32_t(f[4 * i + 2]) << 16 |
           uint32_t(f[4 * i + 3]) << 24;
}

double rowMean(const std::vector<uint8_t>& f, int row)
{
    double sum = 0;
    for (int x = 0; x < kSide; ++x)
        sum += pixel(f, std::size_t(row) * kSide + x);
    return sum / kSide;
}

std::size_t brightest(const std::vector<uint8_t>& f)
{
    std::size_t best = 0;
    for (std::size_t i = 1; i < kPixels; ++i)
        if (pixel(f, i) > pixel(f, best))
            best = i;
    return best;
}

} // namespace

class TestBoardSim : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        qputenv(Bus::kEnvironmentVariable, "TS256A01");
        Bus::instance().setDeviceChangeHook({});
        Bus::instance().resetToEnvironment();
    }

    void environmentList_data()
    {
        QTest::addColumn<bool>("set");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QStringList>("serials");
        QTest::newRow("unset") << false << QByteArray() << QStringList{"TS256A01"};
        QTest::newRow("empty") << true << QByteArray("") << QStringList{};
        QTest::newRow("blank") << true << QByteArray("  ") << QStringList{};
        QTest::newRow("one") << true << QByteArray("B7") << QStringList{"B7"};
        QTest::newRow("trimmed") << true << QByteArray(" A1 ,\tB2 ") << QStringList{"A1", "B2"};
        QTest::newRow("empty items") << true << QByteArray("A1,,B2,") << QStringList{"A1", "B2"};
        QTest::newRow("duplicate") << true << QByteArray("A1,A1") << QStringList{"A1"};
        QTest::newRow("cut to 15")
            << true << QByteArray("0123456789ABCDEFGH") << QStringList{"0123456789ABCDE"};
    }
    void environmentList()
    {
        QFETCH(bool, set);
        QFETCH(QByteArray, value);
        QFETCH(QStringList, serials);
        if (set)
            qputenv(Bus::kEnvironmentVariable, value);
        else
            qunsetenv(Bus::kEnvironmentVariable);
        Bus::instance().resetToEnvironment();
        QStringList got;
        for (const std::string& s : Bus::instance().serials())
            got << QString::fromStdString(s);
        QCOMPARE(got, serials);
    }

    void attachDetachRaiseHook()
    {
        std::vector<bool> events;
        Bus& bus = Bus::instance();
        bus.setDeviceChangeHook([&](bool arrived) { events.push_back(arrived); });

        const auto b = bus.attach("NEW1");
        QCOMPARE(bus.attach("NEW1"), b); // already attached: same board, no event
        QVERIFY(!bus.attach(""));        // no serial number: not attachable
        QCOMPARE(bus.serials(), (std::vector<std::string>{"TS256A01", "NEW1"}));
        QCOMPARE(bus.board("NEW1"), b);

        bus.detach("NEW1");
        bus.detach("NEVER"); // unknown: nothing
        QVERIFY(b->isDetached());
        QVERIFY(!bus.board("NEW1"));
        QCOMPARE(events, (std::vector<bool>{true, false}));

        // Raised from whichever thread plugs the board.
        std::thread([&] { bus.attach("NEW2"); }).join();
        bus.resetToEnvironment();
        QCOMPARE(events, (std::vector<bool>{true, false, true}));
        QCOMPARE(bus.serials(), std::vector<std::string>{"TS256A01"});
    }

    void resetEndsSessions()
    {
        const auto b = Bus::instance().board("TS256A01");
        const uint64_t s = b->open();
        QVERIFY(s != 0);
        QCOMPARE(b->open(), uint64_t(0)); // one session at a time
        Bus::instance().resetToEnvironment();
        QCOMPARE(b->check(s), PortStatus::NotOpen);
        QVERIFY(Bus::instance().board("TS256A01") != b);
    }

    void pushFrameNeedsWholeFrame()
    {
        Board b("X");
        QVERIFY_EXCEPTION_THROWN(b.pushFrame(std::vector<uint8_t>(100)), std::invalid_argument);
    }

    void framesPerSecond_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<qint64>("period");
        QTest::addColumn<int>("fps");
        QTest::newRow("9/s gate ic") << 2 << qint64(1111111) << 9;
        QTest::newRow("5/s goa") << 1 << qint64(2000000) << 5;
        QTest::newRow("0.5/s") << 2 << qint64(20000000) << 0;
        QTest::newRow("clamped") << 1 << qint64(1000) << 255;
        QTest::newRow("zero") << 2 << qint64(0) << 0;
        QTest::newRow("negative") << 2 << qint64(-1111111) << 0;
    }
    void framesPerSecond()
    {
        QFETCH(int, mode);
        QFETCH(qint64, period);
        QFETCH(int, fps);
        BoardConfig c = BoardConfig::defaults();
        c.mode = uint8_t(mode);
        writeBigEndian(mode == 1 ? &c.goa[48] : &c.scan[0], uint32_t(period), 4);
        QCOMPARE(int(c.framesPerSecond()), fps);
        QCOMPARE(int(c.paramBlock()[1]), fps);
        QCOMPARE(c.framePeriod().count(), period > 0 ? period * 100 : 0);
    }

    void sceneIsDeterministicAndMoves()
    {
        const auto a = renderScene(11, 5, 166);
        QCOMPARE(a.size(), kFrameBytes);
        QVERIFY(renderScene(11, 5, 166) == a);
        QVERIFY(renderScene(12, 5, 166) != a);
        QVERIFY(brightest(renderScene(11, 15, 166)) != brightest(a));
    }

    void sceneDarkFrame()
    {
        // No light: zero level, the fixed pattern, stripes and noise only.
        const auto f = renderScene(3, 0, 0);
        const auto g = renderScene(3, 1, 0);
        double spread = 0, change = 0;
        for (std::size_t i = 0; i < kPixels; ++i) {
            const uint32_t fpn = fixedPatternOffset(3, i);
            QVERIFY(fpn >= 300 && fpn <= 2000);
            // Noise stays within about 420 counts; stripes add up to 3000.
            QVERIFY(pixel(f, i) + 420 >= kZeroLevel + fpn);
            QVERIFY(pixel(f, i) <= kZeroLevel + fpn + 3000 + 420);
            spread = std::max(spread, std::abs(double(fpn) - 1150));
            change = std::max(change, std::abs(double(pixel(f, i)) - pixel(g, i)));
        }
        QVERIFY(spread > 600);  // the pattern is there to calibrate away
        QVERIFY(change < 1000); // and stays from frame to frame
        // Horizontal stripes every kStripePeriodRows rows, a few thousand counts.
        double bright = 0, dark = 0;
        for (int y = 0; y < kSide; ++y) {
            if (y % kStripePeriodRows == 0)
                bright += rowMean(f, y);
            if (y % kStripePeriodRows == kStripePeriodRows / 2)
                dark += rowMean(f, y);
        }
        const double stripe = (bright - dark) / (kSide / kStripePeriodRows);
        QVERIFY2(stripe > 2000 && stripe < 4000, QByteArray::number(stripe));
    }

    void signalGrowsWithIntegration()
    {
        auto peak = [](double micros) {
            const auto f = renderScene(9, 2, micros);
            return double(pixel(f, brightest(f))) - kZeroLevel;
        };
        const double at166 = peak(166);
        QVERIFY2(at166 > 0.6 * kFullScale && at166 < 0.85 * kFullScale,
                 QByteArray::number(at166 / kFullScale));
        QVERIFY(peak(50) < at166);
        QVERIFY(peak(500) > at166);
        QCOMPARE(peak(4000), double(kFullScale)); // saturated, clamped
    }
};

QTEST_GUILESS_MAIN(TestBoardSim)
#include "test_boardsim.moc"

// Raw counts to pixel current and display gray level, per pixel and for a
// whole frame.
#include "Scene.h"
#include "SimSupport.h"
#include "Tessary_VideoThread.h"
#include "conversion.h"

#include <QtTest>

#include <cfenv>
#include <climits>
#include <vector>

namespace {

constexpr uint32_t kFullScaleRaw = 4096 + (1u << 20);

uint32_t rawAt(const std::vector<uint8_t>& frame, int i)
{
    return rawPixel(frame.data() + 4 * i);
}

cv::Mat convert(Tessary_VideoThread& t, std::vector<uint8_t>& frame)
{
    uint8_t* f = frame.data();
    return t.integratedData(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes);
}

} // namespace

class TestConversion : public QObject
{
    Q_OBJECT
private slots:
    void current_data();
    void current();
    void currentUnroundedForFiles();
    void halfwayRoundsAwayInEveryMode_data();
    void halfwayRoundsAwayInEveryMode();
    void gray_data();
    void gray();
    void frameLayoutAndByteOrder();
    void currentIgnoresReferencesGrayIgnoresAB();
    void referencesComeFromTheRangeSetters();
};

void TestConversion::current_data()
{
    QTest::addColumn<uint>("raw");
    QTest::addColumn<double>("A");
    QTest::addColumn<double>("B");
    QTest::addColumn<double>("expected");
    QTest::newRow("zero level") << 4096u << 25.0 << 166.0 << 0.0;
    QTest::newRow("below zero level") << 100u << 25.0 << 166.0 << 0.0;
    QTest::newRow("raw 0") << 0u << 25.0 << 166.0 << 0.0;
    QTest::newRow("one count") << 4097u << 25.0 << 166.0 << 0.0001;
    QTest::newRow("full scale") << kFullScaleRaw << 25.0 << 166.0 << 150.6024;
    QTest::newRow("half scale, other range") << 4096u + (1u << 19) << 50.0 << 1000.0 << 25.0;
    // The difference is unsigned: the top count is not a negative value.
    QTest::newRow("largest raw") << 0xFFFFFFFFu << 1.0 << 1.0 << 4095996.0928;
}

void TestConversion::current()
{
    QFETCH(uint, raw);
    QFETCH(double, A);
    QFETCH(double, B);
    QFETCH(double, expected);
    const double value = pixelCurrentRounded(raw, A, B);
    QVERIFY2(value == expected, qPrintable(QString::number(value, 'g', 17)));
}

void TestConversion::currentUnroundedForFiles()
{
    QCOMPARE(pixelCurrent(kFullScaleRaw, 25, 166), 25.0 / 166.0 * 1000.0);
    QCOMPARE(pixelCurrent(4096, 25, 166), 0.0);
    QCOMPARE(QString::number(pixelCurrent(kFullScaleRaw, 25, 166), 'g', 6), QString("150.602"));
}

void TestConversion::halfwayRoundsAwayInEveryMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<double>("A");
    QTest::addColumn<double>("expected");
    // raw 8192 with A = B = 1 is 3.90625 nA exactly: half-way at the fourth decimal.
    const struct
    {
        const char* name;
        int mode;
    } modes[] = {{"to nearest", FE_TONEAREST},
                 {"downward", FE_DOWNWARD},
                 {"upward", FE_UPWARD},
                 {"toward zero", FE_TOWARDZERO}};
    for (const auto& m : modes) {
        QTest::addRow("%s, positive", m.name) << m.mode << 1.0 << 3.9063;
        QTest::addRow("%s, negative charge", m.name) << m.mode << -1.0 << -3.9063;
    }
}

void TestConversion::halfwayRoundsAwayInEveryMode()
{
    QFETCH(int, mode);
    QFETCH(double, A);
    QFETCH(double, expected);
    // volatile: the call must run under the mode, not be folded at compile time.
    volatile uint32_t raw = 8192;
    volatile double a = A;
    volatile double b = 1.0;
    const int previous = std::fegetround();
    std::fesetround(mode);
    const double value = pixelCurrentRounded(raw, a, b);
    std::fesetround(previous);
    // The final division may round either way in the last bit under a
    // directed mode; the fourth decimal must not.
    QCOMPARE(value, expected);
}

void TestConversion::gray_data()
{
    QTest::addColumn<uint>("raw");
    QTest::addColumn<uint>("dark");
    QTest::addColumn<uint>("bright");
    QTest::addColumn<int>("expected");
    const uint d = 4096, b = 0xFFFFF;
    QTest::newRow("default dark") << 4096u << d << b << 0;
    QTest::newRow("default bright") << 0xFFFFFu << d << b << 255;
    QTest::newRow("mid scale truncates") << 4096u + 522239u << d << b << 127;
    QTest::newRow("below dark") << 0u << d << b << 0;
    QTest::newRow("above bright") << 0x200000u << d << b << 255;
    // (raw - dark) * 255 wraps to a negative 32-bit value.
    QTest::newRow("wrapped product") << 0xFFFFFFFFu << d << b << 0;

    QTest::newRow("inverted: at dark") << 2000u << 2000u << 1000u << 0;
    QTest::newRow("inverted: at bright") << 1000u << 2000u << 1000u << 255;
    QTest::newRow("inverted: between") << 1500u << 2000u << 1000u << 127;
    QTest::newRow("inverted: beyond dark") << 2500u << 2000u << 1000u << 0;
    QTest::newRow("inverted: beyond bright") << 500u << 2000u << 1000u << 255;

    QTest::newRow("equal non-zero, raw below") << 5u << 7u << 7u << 255;
    QTest::newRow("equal non-zero, raw above") << 0xFFFFFFFFu << 9u << 9u << 255;
    QTest::newRow("equal zero") << 123456u << 0u << 0u << 0;
    QTest::newRow("equal zero, raw 0") << 0u << 0u << 0u << 0;

    // dark = bright + 1 and a product of exactly -2^31: -2^31 / -1.
    QTest::newRow("-2^31 / -1") << 0x80000001u << 1u << 0u << 255;
    QTest::newRow("divisor -1, raw at bright") << 0u << 1u << 0u << 255;
    QTest::newRow("divisor -1, raw at dark") << 1u << 1u << 0u << 0;
}

void TestConversion::gray()
{
    QFETCH(uint, raw);
    QFETCH(uint, dark);
    QFETCH(uint, bright);
    QFETCH(int, expected);
    QCOMPARE(int(grayLevel(raw, dark, bright)), expected);
}

void TestConversion::frameLayoutAndByteOrder()
{
    // Every pixel distinct in all four bytes' worth of position.
    std::vector<uint32_t> pixels(kFramePixels);
    for (int i = 0; i < kFramePixels; ++i)
        pixels[i] = 4096 + uint32_t(i) * 15 + (uint32_t(i % 7) << 24);
    std::vector<uint8_t> frame = rawFrame(pixels);

    Tessary_VideoThread t;
    const cv::Mat display = convert(t, frame);
    QCOMPARE(display.rows, 256);
    QCOMPARE(display.cols, 256);
    QCOMPARE(display.type(), CV_8UC1);
    QVERIFY(display.isContinuous());
    for (int i = 0; i < kFramePixels; ++i) {
        const int r = i / 256, c = i % 256;
        if (display.at<uchar>(r, c) != grayLevel(pixels[i], 4096, 0xFFFFF) ||
            t.currentData[i] != pixelCurrentRounded(pixels[i], 25, 166))
            QFAIL(qPrintable(QString("pixel %1 (row %2, column %3)").arg(i).arg(r).arg(c)));
    }
}

void TestConversion::currentIgnoresReferencesGrayIgnoresAB()
{
    std::vector<uint8_t> frame = boardsim::renderScene(0x5EED, 3, 166);
    Tessary_VideoThread t;
    const cv::Mat gray1 = convert(t, frame).clone();
    const std::vector<double> current1(t.currentData, t.currentData + kFramePixels);

    t.setminrange(6000);
    t.setmaxrange(200000);
    const cv::Mat gray2 = convert(t, frame).clone();
    QVERIFY(std::equal(current1.begin(), current1.end(), t.currentData));
    QVERIFY(cv::norm(gray1, gray2, cv::NORM_INF) > 0);

    t.fullScaleCharge = 50;
    t.integrationTime = 40;
    const cv::Mat gray3 = convert(t, frame);
    QCOMPARE(cv::norm(gray2, gray3, cv::NORM_INF), 0.0);
    QVERIFY(!std::equal(current1.begin(), current1.end(), t.currentData));
    const int i = 128 * 256 + 128;
    QCOMPARE(t.currentData[i], pixelCurrentRounded(rawAt(frame, i), 50, 40));
}

void TestConversion::referencesComeFromTheRangeSetters()
{
    std::vector<uint32_t> pixels(kFramePixels, 300);
    pixels[1] = 100;
    pixels[2] = 200;
    std::vector<uint8_t> frame = rawFrame(pixels);
    Tessary_VideoThread t;
    t.setminrange(100);
    t.setmaxrange(300);
    cv::Mat display = convert(t, frame);
    QCOMPARE(int(display.at<uchar>(0, 0)), 255);
    QCOMPARE(int(display.at<uchar>(0, 1)), 0);
    QCOMPARE(int(display.at<uchar>(0, 2)), 127);

    t.reset();
    display = convert(t, frame);
    QCOMPARE(cv::countNonZero(display), 0);
}

QTEST_GUILESS_MAIN(TestConversion)
#include "test_conversion.moc"

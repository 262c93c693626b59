// Raw counts to pixel current and display gray level, the frame conversion
// and the turn and mirror of the display frame.
#include "Tessary_VideoThread.h"
#include "conversion.h"

#include <QtTest>
#include <opencv2/imgproc.hpp>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct Pixels
{
    std::vector<unsigned char> raw;
    std::vector<uint32_t> dark, bright;
};

// A frame of pixels and references of one kind, the kinds chosen to reach
// every branch of the formulas: wrapped products, equal and adjacent
// references, exact quotients, halves at the fourth decimal, zero levels.
Pixels randomPixels(int kind, std::mt19937_64& rng)
{
    static const uint32_t specials[] = {0,          1,          4095,       4096,
                                        4097,       0xFFFFF,    0x100000,   0x7FFFFFFF,
                                        0x80000000, 0x80000001, 0xFFFFFFFE, 0xFFFFFFFF};
    Pixels p{std::vector<unsigned char>(4 * kFramePixels), std::vector<uint32_t>(kFramePixels),
             std::vector<uint32_t>(kFramePixels)};
    auto pick = [&](uint64_t x) { return x % 13 < 12 ? specials[x % 13] : uint32_t(x >> 20); };
    for (int i = 0; i < kFramePixels; ++i) {
        const uint64_t x = rng(), y = rng();
        // Kind 0: anything at all.
        uint32_t raw = uint32_t(x), d = uint32_t(x >> 32), b = uint32_t(y);
        switch (kind) {
        case 1: // what the board sends, calibrated references
            raw = 4096 + uint32_t(y % 0x140000);
            d = 4096 + uint32_t(x % 4096);
            b = 0xFFFFF - uint32_t((x >> 32) % 4096);
            break;
        case 2: // references equal or next to each other, -2^31 / -1 among them
            b = d + uint32_t(y % 5) - 2;
            if (y % 8 == 0)
                raw = d + 0x80000000u;
            break;
        case 3: // exact quotients
            b = d + 255 * uint32_t(1 + y % 4);
            raw = d + uint32_t((y >> 8) % 300) * uint32_t(1 + y % 4);
            break;
        case 4: // the edges of each range, mixed
            raw = pick(x), d = pick(y), b = pick(x ^ y);
            break;
        case 5: // exact halves at the fourth decimal when A = B
            raw = 4096 + uint32_t(y % 4096) * 4096;
            break;
        case 6: // around the zero level
            raw = uint32_t(y % 8193);
            break;
        }
        std::memcpy(&p.raw[4 * std::size_t(i)], &raw, 4);
        p.dark[std::size_t(i)] = d;
        p.bright[std::size_t(i)] = b;
    }
    return p;
}

const char* kernelName(PixelKernel kernel)
{
    return kernel == PixelKernel::Plain  ? "plain"
           : kernel == PixelKernel::Avx2 ? "AVX2"
                                         : "AVX-512";
}

} // namespace

class TestConversion : public QObject
{
    Q_OBJECT
private slots:
    void current_data()
    {
        QTest::addColumn<uint>("raw");
        QTest::addColumn<double>("A"); // pC; B is 166 us
        QTest::addColumn<double>("expected");
        QTest::newRow("full scale") << 4096u + (1u << 20) << 25.0 << 150.6024;
        QTest::newRow("zero level") << 4096u << 25.0 << 0.0;
        QTest::newRow("raw 0") << 0u << 25.0 << 0.0;
        // The difference is unsigned: the top count is not a negative value.
        QTest::newRow("largest raw") << 0xFFFFFFFFu << 25.0 << 616866.8814;
        // 3.90625 nA exactly: half-way at the fourth decimal.
        QTest::newRow("half-way") << 8192u << 166.0 << 3.9063;
        QTest::newRow("half-way, negative") << 8192u << -166.0 << -3.9063;
    }

    void current()
    {
        QFETCH(uint, raw);
        QFETCH(double, A);
        QFETCH(double, expected);
        QCOMPARE(pixelCurrentRounded(raw, A, 166), expected);
    }

    void gray_data()
    {
        QTest::addColumn<uint>("raw");
        QTest::addColumn<uint>("dark");
        QTest::addColumn<uint>("bright");
        QTest::addColumn<int>("expected");
        const uint d = 4096, b = 0xFFFFF; // the default references
        QTest::newRow("default dark") << d << d << b << 0;
        QTest::newRow("default bright") << b << d << b << 255;
        QTest::newRow("truncates, 127.9998") << d + 524287u << d << b << 127;
        QTest::newRow("below dark") << 0u << d << b << 0;
        QTest::newRow("above bright") << 0x200000u << d << b << 255;
        // (raw - dark) * 255 wraps to a negative 32-bit value.
        QTest::newRow("wrapped product") << 0xFFFFFFFFu << d << b << 0;
        QTest::newRow("dark above bright") << 1500u << 2000u << 1000u << 127;
        QTest::newRow("equal non-zero") << 5u << 7u << 7u << 255;
        QTest::newRow("equal zero") << 123456u << 0u << 0u << 0;
        // dark = bright + 1 and a product of exactly -2^31: -2^31 / -1.
        QTest::newRow("-2^31 / -1") << 0x80000001u << 1u << 0u << 255;
    }

    void gray()
    {
        QFETCH(uint, raw);
        QFETCH(uint, dark);
        QFETCH(uint, bright);
        QFETCH(int, expected);
        QCOMPARE(int(grayLevel(raw, dark, bright)), expected);
    }

    void kernelsGiveTheFormulasBits_data()
    {
        QTest::addColumn<int>("A");
        QTest::addColumn<int>("B");
        QTest::newRow("150nA range") << 25 << 166;
        QTest::newRow("50nA range") << 25 << 500;
        QTest::newRow("10nA range") << 13 << 1300;
        QTest::newRow("1nA range") << 4 << 4000;
        QTest::newRow("A = B") << 166 << 166;
        QTest::newRow("no charge") << 0 << 166;
        QTest::newRow("huge charge") << 1000000 << 7;
        QTest::newRow("negative charge") << -25 << 166;
        QTest::newRow("no time") << 25 << 0;
    }

    // Millions of random pixels and references through every kernel this
    // processor runs, against the formulas bit for bit.
    void kernelsGiveTheFormulasBits()
    {
        QFETCH(int, A);
        QFETCH(int, B);
        std::mt19937_64 rng(uint64_t(A) * 7919 + uint64_t(B));
        std::vector<double> current(kFramePixels), expectedCurrent(kFramePixels);
        std::vector<uint8_t> gray(kFramePixels), expectedGray(kFramePixels);
        for (int frame = 0; frame < 14; ++frame) {
            const Pixels p = randomPixels(frame % 7, rng);
            // Some runs end in part of a block.
            const int count = frame % 2 ? kFramePixels - 7 : kFramePixels;
            for (int i = 0; i < count; ++i) {
                const uint32_t raw = rawPixel(&p.raw[4 * std::size_t(i)]);
                expectedCurrent[std::size_t(i)] = pixelCurrentRounded(raw, A, B);
                expectedGray[std::size_t(i)] =
                    grayLevel(raw, p.dark[std::size_t(i)], p.bright[std::size_t(i)]);
            }
            for (PixelKernel kernel : availablePixelKernels()) {
                convertPixels(kernel, p.raw.data(), p.dark.data(), p.bright.data(), count, A, B,
                              current.data(), gray.data());
                for (int i = 0; i < count; ++i) {
                    const std::size_t at = std::size_t(i);
                    if (std::memcmp(&current[at], &expectedCurrent[at], sizeof(double)) != 0 ||
                        gray[at] != expectedGray[at])
                        QFAIL(qPrintable(
                            QString("%1, kind %2: raw %3 dark %4 bright %5 gives %6 / %7, "
                                    "formulas %8 / %9")
                                .arg(kernelName(kernel))
                                .arg(frame % 7)
                                .arg(rawPixel(&p.raw[4 * at]))
                                .arg(p.dark[at])
                                .arg(p.bright[at])
                                .arg(current[at], 0, 'g', 17)
                                .arg(gray[at])
                                .arg(expectedCurrent[at], 0, 'g', 17)
                                .arg(expectedGray[at])));
                }
            }
        }
    }

    // The four chunks in order, the pixel's own references, A and B of the
    // worker: currents and the display frame in raw-frame order.
    void integratedDataFillsCurrentsAndFrame()
    {
        std::mt19937_64 rng(11);
        const Pixels p = randomPixels(1, rng);
        Tessary_VideoThread worker;
        worker.fullScaleCharge = 13;
        worker.integrationTime = 1300;
        std::memcpy(worker.minRange, p.dark.data(), 4 * kFramePixels);
        std::memcpy(worker.maxRange, p.bright.data(), 4 * kFramePixels);
        std::vector<unsigned char> raw = p.raw;
        unsigned char* f = raw.data();
        const cv::Mat shown =
            worker.integratedData(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes);
        QCOMPARE(shown.type(), CV_8UC1);
        QCOMPARE(shown.size(), cv::Size(256, 256));
        for (int i = 0; i < kFramePixels; ++i) {
            const uint32_t value = rawPixel(f + 4 * i);
            QCOMPARE(worker.currentData[i], pixelCurrentRounded(value, 13, 1300));
            QCOMPARE(shown.at<uchar>(i / 256, i % 256),
                     grayLevel(value, p.dark[std::size_t(i)], p.bright[std::size_t(i)]));
        }
    }

    void turnAndMirrorAsTheWarp_data()
    {
        QTest::addColumn<int>("angle");
        QTest::addColumn<int>("flip");
        for (int angle : {0, 90, 180, 270})
            for (int flip : {0, 1})
                QTest::addRow("%d degrees, flip %d", angle, flip) << angle << flip;
    }

    // Every angle gives what the bilinear warp about (128, 128) gives,
    // mirrored after the turn.
    void turnAndMirrorAsTheWarp()
    {
        QFETCH(int, angle);
        QFETCH(int, flip);
        cv::Mat frame(256, 256, CV_8UC1);
        cv::randu(frame, 0, 256);
        cv::Mat expected;
        cv::warpAffine(frame, expected, cv::getRotationMatrix2D(cv::Point2f(128, 128), -angle, 1.0),
                       frame.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
        if (flip == 1)
            cv::flip(expected, expected, 1);
        turnAndMirror(frame, angle, flip);
        QCOMPARE(cv::countNonZero(frame != expected), 0);
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "test_conversion.moc"

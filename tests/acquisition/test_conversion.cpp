// Raw counts to pixel current and display gray level, the frame conversion,
// and the ripple filter on frames whose result is known without the transform.
#include "SimSupport.h"
#include "Tessary_VideoThread.h"
#include "conversion.h"

#include <QtTest>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

Q_DECLARE_METATYPE(cv::Mat)

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
    for (std::size_t i = 0; i < std::size_t(kFramePixels); ++i) {
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
        std::memcpy(&p.raw[4 * i], &raw, 4);
        p.dark[i] = d;
        p.bright[i] = b;
    }
    return p;
}

} // namespace

class TestConversion : public QObject
{
    Q_OBJECT
private slots:
    void formulas_data()
    {
        QTest::addColumn<uint>("raw");
        QTest::addColumn<uint>("dark");
        QTest::addColumn<uint>("bright");
        QTest::addColumn<double>("A"); // pC; B is 166 us
        QTest::addColumn<double>("current");
        QTest::addColumn<int>("gray");
        const uint d = 4096, b = 0xFFFFF; // the default references
        QTest::newRow("zero level") << d << d << b << 25.0 << 0.0 << 0;
        QTest::newRow("default bright") << b << d << b << 25.0 << 150.014 << 255;
        QTest::newRow("full scale, above bright")
            << d + (1u << 20) << d << b << 25.0 << 150.6024 << 255;
        QTest::newRow("truncates, 127.9998") << d + 524287u << d << b << 25.0 << 75.3011 << 127;
        // The difference is unsigned, but (raw - dark) * 255 wraps negative.
        QTest::newRow("largest raw") << 0xFFFFFFFFu << d << b << 25.0 << 616866.8814 << 0;
        QTest::newRow("dark above bright") << 1500u << 2000u << 1000u << 25.0 << 0.0 << 127;
        QTest::newRow("equal non-zero") << 5u << 7u << 7u << 25.0 << 0.0 << 255;
        QTest::newRow("equal zero") << 123456u << 0u << 0u << 25.0 << 17.1432 << 0;
        // dark = bright + 1 and a product of exactly -2^31: -2^31 / -1.
        QTest::newRow("-2^31 / -1") << 0x80000001u << 1u << 0u << 25.0 << 308433.1468 << 255;
        // 3.90625 nA exactly: half-way at the fourth decimal.
        QTest::newRow("half-way") << 8192u << d << b << 166.0 << 3.9063 << 1;
        QTest::newRow("half-way, negative") << 8192u << d << b << -166.0 << -3.9063 << 1;
    }

    void formulas()
    {
        QFETCH(uint, raw);
        QFETCH(uint, dark);
        QFETCH(uint, bright);
        QFETCH(double, A);
        QFETCH(double, current);
        QFETCH(int, gray);
        QCOMPARE(pixelCurrentRounded(raw, A, 166), current);
        QCOMPARE(int(grayLevel(raw, dark, bright)), gray);
    }

    void conversionGivesTheFormulasBits_data()
    {
        QTest::addColumn<int>("A");
        QTest::addColumn<int>("B");
        QTest::newRow("150nA range") << 25 << 166;
        QTest::newRow("1nA range") << 4 << 4000;
        QTest::newRow("A = B") << 166 << 166;
        QTest::newRow("huge charge") << 1000000 << 7;
        QTest::newRow("negative charge") << -25 << 166;
    }

    // Random pixels and references through every kernel this processor runs,
    // and through the worker's conversion of four chunks with the pixel's own
    // references, against the formulas bit for bit.
    void conversionGivesTheFormulasBits()
    {
        QFETCH(int, A);
        QFETCH(int, B);
        std::mt19937_64 rng(uint64_t(A) * 7919 + uint64_t(B));
        Tessary_VideoThread worker;
        worker.fullScaleCharge = A;
        worker.integrationTime = B;
        std::vector<double> current(kFramePixels), expectedCurrent(kFramePixels);
        std::vector<uint8_t> gray(kFramePixels), expectedGray(kFramePixels);
        // Bit for bit over the first n pixels, -0 included.
        auto same = [&](int n) {
            return !std::memcmp(current.data(), expectedCurrent.data(), n * sizeof(double)) &&
                   !std::memcmp(gray.data(), expectedGray.data(), std::size_t(n));
        };
        for (int kind = 0; kind < 7; ++kind) {
            Pixels p = randomPixels(kind, rng);
            for (std::size_t i = 0; i < std::size_t(kFramePixels); ++i) {
                const uint32_t raw = rawPixel(&p.raw[4 * i]);
                expectedCurrent[i] = pixelCurrentRounded(raw, A, B);
                expectedGray[i] = grayLevel(raw, p.dark[i], p.bright[i]);
            }
            // Some runs end in part of a block.
            const int count = kind % 2 ? kFramePixels - 7 : kFramePixels;
            for (PixelKernel kernel : availablePixelKernels()) {
                convertPixels(kernel, p.raw.data(), p.dark.data(), p.bright.data(), count, A, B,
                              current.data(), gray.data());
                QVERIFY2(same(count),
                         qPrintable(QString("kernel %1, kind %2").arg(int(kernel)).arg(kind)));
            }
            std::copy(p.dark.begin(), p.dark.end(), worker.minRange);
            std::copy(p.bright.begin(), p.bright.end(), worker.maxRange);
            unsigned char* f = p.raw.data();
            const cv::Mat shown =
                worker.integratedData(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes);
            QVERIFY(shown.type() == CV_8UC1 && shown.isContinuous() &&
                    shown.size() == cv::Size(256, 256));
            std::copy_n(worker.currentData, kFramePixels, current.begin());
            std::copy_n(shown.data, kFramePixels, gray.begin());
            QVERIFY2(same(kFramePixels),
                     qPrintable(QString("frame conversion, kind %1").arg(kind)));
        }
    }

    void rippleFilter_data()
    {
        QTest::addColumn<cv::Mat>("input");
        QTest::addColumn<cv::Mat>("expected"); // empty: passed on untouched, in place
        QTest::addColumn<int>("tolerance");
        // Stripes `cycles` times down the frame over alternating columns. Their
        // two halves sit in spectrum rows 128 - cycles and 128 + cycles, and the
        // notch holds rows 0..99 and 156..255: 28 cycles lose one half only.
        // Left are the columns (never in the notch), the mean and the kept
        // halves, their magnitude stretched to 0..255; the stripes' rounding to
        // whole levels leaves a level or two.
        const int stripes[][2] = {{27, 2}, {28, 1}, {29, 0}, {127, 0}, {128, 0}}; // halves kept
        for (const auto& [cycles, halvesKept] : stripes) {
            const auto stripe = [n = cycles](int r) {
                return std::polar(31.75, 2 * M_PI * n * r / 256);
            };
            cv::Mat_<float> left(256, 256);
            // Row by row here: forEach's worker threads are invisible to the
            // thread checker.
            for (int r = 0; r < 256; ++r)
                for (int c = 0; c < 256; ++c)
                    left(r, c) =
                        float(std::abs((c % 2 ? 191.5 : 63.5) + (halvesKept > 0 ? stripe(r) : 0.0) +
                                       (halvesKept > 1 ? std::conj(stripe(r)) : 0.0)));
            cv::Mat expected;
            cv::normalize(left, expected, 0, 255, cv::NORM_MINMAX, CV_8U);
            QTest::addRow("%d cycles, %d of 2 halves kept", cycles, halvesKept)
                << grayImage([&](int r, int c) {
                       return (c % 2 ? 128 : 0) + std::lround(63.5 + 2 * stripe(r).real());
                   })
                << expected << 2;
        }
        QTest::newRow("uniform") << grayImage([](int, int) { return 77; })
                                 << grayImage([](int, int) { return 0; }) << 0;
        // Frames the fixed notch does not fit.
        QTest::newRow("empty") << cv::Mat() << cv::Mat() << 0;
        QTest::newRow("colour") << cv::Mat(256, 256, CV_8UC3, {1, 2, 3}) << cv::Mat() << 0;
        QTest::newRow("too few rows") << cv::Mat(255, 256, CV_8UC1, 9) << cv::Mat() << 0;
        QTest::newRow("too few columns") << cv::Mat(256, 11, CV_8UC1, 9) << cv::Mat() << 0;
    }

    void rippleFilter()
    {
        QFETCH(cv::Mat, input);
        QFETCH(cv::Mat, expected);
        QFETCH(int, tolerance);
        cv::Mat image = expected.empty() ? input : input.clone();
        const cv::Mat before = input.clone();
        Tessary_VideoThread().removeRipple(image);
        if (expected.empty()) {
            QCOMPARE(image.data, input.data);
            expected = before;
        }
        QVERIFY(image.size() == expected.size() && image.type() == expected.type());
        QVERIFY(image.empty() || cv::norm(image, expected, cv::NORM_INF) <= tolerance);
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "test_conversion.moc"

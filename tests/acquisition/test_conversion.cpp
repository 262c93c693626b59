// Raw counts to pixel current and display gray level, and the turn and
// mirror of the display frame.
#include "conversion.h"

#include <QtTest>
#include <opencv2/imgproc.hpp>



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

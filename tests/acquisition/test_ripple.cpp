// The ripple filter on frames whose result is known without the transform.
#include "Tessary_VideoThread.h"

#include <QtTest>

Q_DECLARE_METATYPE(cv::Mat)

namespace {

// 256 x 256 gray frame with value(row, column).
template <typename F> cv::Mat frameOf(F value)
{
    cv::Mat m(256, 256, CV_8UC1);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c)
            m.at<uchar>(r, c) = uchar(value(r, c));
    return m;
}

} // namespace

class TestRipple : public QObject
{
    Q_OBJECT
private slots:
    void filter_data()
    {
        QTest::addColumn<cv::Mat>("input");
        QTest::addColumn<cv::Mat>("expected");
        const cv::Mat black = frameOf([](int, int) { return 0; });
        const cv::Mat columns = frameOf([](int, int c) { return c % 2 ? 255 : 0; });
        QTest::newRow("uniform") << frameOf([](int, int) { return 77; }) << black;
        QTest::newRow("rows of period 2")
            << frameOf([](int r, int) { return r % 2 ? 200 : 10; }) << black;
        QTest::newRow("alternating columns kept") << columns << columns;
        // Stripes four rows apart over alternating columns: the stripes go,
        // the columns stay and are stretched back to 0 and 255.
        QTest::newRow("stripes over columns")
            << frameOf([](int r, int c) { return (c % 2 ? 127 : 0) + (r % 4 < 2 ? 128 : 0); })
            << columns;
    }

    void filter()
    {
        QFETCH(cv::Mat, input);
        QFETCH(cv::Mat, expected);
        Tessary_VideoThread worker;
        cv::Mat image = input.clone();
        worker.removeRipple(image);
        QCOMPARE(image.rows, 256);
        QCOMPARE(image.cols, 256);
        QCOMPARE(image.type(), CV_8UC1);
        QCOMPARE(cv::norm(image, expected, cv::NORM_INF), 0.0);
    }

    // Frames the fixed notch does not fit come back as they went in.
    void unfit_data()
    {
        QTest::addColumn<cv::Mat>("input");
        QTest::newRow("empty") << cv::Mat();
        QTest::newRow("colour") << cv::Mat(256, 256, CV_8UC3, cv::Scalar(1, 2, 3));
        QTest::newRow("too few rows") << cv::Mat(255, 256, CV_8UC1, cv::Scalar(9));
        QTest::newRow("too few columns") << cv::Mat(256, 11, CV_8UC1, cv::Scalar(9));
    }

    void unfit()
    {
        QFETCH(cv::Mat, input);
        Tessary_VideoThread worker;
        const cv::Mat before = input.clone();
        cv::Mat image = input;
        worker.removeRipple(image);
        QCOMPARE(image.data, input.data);
        QVERIFY(image.empty() || cv::norm(image, before, cv::NORM_INF) == 0);
    }
};

QTEST_GUILESS_MAIN(TestRipple)
#include "test_ripple.moc"

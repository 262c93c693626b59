// The simulated bus and the scene, without the D2XX layer.
#include "Bus.h"
#include "Scene.h"

#include <QtTest>

using namespace boardsim;

class TestBoardSim : public QObject
{
    Q_OBJECT

private slots:
    void environmentList()
    {
        auto parsed = [](const char* value) {
            QStringList got;
            for (const std::string& s : Bus::parseSerials(value))
                got << QString::fromStdString(s);
            return got;
        };
        QCOMPARE(parsed(nullptr), QStringList{"TS256A01"}); // not set
        QCOMPARE(parsed(""), QStringList{});
        // Trimmed, cut to 15; blank items and repeats skipped.
        QCOMPARE(parsed(" A1 ,, \t,0123456789ABCDEFGH,A1,0123456789ABCDEXY"),
                 (QStringList{"A1", "0123456789ABCDE"}));
    }

    void sceneIsDeterministicAndGrowsWithIntegration()
    {
        QVERIFY(renderScene(11, 5, 166) == renderScene(11, 5, 166));
        QList<double> peaks; // the brightest pixel above the zero level, in parts of full scale
        for (double micros : {50, 166, 500, 4000}) {
            const auto f = renderScene(9, 2, micros);
            uint32_t top = 0;
            for (std::size_t i = 0; i < kPixels; ++i)
                top = std::max(top, qFromLittleEndian<quint32>(&f[4 * i]));
            peaks << double(top - kZeroLevel) / kFullScale;
        }
        QVERIFY(peaks[0] < peaks[1] && peaks[1] < peaks[2]);
        QVERIFY2(peaks[1] > 0.6 && peaks[1] < 0.85, QByteArray::number(peaks[1])); // about 70 %
        QCOMPARE(peaks[3], 1.0); // saturated, clamped
    }
};

QTEST_GUILESS_MAIN(TestBoardSim)
#include "test_boardsim.moc"

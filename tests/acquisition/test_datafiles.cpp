// Calibration files, the data export and their number formatter, driven
// directly on an idle worker with known frames. Files are compared byte for
// byte with what a plain QTextStream writes.
#include "CsvTable.h"
#include "RunningDataManager.h"
#include "Scene.h"
#include "Tessary_VideoThread.h"
#include "TestSupport.h"
#include "conversion.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <algorithm>
#include <cfloat>
#include <functional>
#include <numeric>
#include <random>

namespace {

using Doubles = std::vector<double>;
using Frame = std::vector<uint8_t>;
RunningDataManager* const rdm = RunningDataManager::instance();

// The first value whose text differs, as (QTextStream's, ours).
template <typename T, typename Put>
QPair<QByteArray, QByteArray> firstDifference(const std::vector<T>& values, Put put)
{
    std::vector<char> ours(values.size() * (csv::kMaxNumberText + 1));
    QString expected;
    QTextStream stream(&expected);
    char* out = ours.data();
    for (const T& v : values) {
        stream << v << '|';
        out = put(out, v);
        *out++ = '|';
    }
    stream.flush();
    const QList<QByteArray> want = expected.toLatin1().split('|');
    const QList<QByteArray> got = QByteArray(ours.data(), int(out - ours.data())).split('|');
    for (int i = 0; i < want.size(); ++i)
        if (want[i] != got.value(i))
            return {want[i], got.value(i)};
    return {};
}

// A scene frame of the simulated board with its first pixels replaced.
Frame sceneFrame(uint64_t number, const std::vector<uint32_t>& first = {})
{
    Frame frame = boardsim::renderScene(0xCAFE, number, 166);
    for (std::size_t i = 0; i < first.size(); ++i)
        for (int b = 0; b < 4; ++b)
            frame[4 * i + b] = uint8_t(first[i] >> (8 * b));
    return frame;
}

uint32_t pixel(const Frame& frame, int i)
{
    return rawPixel(frame.data() + 4 * i);
}

void calibrate(Tessary_VideoThread& worker, bool bright, Frame& f)
{
    unsigned char* c = f.data();
    if (bright)
        worker.setMax(c, c + kChunkBytes, c + 2 * kChunkBytes, c + 3 * kChunkBytes);
    else
        worker.setMin(c, c + kChunkBytes, c + 2 * kChunkBytes, c + 3 * kChunkBytes);
}

void keep(Tessary_VideoThread& worker, Frame& f, const cv::Mat& display = cv::Mat())
{
    unsigned char* c = f.data();
    worker.keepFrame(c, c + kChunkBytes, c + 2 * kChunkBytes, c + 3 * kChunkBytes, display);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Tables as a default QTextStream writes them: a "Frame f" line for each
// of `frames` (none for {-1}), 256 lines of 256 values, two empty lines.
QByteArray streamed(const QList<int>& frames, bool trailingComma,
                    const std::function<void(QTextStream&, int frame, int pixel)>& value)
{
    QByteArray text;
    QTextStream out(&text);
    for (int f : frames) {
        if (f >= 0)
            out << "Frame " << f << "\n";
        for (int i = 0; i < kFramePixels; ++i) {
            value(out, f, i);
            out << (trailingComma || i % 256 != 255 ? "," : "") << (i % 256 == 255 ? "\n" : "");
        }
        out << "\n\n";
    }
    out.flush();
    return text;
}

} // namespace

Q_DECLARE_METATYPE(Doubles)

class TestDataFiles : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    QString previousDirectory;

private slots:
    // The calibration files are relative to the working directory.
    void init()
    {
        dir.reset(new QTemporaryDir);
        previousDirectory = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir->path()) && QDir().mkdir("Calibration"));
        rdm->setSaveName("name");
    }
    void cleanup() { QDir::setCurrent(previousDirectory); }

    void formatter_data()
    {
        QTest::addColumn<Doubles>("values");
        std::mt19937_64 random(20260105);
        // Raw counts over the sensor's scale, and over the whole 32-bit range.
        auto raw = [&] { return uint32_t(random() % 3 ? 4096 + random() % (1u << 20) : random()); };
        for (const auto& [A, B] : {std::pair{25, 166}, {25, 500}, {13, 1300}, {4, 4000}}) {
            Doubles values;
            for (int i = 0; i < 400000; ++i)
                values.push_back(pixelCurrent(raw(), A, B));
            QTest::addRow("range %d/%d", A, B) << values;
        }
        // Whatever the "int" and "pc" fields take: negative, zero, odd.
        Doubles entered;
        const double divisors[] = {0, 1, -1, 3, 7, 125, 1000, -166, INT32_MAX, INT32_MIN};
        for (int i = 0; i < 800000; ++i) {
            const double A = i % 2 ? int32_t(random()) : int(random() % 10001) - 5000;
            const double B = i % 3 ? divisors[i % 10] : int32_t(random());
            entered.push_back(pixelCurrent(raw(), A, B));
        }
        QTest::newRow("int and pc entry") << entered;
        // Every magnitude a current can have, and far beyond.
        Doubles magnitudes;
        std::uniform_real_distribution<double> mantissa(-10, 10);
        for (int i = 0; i < 500000; ++i)
            magnitudes.push_back(mantissa(random) * std::pow(10.0, int(random() % 35) - 16));
        for (int i = 0; i < 20000; ++i) // the double's whole range
            magnitudes.push_back(std::ldexp(mantissa(random), int(random() % 2100) - 1075));
        QTest::newRow("magnitudes") << magnitudes;
        // Exactly half-way between two six-digit values, and one step either
        // side: (10 n + 5) / 10^j is a double when 5^j divides 10 n + 5.
        Doubles ties;
        auto tie = [&](double v) {
            for (double w : {v, std::nextafter(v, 0.0), std::nextafter(v, 1e300)})
                ties.insert(ties.end(), {w, -w});
        };
        for (uint64_t j = 1, five = 5; j <= 10; ++j, five *= 5)
            for (uint64_t lo = (999999 + five) / five, hi = 9999999 / five, i = 0; i < 3000; ++i)
                tie(std::ldexp(double(std::min(hi, (lo + random() % (hi - lo + 1)) | 1)), -int(j)));
        for (int p = 0; p <= 22; ++p)
            for (int i = 0; i < 1000; ++i) {
                unsigned __int128 exact = 10 * (100000 + random() % 900000) + 5;
                for (int q = 0; q < p; ++q)
                    exact *= 10;
                if ((unsigned __int128)double(exact) == exact)
                    tie(double(exact));
            }
        QTest::newRow("ties") << ties;
        QTest::newRow("specials") << Doubles{0.0,      -0.0,        NAN,     -NAN,
                                             INFINITY, -INFINITY,   DBL_MAX, DBL_TRUE_MIN,
                                             999999.5, 9.999995e-5, 1e-5,    1e6};
    }

    // One formatter for every table, identical to QTextStream's defaults.
    void formatter()
    {
        QFETCH(Doubles, values);
        const auto difference = firstDifference(values, csv::putDouble);
        QCOMPARE(difference.second, difference.first);
    }

    void integers()
    {
        std::vector<uint32_t> values{UINT32_MAX, 1000000000, 999999999};
        for (uint32_t v = 0; v < 300000; ++v)
            values.push_back(v < 100000 ? v : v * 14327u);
        const auto difference = firstDifference(values, csv::putUnsigned);
        QCOMPARE(difference.second, difference.first);
    }

    void calibration_data()
    {
        QTest::addColumn<bool>("bright");
        QTest::addColumn<int>("interrupted"); // frames of an unfinished Full-ON before
        QTest::newRow("Full-ON") << true << 0;
        // Its samples stay in their slots and complete the next calibration.
        QTest::newRow("Full-OFF after an interrupted Full-ON") << false << 4;
    }

    void calibration()
    {
        QFETCH(bool, bright);
        QFETCH(int, interrupted);
        Tessary_VideoThread worker;
        const uint32_t* range = bright ? worker.maxRange : worker.minRange;
        const uint32_t* copy = bright ? worker.maxCalibration : worker.minCalibration;
        const uint32_t* other = bright ? worker.minRange : worker.maxRange;
        const QString raw = QString("Calibration/%1_calibration.csv").arg(bright ? "ON" : "OFF");
        const QString current =
            QString("Calibration/%1_Current_calibration.csv").arg(bright ? "ON" : "OFF");

        std::vector<Frame> frames;
        for (uint32_t k = 0; k < 10; ++k)
            frames.push_back(sceneFrame(k, {10 * (1 + k * 7 % 10), k < 8 ? 5000u : 5007u, 4000,
                                            4096 + (1u << 20), 0x80000000u}));
        for (int k = 0; k < 9; ++k)
            calibrate(worker, k < interrupted || bright, frames[std::size_t(k)]);
        QCOMPARE(worker.calibIndex, 9);
        QCOMPARE(range[0], bright ? kDefaultBright : kZeroLevel);
        QVERIFY(!QFile::exists(raw) && !QDir("Calibration").exists("ON_calibration.csv"));
        DebugCapture debug;
        calibrate(worker, bright, frames[9]);
        QCOMPARE(worker.calibIndex, 0);
        QCOMPARE(debug.messages(),
                 QStringList({"ok： \"" + raw + "\"", "ok： \"" + current + "\""}));

        // Mean of the middle eight by sorting, in wrapping 32-bit sums.
        std::vector<uint32_t> means(kFramePixels);
        for (int i = 0; i < kFramePixels; ++i) {
            std::vector<uint32_t> s;
            for (const Frame& f : frames)
                s.push_back(pixel(f, i));
            std::sort(s.begin(), s.end());
            means[std::size_t(i)] = std::accumulate(s.begin() + 1, s.end() - 1, 0u) >> 3;
        }
        QCOMPARE(std::vector<uint32_t>(range, range + 5),
                 (std::vector<uint32_t>{55, 5000, 4000, 1052672, 0}));
        QVERIFY(std::equal(means.begin(), means.end(), range));
        QCOMPARE(other[0], bright ? kZeroLevel : kDefaultBright);
        // The copy ends as the current file shows it: nothing below zero level.
        for (int i = 0; i < kFramePixels; ++i)
            QCOMPARE(copy[i], std::max(means[std::size_t(i)], kZeroLevel));

        QCOMPARE(contents(raw).left(23), QByteArray("55,5000,4000,1052672,0,"));
        QCOMPARE(contents(raw), streamed({-1}, true, [&](QTextStream& out, int, int i) {
                     out << means[std::size_t(i)];
                 }));
        QCOMPARE(contents(current).left(23), QByteArray("0,0.129838,0,150.602,0,"));
        QCOMPARE(contents(current), streamed({-1}, true, [&](QTextStream& out, int, int i) {
                     const uint32_t v = means[std::size_t(i)];
                     out << (v < kZeroLevel ? 0.0 : pixelCurrent(v, 25, 166));
                 }));
    }

    void exportTables_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<QList<bool>>("filter"); // ripple filter on while frame f was kept
        QTest::addColumn<int>("lowered");        // count of a second save before the last frame
        QTest::addColumn<QString>("printed");
        QTest::newRow("one frame") << 1 << QList<bool>{false} << 0 << "0\n";
        QTest::newRow("filter on") << 2 << QList<bool>{true, true} << 0 << "";
        // Frames kept with the filter off have no filtered table; the others
        // keep their own index.
        QTest::newRow("filter switched on") << 3 << QList<bool>{false, false, true} << 0 << "";
        QTest::newRow("filter switched off")
            << 3 << QList<bool>{true, false, false} << 0 << "0\n1\n2\n";
        // A second save asking for no more frames than are kept ends at once,
        // with every kept frame, named after the count asked for.
        QTest::newRow("count lowered") << 5 << QList<bool>{false, false, false} << 2 << "0\n1\n2\n";
    }

    void exportTables()
    {
        QFETCH(int, requested);
        QFETCH(QList<bool>, filter);
        QFETCH(int, lowered);
        QFETCH(QString, printed);
        const QString stem =
            dir->path() + QString("/name_%1_Frames").arg(lowered ? lowered : requested);
        Tessary_VideoThread worker;
        worker.fullScaleCharge = 13;
        worker.integrationTime = 1300;
        // Pixels 0 … 6 hold the gray rule's cases, 7 … 9 the current's.
        const uint32_t darks[] = {4096, 4096, 4096, 0, 5000, 9000, 1};
        const uint32_t brights[] = {8192, 8192, 8192, 0, 5000, 3000, 0};
        std::copy(darks, darks + 7, worker.minRange);
        std::copy(brights, brights + 7, worker.maxRange);
        worker.savePath = dir->path().toStdString();
        worker.saveNumber = requested;
        worker.isSaveData = true;
        worker.saveFailed = true;     // from an earlier save
        QFile earlier(stem + ".csv"); // longer than what replaces it
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write(QByteArray(4 << 20, 'x')));
        earlier.close();
        QList<int> progress;
        connect(&worker, &Tessary_VideoThread::saveDialog, this,
                [&] { progress << rdm->getSaveProgress(); });

        std::vector<Frame> frames;
        std::vector<cv::Mat> shown;
        QList<int> all, filtered, expectedProgress;
        StdoutCapture out;
        for (int f = 0; f < filter.size(); ++f) {
            frames.push_back(sceneFrame(uint64_t(f), {6144, 2048, 20000, 77, 77, 5000, 0x80000001u,
                                                      4096, 4096 + (1u << 20), 0}));
            shown.emplace_back(kFrameSide, kFrameSide, CV_8UC1);
            for (int i = 0; i < kFramePixels; ++i)
                shown.back().data[i] = uint8_t(i * 7 + f);
            worker.isFft = filter[f];
            if (lowered && f == filter.size() - 1)
                worker.saveNumber = lowered;
            keep(worker, frames.back(), filter[f] ? shown.back() : cv::Mat());
            all << f;
            expectedProgress << f + 1;
            if (filter[f])
                filtered << f;
        }
        QCOMPARE(progress, expectedProgress << -100);
        QCOMPARE(QString::fromStdString(out.text()), printed);
        QVERIFY(worker.savedFrames.empty() && worker.savedGrayData.empty());
        QVERIFY(!worker.isSaveData && !worker.saveFailed && !rdm->getSaveState());
        QCOMPARE(worker.savedCount, 0);

        const QByteArray currents = contents(stem + ".csv");
        QCOMPARE(currents.mid(8).split(',').mid(7, 3), (QList<QByteArray>{"0", "10", "0"}));
        QCOMPARE(currents, streamed(all, true, [&](QTextStream& s, int f, int i) {
                     s << pixelCurrent(pixel(frames[std::size_t(f)], i), 13, 1300);
                 }));
        const QByteArray grays = contents(stem + "_Grayscale.csv");
        if (filter.last()) {
            QCOMPARE(grays, streamed(filtered, false, [&](QTextStream& s, int f, int i) {
                         s << float(shown[std::size_t(f)].data[i]);
                     }));
        } else {
            QCOMPARE(grays.left(32), QByteArray("Frame 0\n127,127,255,0,255,0,255,"));
            QCOMPARE(grays, streamed(all, true, [&](QTextStream& s, int f, int i) {
                         const uint32_t raw = pixel(frames[std::size_t(f)], i);
                         s << uint(grayLevel(raw, worker.minRange[i], worker.maxRange[i], true));
                     }));
        }
    }

    void failures_data()
    {
        // A folder removed, or a file made a link to a full disk.
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("failed"); // files reported as not stored
        QTest::addColumn<QStringList>("debug");
        QTest::addColumn<QString>("printed");
        const QString on = "Calibration/ON_calibration.csv";
        const QString onCurrent = "Calibration/ON_Current_calibration.csv";
        QTest::newRow("calibration, no folder")
            << "Calibration" << QStringList{on, onCurrent} << QStringList{"gg", "gg"} << "";
        QTest::newRow("calibration, full disk") << onCurrent << QStringList{onCurrent}
                                                << QStringList{"ok： \"" + on + "\"", "gg"} << "";
        QTest::newRow("export, no folder")
            << "save" << QStringList{".csv", "_Grayscale.csv"} << QStringList() << "open failed\n";
        QTest::newRow("export, full disk")
            << ".csv" << QStringList{".csv"} << QStringList() << "0\n";
        QTest::newRow("export, full disk for gray levels")
            << "_Grayscale.csv" << QStringList{"_Grayscale.csv"} << QStringList() << "0\n";
    }

    // Whatever could not be stored is reported, never passed as stored; the
    // references are set and the kept data goes all the same.
    void failures()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, failed);
        QFETCH(QStringList, debug);
        QFETCH(QString, printed);
        const bool calibration = QTest::currentDataTag()[0] == 'c';
        const QString stem = dir->path() + "/save/name_1_Frames";
        QVERIFY(QDir().mkdir("save"));
        if (fault == "Calibration" || fault == "save") {
            QVERIFY(QDir(fault).removeRecursively());
        } else {
            if (!QFile::exists("/dev/full"))
                QSKIP("no /dev/full here");
            QVERIFY(QFile::link("/dev/full", calibration ? fault : stem + fault));
        }
        Tessary_VideoThread worker;
        worker.savePath = dir->path().toStdString() + "/save";
        worker.saveNumber = 1;
        worker.isSaveData = true;
        QSignalSpy stored(&worker, &Tessary_VideoThread::storeFailed);
        Frame frame = sceneFrame(3, {7000});
        DebugCapture capture;
        StdoutCapture out;
        for (int k = 0; k < (calibration ? 10 : 0); ++k)
            calibrate(worker, true, frame);
        if (!calibration)
            keep(worker, frame);

        QCOMPARE(capture.messages(), debug);
        QCOMPARE(QString::fromStdString(out.text()), printed);
        QStringList reported;
        for (const QList<QVariant>& args : stored)
            reported << args.at(0)
                            .toString()
                            .remove("Could not write " + stem)
                            .remove("Could not write ");
        QCOMPARE(reported, failed);
        QCOMPARE(worker.saveFailed.load(), !calibration);
        QCOMPARE(worker.maxRange[0], calibration ? 7000u : kDefaultBright);
        QVERIFY(worker.savedFrames.empty() && worker.savedGrayData.empty());
        if (!calibration)
            QCOMPARE(rdm->getSaveProgress(), -100);
        for (const char* suffix : {".csv", "_Grayscale.csv"})
            if (!calibration && !failed.contains(suffix))
                QVERIFY(contents(stem + suffix).endsWith(",\n\n\n"));
    }
};

QTEST_GUILESS_MAIN(TestDataFiles)
#include "test_datafiles.moc"

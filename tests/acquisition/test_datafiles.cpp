// Calibration files, the data export and their number formatter, driven
// directly on an idle worker with known frames. Files are compared byte for
// byte with what a plain QTextStream writes.
#include "CsvTable.h"
#include "RunningDataManager.h"
#include "Scene.h"
#include "SimSupport.h"
#include "Tessary_VideoThread.h"
#include "TestSupport.h"
#include "conversion.h"

#include <QtTest>

#include <algorithm>
#include <array>
#include <cfloat>
#include <functional>
#include <numeric>
#include <random>

// A number costs tens of times more under a sanitizer: there the formatter
// checks a sample of each kind of number, elsewhere every one.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SANITIZED_BUILD
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SANITIZED_BUILD
#endif
#endif

namespace {

#ifdef SANITIZED_BUILD
constexpr int kShare = 20; // one number in kShare
#else
constexpr int kShare = 1;
#endif

using Doubles = std::vector<double>;
using Frame = std::vector<uint8_t>;
RunningDataManager* const rdm = RunningDataManager::instance();

// Each value's text as our formatter writes it, and as QTextStream does.
// Split into lists only where they differ, which names the first value that
// does; equal texts give two empty lists (an entry for every number is dear
// under a sanitizer).
template <typename T, typename Put>
QPair<QList<QByteArray>, QList<QByteArray>> numberTexts(const std::vector<T>& values, Put put)
{
    std::vector<char> ours(values.size() * (csv::kMaxNumberText + 1));
    QString theirs;
    QTextStream stream(&theirs);
    char* out = ours.data();
    for (const T& v : values) {
        stream << v << '|';
        out = put(out, v);
        *out++ = '|';
    }
    stream.flush();
    const QByteArray ourText(ours.data(), int(out - ours.data())), theirText = theirs.toLatin1();
    if (ourText == theirText)
        return {};
    return {ourText.split('|'), theirText.split('|')};
}

// A scene frame of the simulated board with its first pixels replaced.
Frame sceneFrame(uint64_t number, const std::vector<uint32_t>& first)
{
    Frame frame = boardsim::renderScene(0xCAFE, number, 166);
    for (std::size_t i = 0; i < first.size(); ++i)
        for (int b = 0; b < 4; ++b)
            frame[4 * i + b] = uint8_t(first[i] >> (8 * b));
    return frame;
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

// Levels 0 … 255 as QTextStream writes them as a T, each streamed once: a
// table puts them through QLatin1String, which allocates nothing.
template <typename T> QLatin1String levelText(uint8_t level)
{
    static const std::array<QByteArray, 256> texts = [] {
        std::array<QByteArray, 256> t;
        for (int v = 0; v < 256; ++v)
            QTextStream(&t[std::size_t(v)]) << T(v);
        return t;
    }();
    return QLatin1String(texts[level]);
}

// streamed() made once a run for each key: rows that keep the same frames
// share their tables, as every number streamed is dear under a sanitizer.
QByteArray streamedOnce(const QString& key, const QList<int>& frames, bool trailingComma,
                        const std::function<void(QTextStream&, int frame, int pixel)>& value)
{
    static QHash<QString, QByteArray> made;
    auto it = made.find(key);
    if (it == made.end())
        it = made.insert(key, streamed(frames, trailingComma, value));
    return *it;
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
        // Currents of raw counts over the sensor's scale, and over the whole
        // 32-bit range, in each range.
        auto raw = [&] { return uint32_t(random() % 3 ? 4096 + random() % (1u << 20) : random()); };
        const double A[] = {25, 25, 13, 4}, B[] = {166, 500, 1300, 4000};
        Doubles currents;
        for (int i = 0; i < 1000000 / kShare; ++i)
            currents.push_back(pixelCurrent(raw(), A[i % 4], B[i % 4]));
        QTest::newRow("currents") << currents;
        // Every magnitude a current can have, of either sign, and far beyond.
        Doubles magnitudes;
        std::uniform_real_distribution<double> mantissa(-10, 10);
        for (int i = 0; i < 500000 / kShare; ++i)
            magnitudes.push_back(mantissa(random) * std::pow(10.0, int(random() % 35) - 16));
        for (int i = 0; i < 20000 / kShare; ++i) // the double's whole range
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
            for (uint64_t lo = (999999 + five) / five, hi = 9999999 / five, i = 0;
                 i < 3000 / kShare; ++i)
                tie(std::ldexp(double(std::min(hi, (lo + random() % (hi - lo + 1)) | 1)), -int(j)));
        for (int p = 0; p <= 22; ++p)
            for (int i = 0; i < 1000 / kShare; ++i) {
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
        const auto [ours, theirs] = numberTexts(values, csv::putDouble);
        QCOMPARE(ours, theirs);
    }

    void integers()
    {
        std::vector<uint32_t> values{UINT32_MAX, 1000000000, 999999999};
        for (uint32_t v = 0; v < 300000; ++v)
            values.push_back(v < 100000 ? v : v * 14327u);
        const auto [ours, theirs] = numberTexts(values, csv::putUnsigned);
        QCOMPARE(ours, theirs);
    }

    void calibration_data()
    {
        QTest::addColumn<bool>("bright");
        QTest::addColumn<int>("interrupted");    // frames of an unfinished Full-ON before
        QTest::addColumn<QStringList>("failed"); // files not stored
        const QString raw = "Calibration/ON_calibration.csv";
        const QString current = "Calibration/ON_Current_calibration.csv";
        QTest::newRow("Full-ON") << true << 0 << QStringList();
        // Its samples stay in their slots and complete the next calibration.
        QTest::newRow("Full-OFF after an interrupted Full-ON") << false << 4 << QStringList();
        // Whatever could not be stored is reported; the references are set all the same.
        QTest::newRow("no folder") << true << 0 << QStringList{raw, current};
        // Room on the disk for the raw file, not for the longer current file.
        QTest::newRow("full disk") << true << 0 << QStringList{current};
    }

    void calibration()
    {
        QFETCH(bool, bright);
        QFETCH(int, interrupted);
        QFETCH(QStringList, failed);
        QVERIFY(failed.size() < 2 || QDir("Calibration").removeRecursively());
        Tessary_VideoThread worker;
        const uint32_t* range = bright ? worker.maxRange : worker.minRange;
        const uint32_t* copy = bright ? worker.maxCalibration : worker.minCalibration;
        const uint32_t* other = bright ? worker.minRange : worker.maxRange;
        const QString raw =
            bright ? "Calibration/ON_calibration.csv" : "Calibration/OFF_calibration.csv";
        const QString current = QString(raw).replace("_cal", "_Current_cal");

        std::vector<Frame> frames;
        for (uint32_t k = 0; k < 10; ++k)
            frames.push_back(sceneFrame(k, {10 * (1 + k * 7 % 10), k < 8 ? 5000u : 5007u, 4000,
                                            4096 + (1u << 20), 0x80000000u}));
        auto calibrate = [&](int k, bool max) {
            unsigned char* c = frames[std::size_t(k)].data();
            (worker.*(max ? &Tessary_VideoThread::setMax : &Tessary_VideoThread::setMin))(
                c, c + kChunkBytes, c + 2 * kChunkBytes, c + 3 * kChunkBytes);
        };
        for (int k = 0; k < 9; ++k)
            calibrate(k, k < interrupted || bright);
        QCOMPARE(range[0], bright ? kDefaultBright : kZeroLevel);
        QVERIFY(!QFile::exists(raw) && !QDir("Calibration").exists("ON_calibration.csv"));
        // Mean of the middle eight by sorting, in wrapping 32-bit sums.
        std::vector<uint32_t> means(kFramePixels);
        for (int i = 0; i < kFramePixels; ++i) {
            std::array<uint32_t, 10> s;
            for (std::size_t k = 0; k < s.size(); ++k)
                s[k] = rawPixel(frames[k].data() + 4 * i);
            std::sort(s.begin(), s.end());
            means[std::size_t(i)] = std::accumulate(s.begin() + 1, s.end() - 1, 0u) >> 3;
        }
        // Every row keeps the same frames.
        const QByteArray rawText =
            streamedOnce("calibration raw", {-1}, true,
                         [&](QTextStream& out, int, int i) { out << means[std::size_t(i)]; });
        // An earlier file stays as it was unless it is replaced whole.
        const QByteArray earlier = "earlier";
        QVERIFY(failed.size() != 1 || writeFile(current, earlier));
        DebugCapture debug;
        QSignalSpy stored(&worker, &Tessary_VideoThread::storeFailed);
        const FileSizeLimit room(failed.size() == 1 ? rlim_t(rawText.size()) : RLIM_INFINITY);
        calibrate(9, bright);
        QCOMPARE(worker.calibIndex, 0);
        QStringList said;
        QList<QVariantList> reported; // the spy's list of argument lists
        for (const QString& file : {raw, current})
            said << (failed.contains(file) ? "gg" : "ok： \"" + file + "\"");
        for (const QString& file : failed)
            reported << QVariantList{"Could not write " + file};
        QCOMPARE(debug.messages(), said);
        QCOMPARE((bright ? worker.maxNotStored : worker.minNotStored).load(), !failed.isEmpty());
        QCOMPARE(QList<QVariantList>(stored), reported);

        QCOMPARE(std::vector<uint32_t>(range, range + 5),
                 (std::vector<uint32_t>{55, 5000, 4000, 1052672, 0}));
        QVERIFY(std::equal(means.begin(), means.end(), range));
        QCOMPARE(other[0], bright ? kZeroLevel : kDefaultBright);

        QCOMPARE(QDir("Calibration").entryList(QDir::Files).size(), failed.size() < 2 ? 2 : 0);
        QCOMPARE(fileBytes(raw), failed.contains(raw) ? QByteArray() : rawText);
        QVERIFY(failed != QStringList{current} || fileBytes(current) == earlier);
        if (!failed.contains(current)) {
            // The copy ends as the current file shows it: nothing below zero level.
            for (int i = 0; i < kFramePixels; ++i)
                QCOMPARE(copy[i], std::max(means[std::size_t(i)], kZeroLevel));
            QCOMPARE(fileBytes(current).left(23), QByteArray("0,0.129838,0,150.602,0,"));
            QCOMPARE(
                fileBytes(current),
                streamedOnce("calibration currents", {-1}, true, [&](QTextStream& out, int, int i) {
                    const uint32_t v = means[std::size_t(i)];
                    out << (v < kZeroLevel ? 0.0 : pixelCurrent(v, 25, 166));
                }));
        }
    }

    void exportTables_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<QList<bool>>("filter"); // ripple filter on while frame f was kept
        QTest::addColumn<int>("charge");         // pC; with 0 every current is "0"
        QTest::addColumn<QStringList>("failed"); // files cut short
        QTest::addColumn<QString>("printed");
        const QList<bool> off{false};
        const QStringList none;
        QTest::newRow("one frame") << 1 << off << 13 << none << "0\n";
        // Each frame's gray table as it was shown: filtered or not.
        QTest::newRow("filter on") << 2 << QList<bool>{true, true} << 13 << none << "";
        QTest::newRow("filter switched on")
            << 3 << QList<bool>{false, false, true} << 13 << none << "0\n1\n";
        QTest::newRow("filter switched off")
            << 3 << QList<bool>{true, false, false} << 13 << none << "1\n2\n";
        // Whatever could not be stored is reported, never passed as stored,
        // and not left under its name: an earlier file stays as it was.
        QTest::newRow("full disk") << 1 << off << 13 << QStringList{".csv"} << "0\n";
        QTest::newRow("full disk for gray levels")
            << 1 << off << 0 << QStringList{"_Grayscale.csv"} << "0\n";
        QTest::newRow("full disk for both tables")
            << 1 << off << 13 << QStringList{".csv", "_Grayscale.csv"} << "0\n";
    }

    void exportTables()
    {
        QFETCH(int, requested);
        QFETCH(QList<bool>, filter);
        QFETCH(int, charge);
        QFETCH(QStringList, failed);
        QFETCH(QString, printed);
        const QString stem = QString("%1/save/name_%2_Frames").arg(dir->path()).arg(requested);
        QVERIFY(QDir().mkdir("save"));
        // Earlier files, longer than what replaces them.
        const QByteArray earlierCurrents(4 << 20, 'x'), earlierGrays(3 << 20, 'y');
        QVERIFY(writeFile(stem + ".csv", earlierCurrents));
        QVERIFY(writeFile(stem + "_Grayscale.csv", earlierGrays));
        Tessary_VideoThread worker;
        worker.fullScaleCharge = charge;
        worker.integrationTime = 1300;
        // Pixels 0 … 6 hold the gray rule's cases, 7 … 9 the current's.
        const uint32_t darks[] = {4096, 4096, 4096, 0, 5000, 9000, 1};
        const uint32_t brights[] = {8192, 8192, 8192, 0, 5000, 3000, 0};
        std::copy(darks, darks + 7, worker.minRange);
        std::copy(brights, brights + 7, worker.maxRange);
        worker.savePath = dir->path().toStdString() + "/save";
        worker.saveNumber = requested;
        worker.isSaveData = true;
        worker.saveFailed = true; // from an earlier save
        QList<int> progress;
        connect(&worker, &Tessary_VideoThread::saveDialog, this,
                [&] { progress << rdm->getSaveProgress(); });
        QSignalSpy stored(&worker, &Tessary_VideoThread::storeFailed);

        // The rows share frame f and the references, so its tables too.
        std::vector<Frame> frames;
        QList<int> expectedProgress;
        QByteArray expectedCurrents, expectedGrays;
        for (int f = 0; f < filter.size(); ++f) {
            frames.push_back(sceneFrame(uint64_t(f), {6144, 2048, 20000, 77, 77, 5000, 0x80000001u,
                                                      4096, 4096 + (1u << 20), 0}));
            const unsigned char* raw = frames.back().data();
            expectedCurrents +=
                streamedOnce(QString("currents of %1 pC, frame %2").arg(charge).arg(f), {f}, true,
                             [&](QTextStream& s, int, int i) {
                                 s << pixelCurrent(rawPixel(raw + 4 * i), charge, 1300);
                             });
            expectedGrays += streamedOnce(
                QString(filter[f] ? "filtered levels, frame %1" : "levels, frame %1").arg(f), {f},
                !filter[f], [&](QTextStream& s, int, int i) {
                    if (filter[f])
                        s << levelText<float>(uint8_t(i * 7 + f));
                    else
                        s << levelText<uint>(grayLevel(rawPixel(raw + 4 * i), worker.minRange[i],
                                                       worker.maxRange[i], true));
                });
            expectedProgress << f + 1;
        }
        StreamCapture out;
        // Room for the gray table (2 to 4 bytes a value), not the currents;
        // for currents that are all "0" (2 bytes a value), not the gray
        // table; or for neither.
        const rlim_t room = failed.isEmpty()                    ? RLIM_INFINITY
                            : failed.size() == 2                ? 4096
                            : failed.contains("_Grayscale.csv") ? rlim_t(expectedCurrents.size())
                                                                : 300000;
        const FileSizeLimit limit(room);
        for (int f = 0; f < filter.size(); ++f) {
            cv::Mat shown = grayImage([f](int r, int c) { return (r * 256 + c) * 7 + f; });
            worker.isFft = filter[f];
            unsigned char* c = frames[std::size_t(f)].data();
            worker.keepFrame(c, c + kChunkBytes, c + 2 * kChunkBytes, c + 3 * kChunkBytes,
                             filter[f] ? shown : cv::Mat());
            worker.recordFrame(shown);
        }
        QCOMPARE(progress, expectedProgress << -100);
        QCOMPARE(QString::fromStdString(out.text()), printed);
        QList<QVariantList> reported;
        for (const QString& suffix : failed)
            reported << QVariantList{"Could not write " + stem + suffix};
        QCOMPARE(QList<QVariantList>(stored), reported);
        QVERIFY(worker.savedFrames.empty() && worker.savedGrayData.empty() && !worker.isSaveData);
        QVERIFY(!worker.savedFrameStore && !worker.savedGrayStore && !rdm->getSaveState());
        QCOMPARE(worker.saveFailed.load(), !failed.isEmpty());

        // No temporary file is left.
        const QString name = QFileInfo(stem).fileName();
        QCOMPARE(QDir("save").entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                        QDir::NoDotAndDotDot),
                 (QStringList{name + ".csv", name + "_Grayscale.csv"}));
        const QByteArray currents = fileBytes(stem + ".csv");
        QVERIFY(!failed.contains(".csv") || currents == earlierCurrents);
        if (!failed.contains(".csv")) {
            QVERIFY(!charge || currents.mid(8, 200).split(',').mid(7, 3) ==
                                   (QList<QByteArray>{"0", "10", "0"}));
            QCOMPARE(currents, expectedCurrents);
        }
        const QByteArray grays = fileBytes(stem + "_Grayscale.csv");
        QVERIFY(!failed.contains("_Grayscale.csv") || grays == earlierGrays);
        if (!failed.contains("_Grayscale.csv")) {
            QVERIFY(filter[0] || grays.startsWith("Frame 0\n127,127,255,0,255,0,255,"));
            // Filtered tables: values between commas, none after the last.
            QVERIFY(!filter[0] || grays.startsWith("Frame 0\n0,7,14,21,"));
            QVERIFY(filter.contains(false) || !grays.contains(",\n"));
            QCOMPARE(grays, expectedGrays);
        }
    }

    // A folder takes the table's name while it is written: the final rename
    // fails, the table says so, and neither it nor its temporary is left.
    void tableCommitFails()
    {
        QVERIFY(QDir().mkdir("save"));
        csv::CsvFile table("save/table.csv", false);
        QVERIFY(table.isOpen());
        table.write("1,2\n", 4);
        QVERIFY(!table.failed() && QDir().mkpath("save/table.csv/kept"));
        QVERIFY(!table.close());
        QVERIFY(table.failed());
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QCOMPARE(QDir("save").entryList(all), QStringList{"table.csv"});
        QCOMPARE(QDir("save/table.csv").entryList(all), QStringList{"kept"});
    }
};

QTEST_GUILESS_MAIN(TestDataFiles)
#include "test_datafiles.moc"

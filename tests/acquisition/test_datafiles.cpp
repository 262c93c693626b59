// Calibration files and the data export, driven directly on an idle worker
// with known frames; files compared byte for byte with what a plain
// QTextStream writes.
#include "RunningDataManager.h"
#include "Scene.h"
#include "Tessary_VideoThread.h"
#include "TestSupport.h"
#include "conversion.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace {

using Frame = std::vector<uint8_t>;
RunningDataManager* const rdm = RunningDataManager::instance();

// A scene frame of the simulated board with the first pixels replaced.
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

using Step = void (Tessary_VideoThread::*)(unsigned char*, unsigned char*, unsigned char*,
                                           unsigned char*);
void give(Tessary_VideoThread& worker, Step step, Frame& f)
{
    (worker.*step)(f.data(), f.data() + kChunkBytes, f.data() + 2 * kChunkBytes,
                   f.data() + 3 * kChunkBytes);
}

void keep(Tessary_VideoThread& worker, Frame& f, const cv::Mat& display)
{
    worker.keepFrame(f.data(), f.data() + kChunkBytes, f.data() + 2 * kChunkBytes,
                     f.data() + 3 * kChunkBytes, display);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// The tables as a default QTextStream writes them: "Frame f" lines for the
// given frames (none when `frames` is empty: calibration files), 256 lines of
// 256 values, two empty lines.
using Value = std::function<void(QTextStream&, int frame, int pixel)>;
QByteArray streamed(const QList<int>& frames, bool trailingComma, const Value& value)
{
    QByteArray text;
    QTextStream out(&text);
    for (int f : frames.isEmpty() ? QList<int>{-1} : frames) {
        if (f >= 0)
            out << "Frame " << f << "\n";
        for (int i = 0; i < kFramePixels; ++i) {
            value(out, f, i);
            if (trailingComma || i % 256 != 255)
                out << ",";
            if (i % 256 == 255)
                out << "\n";
        }
        out << "\n\n";
    }
    out.flush();
    return text;
}

// Mean of the middle eight of ten samples, by sorting, in 32-bit sums.
uint32_t trimmedMean(std::vector<uint32_t> s)
{
    std::sort(s.begin(), s.end());
    uint32_t sum = 0;
    for (int k = 1; k <= 8; ++k)
        sum += s[std::size_t(k)];
    return sum >> 3;
}

} // namespace

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
        QVERIFY(QDir::setCurrent(dir->path()));
        QVERIFY(QDir().mkdir("Calibration"));
        rdm->setSaveName("name");
    }
    void cleanup() { QDir::setCurrent(previousDirectory); }

    void calibration_data()
    {
        QTest::addColumn<bool>("bright");
        QTest::newRow("Full-ON") << true;
        QTest::newRow("Full-OFF") << false;
    }

    void calibration()
    {
        QFETCH(bool, bright);
        Tessary_VideoThread worker;
        const Step step = bright ? &Tessary_VideoThread::setMax : &Tessary_VideoThread::setMin;
        uint32_t* range = bright ? worker.maxRange : worker.minRange;
        uint32_t* other = bright ? worker.minRange : worker.maxRange;
        const uint32_t* copy = bright ? worker.maxCalibration : worker.minCalibration;
        const uint32_t untouched = bright ? kDefaultBright : kZeroLevel;
        const QString kind = bright ? "ON" : "OFF";
        const QString rawName = "Calibration/" + kind + "_calibration.csv";
        const QString currentName = "Calibration/" + kind + "_Current_calibration.csv";

        std::vector<Frame> frames;
        for (int k = 0; k < 10; ++k)
            frames.push_back(
                sceneFrame(uint64_t(k), {
                                            uint32_t(10 * (1 + k * 7 % 10)), // 10 … 100
                                            k < 8 ? 5000u : 5007u,
                                            4000, // below the zero level
                                            4096 + (1u << 20),
                                            0x80000000u, // the sum wraps
                                        }));
        for (int k = 0; k < 9; ++k)
            give(worker, step, frames[std::size_t(k)]);
        QCOMPARE(worker.calibIndex, 9);
        QCOMPARE(int(std::count(range, range + kFramePixels, untouched)), kFramePixels);
        QVERIFY(!QFile::exists(rawName) && !QFile::exists(currentName));

        DebugCapture debug;
        give(worker, step, frames[9]);
        QCOMPARE(worker.calibIndex, 0);
        QCOMPARE(debug.messages(),
                 QStringList({"ok： \"" + rawName + "\"", "ok： \"" + currentName + "\""}));

        std::vector<uint32_t> means(kFramePixels);
        for (int i = 0; i < kFramePixels; ++i) {
            std::vector<uint32_t> samples;
            for (const Frame& f : frames)
                samples.push_back(pixel(f, i));
            means[std::size_t(i)] = trimmedMean(samples);
        }
        QCOMPARE(std::vector<uint32_t>(range, range + 5),
                 (std::vector<uint32_t>{55, 5000, 4000, 1052672, 0}));
        QVERIFY(std::equal(means.begin(), means.end(), range));
        QCOMPARE(int(std::count(other, other + kFramePixels, bright ? kZeroLevel : kDefaultBright)),
                 kFramePixels);
        // The copy keeps what the current file shows: nothing below zero level.
        for (int i = 0; i < kFramePixels; ++i)
            QCOMPARE(copy[i], std::max(means[std::size_t(i)], kZeroLevel));

        const QByteArray raw = contents(rawName);
        QVERIFY(raw.startsWith("55,5000,4000,1052672,0,"));
        QCOMPARE(raw, streamed({}, true, [&](QTextStream& out, int, int i) {
                     out << means[std::size_t(i)];
                 }));
        const QByteArray current = contents(currentName);
        QVERIFY(current.startsWith("0,0.129838,0,150.602,0,"));
        QCOMPARE(current, streamed({}, true, [&](QTextStream& out, int, int i) {
                     const uint32_t v = means[std::size_t(i)];
                     out << (v < kZeroLevel ? 0.0 : pixelCurrent(v, 25, 166));
                 }));
    }

    // Samples of an interrupted calibration stay in their slots and complete
    // the next calibration, of either kind.
    void interruptedCalibration()
    {
        Tessary_VideoThread worker;
        std::vector<Frame> frames;
        for (int k = 0; k < 10; ++k)
            frames.push_back(sceneFrame(uint64_t(k), {uint32_t(10 * (10 - k))}));
        for (int k = 0; k < 4; ++k)
            give(worker, &Tessary_VideoThread::setMax, frames[std::size_t(k)]);
        QCOMPARE(worker.calibIndex, 4);
        for (int k = 4; k < 10; ++k)
            give(worker, &Tessary_VideoThread::setMin, frames[std::size_t(k)]);
        QCOMPARE(worker.calibIndex, 0);
        QCOMPARE(worker.minRange[0], 55u);
        std::vector<uint32_t> samples;
        for (const Frame& f : frames)
            samples.push_back(pixel(f, 4242));
        QCOMPARE(worker.minRange[4242], trimmedMean(samples));
        QCOMPARE(worker.maxRange[0], kDefaultBright);
        QVERIFY(QFile::exists("Calibration/OFF_calibration.csv"));
        QVERIFY(!QFile::exists("Calibration/ON_calibration.csv"));
    }

    void calibrationFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("debug");
        QTest::addColumn<QStringList>("failed");
        const QString raw = "Calibration/ON_calibration.csv";
        const QString current = "Calibration/ON_Current_calibration.csv";
        QTest::newRow("missing folder")
            << "missing" << QStringList{"gg", "gg"} << QStringList{raw, current};
        QTest::newRow("full disk")
            << "full" << QStringList{"ok： \"" + raw + "\"", "gg"} << QStringList{current};
    }

    // Nothing that could not be stored passes silently; the references are
    // set all the same.
    void calibrationFailures()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, debug);
        QFETCH(QStringList, failed);
        if (fault == "missing") {
            QVERIFY(QDir("Calibration").removeRecursively());
        } else {
            if (!QFile::exists("/dev/full"))
                QSKIP("no /dev/full here");
            QVERIFY(QFile::link("/dev/full", "Calibration/ON_Current_calibration.csv"));
        }
        Tessary_VideoThread worker;
        QSignalSpy stored(&worker, &Tessary_VideoThread::storeFailed);
        Frame frame = sceneFrame(1, {7000});
        DebugCapture capture;
        for (int k = 0; k < 10; ++k)
            give(worker, &Tessary_VideoThread::setMax, frame);
        QCOMPARE(capture.messages(), debug);
        QStringList texts;
        for (const QList<QVariant>& args : stored)
            texts << args.at(0).toString();
        for (QString& name : failed)
            name.prepend("Could not write ");
        QCOMPARE(texts, failed);
        QCOMPARE(worker.maxRange[0], 7000u);
    }

    void exportTables_data()
    {
        QTest::addColumn<int>("requested");
        QTest::addColumn<QList<bool>>("filter"); // ripple filter on while frame f was kept
        QTest::addColumn<int>("lowered");        // count of a second confirm before the last frame
        QTest::addColumn<QString>("stdoutText");
        QTest::newRow("one frame") << 1 << QList<bool>{false} << 0 << "0\n";
        QTest::newRow("three frames") << 3 << QList<bool>{false, false, false} << 0 << "0\n1\n2\n";
        QTest::newRow("filter on") << 2 << QList<bool>{true, true} << 0 << "";
        // Only frames with a filtered picture get a filtered table, under
        // their own index.
        QTest::newRow("filter switched on") << 3 << QList<bool>{false, false, true} << 0 << "";
        QTest::newRow("filter switched off")
            << 3 << QList<bool>{true, false, false} << 0 << "0\n1\n2\n";
        // A second save asking for fewer frames than are kept ends at once,
        // with every kept frame, named after the count asked for.
        QTest::newRow("count lowered") << 5 << QList<bool>{false, false, false} << 2 << "0\n1\n2\n";
    }

    void exportTables()
    {
        QFETCH(int, requested);
        QFETCH(QList<bool>, filter);
        QFETCH(int, lowered);
        QFETCH(QString, stdoutText);
        const int count = lowered ? lowered : requested;
        const QString stem = dir->path() + "/name_" + QString::number(count) + "_Frames";

        Tessary_VideoThread worker;
        worker.fullScaleCharge = 13;
        worker.integrationTime = 1300;
        // Pixel 0 … 6: the gray rule's cases; 7 … 9: the current's.
        const uint32_t darks[] = {4096, 4096, 4096, 0, 5000, 9000, 1};
        const uint32_t brights[] = {8192, 8192, 8192, 0, 5000, 3000, 0};
        for (int i = 0; i < 7; ++i) {
            worker.minRange[i] = darks[i];
            worker.maxRange[i] = brights[i];
        }
        worker.savePath = dir->path().toStdString();
        worker.saveNumber = requested;
        worker.isSaveData = true;
        worker.saveFailed = true; // from an earlier save
        {
            QFile earlier(stem + ".csv"); // longer than what replaces it
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write(QByteArray(4 << 20, 'x'));
        }
        QList<int> progress;
        connect(&worker, &Tessary_VideoThread::saveDialog, this,
                [&] { progress << rdm->getSaveProgress(); });

        std::vector<Frame> frames;
        std::vector<cv::Mat> shown;
        StdoutCapture out;
        for (int f = 0; f < filter.size(); ++f) {
            frames.push_back(sceneFrame(uint64_t(f), {6144, 2048, 20000, 77, 77, 5000, 0x80000001u,
                                                      4096, 4096 + (1u << 20), 0}));
            cv::Mat display(kFrameSide, kFrameSide, CV_8UC1);
            for (int i = 0; i < kFramePixels; ++i)
                display.data[i] = uint8_t(i * 7 + f);
            shown.push_back(display);
            worker.isFft = filter[f];
            if (lowered && f == filter.size() - 1)
                worker.saveNumber = lowered;
            keep(worker, frames.back(), display);
        }

        QList<int> expectedProgress;
        for (int f = 1; f <= filter.size(); ++f)
            expectedProgress << f;
        QCOMPARE(progress, expectedProgress << -100);
        QCOMPARE(QString::fromStdString(out.text()), stdoutText);
        QVERIFY(worker.savedFrames.empty() && worker.savedGrayData.empty());
        QVERIFY(!worker.isSaveData && !worker.saveFailed && !rdm->getSaveState());
        QCOMPARE(worker.savedCount, 0);

        QList<int> all, filtered;
        for (int f = 0; f < filter.size(); ++f) {
            all << f;
            if (filter[f])
                filtered << f;
        }
        const QByteArray currents = contents(stem + ".csv");
        QVERIFY(currents.startsWith("Frame 0\n"));
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
            QVERIFY(grays.startsWith("Frame 0\n127,127,255,0,255,0,255,"));
            QCOMPARE(grays, streamed(all, true, [&](QTextStream& s, int f, int i) {
                         const uint32_t raw = pixel(frames[std::size_t(f)], i);
                         s << uint(grayLevel(raw, worker.minRange[i], worker.maxRange[i], true));
                     }));
        }
    }

    void exportFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("failed"); // file name suffixes
        QTest::addColumn<QString>("stdoutText");
        QTest::newRow("missing directory")
            << "missing" << QStringList{".csv", "_Grayscale.csv"} << "open failed\n";
        QTest::newRow("full disk, currents") << ".csv" << QStringList{".csv"} << "0\n";
        QTest::newRow("full disk, gray levels")
            << "_Grayscale.csv" << QStringList{"_Grayscale.csv"} << "0\n";
    }

    // A file that could not be stored is reported, never " save success";
    // the kept data goes all the same, and the other file is whole.
    void exportFailures()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, failed);
        QFETCH(QString, stdoutText);
        QString directory = dir->path();
        if (fault == "missing") {
            directory += "/missing";
        } else {
            if (!QFile::exists("/dev/full"))
                QSKIP("no /dev/full here");
            QVERIFY(QFile::link("/dev/full", directory + "/name_1_Frames" + fault));
        }
        const QString stem = directory + "/name_1_Frames";

        Tessary_VideoThread worker;
        worker.savePath = directory.toStdString();
        worker.saveNumber = 1;
        worker.isSaveData = true;
        QSignalSpy stored(&worker, &Tessary_VideoThread::storeFailed);
        Frame frame = sceneFrame(3);
        StdoutCapture out;
        keep(worker, frame, cv::Mat());

        QCOMPARE(QString::fromStdString(out.text()), stdoutText);
        QStringList texts;
        for (const QList<QVariant>& args : stored)
            texts << args.at(0).toString();
        for (QString& name : failed)
            name.prepend("Could not write " + stem);
        QCOMPARE(texts, failed);
        QVERIFY(worker.saveFailed);
        QCOMPARE(rdm->getSaveProgress(), -100);
        QVERIFY(worker.savedFrames.empty() && worker.savedGrayData.empty());
        for (const QString suffix : {".csv", "_Grayscale.csv"})
            if (!failed.contains("Could not write " + stem + suffix))
                QVERIFY(contents(stem + suffix).endsWith(",\n\n\n"));
    }
};

QTEST_GUILESS_MAIN(TestDataFiles)
#include "test_datafiles.moc"

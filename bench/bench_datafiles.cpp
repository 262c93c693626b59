// Cost of the data files: the export of a save, the calibration's tenth
// frame, and the memory a 1000-frame save takes.
//
// The export runs on the acquisition thread and holds up the live picture
// while it writes. Goal: a 100-frame save written by save() at least 8 times
// faster than a straightforward QTextStream writer of the same bytes, and
// within 3 times of a plain write of as many bytes into the same directory.
// Both ratios are printed after the run.
//
// Memory goal, measured by `bench_datafiles --peak-memory [--filter]`: while
// a 1000-frame save is kept and written, the peak resident memory grows by at
// most 1.1 x the 262 MB of raw frames (plus 262 MB with the filter on), and
// once it is written, resident memory is back within 16 MB of where it was.
#include "RatioReporter.h"
#include "RunningDataManager.h"
#include "Scene.h"
#include "Tessary_VideoThread.h"
#include "conversion.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTextStream>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kSaveFrames = 100;

struct Fixture
{
    QTemporaryDir dir;
    std::vector<std::vector<uint8_t>> frames;
    Fixture()
    {
        for (int f = 0; f < kSaveFrames; ++f)
            frames.push_back(boardsim::renderScene(0x5EED, uint64_t(f), 166));
        RunningDataManager::instance()->setSaveName("bench");
    }
    QString stem() const { return dir.path() + "/bench_100_Frames"; }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void prepare(Tessary_VideoThread& worker)
{
    Fixture& fx = fixture();
    worker.savePath = fx.dir.path().toStdString();
    worker.saveNumber = kSaveFrames;
    worker.isFft = false;
}

// Keeps the fixture's frames as a save of kSaveFrames would.
void keepAll(Tessary_VideoThread& worker)
{
    worker.isSaveData = true;
    for (auto& frame : fixture().frames) {
        uint8_t* c = frame.data();
        worker.keepFrame(c, c + kChunkBytes, c + 2 * kChunkBytes, c + 3 * kChunkBytes, cv::Mat());
    }
}

// The same two files, the plain way: a default QTextStream per file.
void textStreamSave(Tessary_VideoThread& worker, const QString& stem)
{
    const double A = worker.fullScaleCharge, B = worker.integrationTime;
    const auto& frames = fixture().frames;
    QFile currents(stem + ".csv");
    if (currents.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream out(&currents);
        for (int f = 0; f < int(frames.size()); ++f) {
            out << "Frame " << f << "\n";
            for (int i = 0; i < kFramePixels; ++i) {
                out << pixelCurrent(rawPixel(frames[std::size_t(f)].data() + 4 * i), A, B) << ",";
                if (i % 256 == 255)
                    out << "\n";
            }
            out << "\n\n";
        }
    }
    QFile grays(stem + "_Grayscale.csv");
    if (grays.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream out(&grays);
        for (int f = 0; f < int(frames.size()); ++f) {
            std::cout << f << std::endl;
            out << "Frame " << f << "\n";
            for (int i = 0; i < kFramePixels; ++i) {
                const uint32_t raw = rawPixel(frames[std::size_t(f)].data() + 4 * i);
                out << uint(grayLevel(raw, worker.minRange[i], worker.maxRange[i], true)) << ",";
                if (i % 256 == 255)
                    out << "\n";
            }
            out << "\n\n";
        }
    }
}

qint64 fileSize(const QString& path)
{
    return QFileInfo(path).size();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The frame numbers the gray table writes to standard output stay out of
// the benchmark's report.
struct QuietStdout
{
    std::streambuf* previous;
    std::ofstream sink{"/dev/null"};
    QuietStdout() : previous(std::cout.rdbuf(sink.rdbuf())) {}
    ~QuietStdout() { std::cout.rdbuf(previous); }
};

void BM_Save(benchmark::State& state)
{
    Tessary_VideoThread worker;
    prepare(worker);
    QuietStdout quiet;
    // The two writers must agree byte for byte, or the comparison means nothing.
    keepAll(worker);
    worker.endSave();
    const QString reference = fixture().dir.path() + "/reference";
    textStreamSave(worker, reference);
    if (contents(fixture().stem() + ".csv") != contents(reference + ".csv") ||
        contents(fixture().stem() + "_Grayscale.csv") != contents(reference + "_Grayscale.csv")) {
        state.SkipWithError("save() and the text stream wrote different bytes");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        keepAll(worker);
        state.ResumeTiming();
        worker.endSave();
    }
    state.SetBytesProcessed(state.iterations() * (fileSize(fixture().stem() + ".csv") +
                                                  fileSize(fixture().stem() + "_Grayscale.csv")));
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_TextStreamWriter(benchmark::State& state)
{
    Tessary_VideoThread worker;
    prepare(worker);
    QuietStdout quiet;
    const QString stem = fixture().dir.path() + "/textstream";
    for (auto _ : state)
        textStreamSave(worker, stem);
    state.SetBytesProcessed(state.iterations() *
                            (fileSize(stem + ".csv") + fileSize(stem + "_Grayscale.csv")));
}
BENCHMARK(BM_TextStreamWriter)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// As many bytes as save() writes, already formatted, written as they are.
void BM_PlainWrite(benchmark::State& state)
{
    const QByteArray texts[2] = {contents(fixture().stem() + ".csv"),
                                 contents(fixture().stem() + "_Grayscale.csv")};
    if (texts[0].isEmpty()) {
        state.SkipWithError("run BM_Save first");
        return;
    }
    const QString names[2] = {fixture().dir.path() + "/plain.csv",
                              fixture().dir.path() + "/plain_Grayscale.csv"};
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            QFile file(names[k]);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) ||
                file.write(texts[k]) != texts[k].size())
                state.SkipWithError("plain write failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * (texts[0].size() + texts[1].size()));
}
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// The calibration step that completes: trimmed means of 65,536 pixels and
// both files. The nine other steps only store the frame.
void BM_CalibrationTenthFrame(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QDir().mkdir("Calibration");
    auto frames = fixture().frames;
    Tessary_VideoThread worker;
    auto step = [&](int k) {
        uint8_t* f = frames[std::size_t(k)].data();
        worker.setMax(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes);
    };
    for (auto _ : state) {
        state.PauseTiming();
        for (int k = 0; k < 9; ++k)
            step(k);
        state.ResumeTiming();
        step(9);
    }
    QDir::setCurrent(previous);
}
BENCHMARK(BM_CalibrationTenthFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CalibrationSampleStep(benchmark::State& state)
{
    auto frames = fixture().frames;
    Tessary_VideoThread worker;
    int k = 0;
    for (auto _ : state) {
        // Never the tenth: that one is measured above.
        if (worker.calibIndex == 9)
            worker.calibIndex = 0;
        uint8_t* f = frames[std::size_t(k++ % 9)].data();
        worker.setMax(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes);
    }
}
BENCHMARK(BM_CalibrationSampleStep)->Unit(benchmark::kMicrosecond);

// Resident memory figures of this process, in kB.
long statusField(const char* name)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(name) + ":";
    while (std::getline(status, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::stol(line.substr(key.size()));
    return -1;
}

int peakMemory(bool filter)
{
    QTemporaryDir dir;
    std::vector<std::vector<uint8_t>> frames;
    for (int f = 0; f < 8; ++f)
        frames.push_back(boardsim::renderScene(0x5EED, uint64_t(f), 166));
    const cv::Mat display(kFrameSide, kFrameSide, CV_8UC1, cv::Scalar(77));
    Tessary_VideoThread worker;
    worker.savePath = dir.path().toStdString();
    worker.saveNumber = 1000;
    worker.isFft = filter;
    worker.isSaveData = true;
    QuietStdout quiet;

    // Start the peak afresh from what the process holds now.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = statusField("VmRSS");
    // On a thread of its own, as the acquisition thread keeps and writes:
    // its allocations come from an arena of their own.
    std::thread([&] {
        for (int f = 0; f < 1000; ++f) {
            uint8_t* c = frames[std::size_t(f % 8)].data();
            worker.keepFrame(c, c + kChunkBytes, c + 2 * kChunkBytes, c + 3 * kChunkBytes,
                             filter ? display : cv::Mat());
        }
        worker.endSave();
    }).join();
    const long peak = statusField("VmHWM");
    const long after = statusField("VmRSS");
    const auto mb = [](long kb) { return kb * 1024 / 1e6; };
    const double grown = mb(peak - before);
    const double kept = mb(after - before);
    const double bound = 1.1 * 262.144 + (filter ? 262.144 : 0);
    std::printf("1000-frame save%s: resident memory %.1f MB before, %.1f MB at the peak, "
                "%.1f MB after\n",
                filter ? " with the filter on" : "", mb(before), mb(peak), mb(after));
    std::printf("  peak grew by %.1f MB (bound %.1f MB, %.2f of it); %.1f MB stayed after "
                "(goal <= 16 MB); written: %.0f MB\n",
                grown, bound, grown / bound, kept,
                (fileSize(dir.path() + "/name_1000_Frames.csv") +
                 fileSize(dir.path() + "/name_1000_Frames_Grayscale.csv")) /
                    1e6);
    return worker.saveFailed || grown > bound || kept > 16 ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    // The calibration's "ok" lines are not part of the report.
    QLoggingCategory::setFilterRules("*.debug=false");
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--peak-memory") == 0) {
            RunningDataManager::instance()->setSaveName("name");
            const bool filter = i + 1 < argc && std::strcmp(argv[i + 1], "--filter") == 0;
            return peakMemory(filter);
        }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double save = reporter.seconds("BM_Save");
    const double textStream = reporter.seconds("BM_TextStreamWriter");
    const double plain = reporter.seconds("BM_PlainWrite");
    if (save > 0 && textStream > 0 && plain > 0) {
        std::printf("save() is %.1f x faster than the QTextStream writer (goal >= 8)\n",
                    textStream / save);
        std::printf("save() takes %.2f x the plain write of as many bytes (goal <= 3)\n",
                    save / plain);
    }
    benchmark::Shutdown();
    return 0;
}

// Cost of turning one raw frame into currents and the display frame, against
// a memcpy of the same 262,144 raw bytes in the same run.
//
// Real per-pixel data: simulated board frames and calibrated references that
// differ from pixel to pixel (constant references would let the compiler
// turn the divisions into multiplications). Baseline besides the memcpy: the
// formulas pixel by pixel, as the conversion was first written. Goal:
// integratedData at most 5 x the memcpy.
#include "Scene.h"
#include "Tessary_VideoThread.h"
#include "conversion.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// Mean nanoseconds per iteration by name, for the ratios at the end.
std::map<std::string, double>& means()
{
    static std::map<std::string, double> table;
    return table;
}

// Runs `step` for every iteration and records its mean time under `name`.
template <class Step> void timed(benchmark::State& state, const std::string& name, Step step)
{
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state)
        step();
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    means()[name] = ns / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

struct Data
{
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint32_t> dark, bright;
};

// Eight successive board frames, and references as a calibration leaves
// them: the fixed-pattern offset under each pixel, a bright level near full
// scale.
const Data& data()
{
    static const Data d = [] {
        Data out;
        for (uint64_t n = 0; n < 8; ++n)
            out.frames.push_back(boardsim::renderScene(0x5EED, n, 166));
        std::mt19937 rng(5);
        for (int i = 0; i < kFramePixels; ++i) {
            out.dark.push_back(kZeroLevel + boardsim::fixedPatternOffset(0x5EED, std::size_t(i)));
            out.bright.push_back(kDefaultBright - rng() % 20000);
        }
        return out;
    }();
    return d;
}

void BM_Memcpy(benchmark::State& state)
{
    std::vector<uint8_t> to(kRawFrameBytes);
    std::size_t n = 0;
    timed(state, "memcpy", [&] {
        const std::vector<uint8_t>& from = data().frames[n++ % 8];
        std::memcpy(to.data(), from.data(), kRawFrameBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    });
    state.SetBytesProcessed(state.iterations() * kRawFrameBytes);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

void BM_IntegratedData(benchmark::State& state)
{
    Tessary_VideoThread worker;
    std::memcpy(worker.minRange, data().dark.data(), 4 * kFramePixels);
    std::memcpy(worker.maxRange, data().bright.data(), 4 * kFramePixels);
    std::vector<std::vector<uint8_t>> frames = data().frames;
    std::size_t n = 0;
    timed(state, "integratedData", [&] {
        uint8_t* f = frames[n++ % 8].data();
        cv::Mat display =
            worker.integratedData(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes);
        benchmark::DoNotOptimize(display.data);
        benchmark::DoNotOptimize(worker.currentData);
        benchmark::ClobberMemory();
    });
    state.SetItemsProcessed(state.iterations() * kFramePixels);
}
BENCHMARK(BM_IntegratedData)->Unit(benchmark::kMicrosecond);

// Each kernel the processor runs; "plain" is the formulas pixel by pixel.
void BM_Kernel(benchmark::State& state)
{
    const PixelKernel kernel = PixelKernel(state.range(0));
    std::vector<double> current(kFramePixels);
    std::vector<uint8_t> gray(kFramePixels);
    std::size_t n = 0;
    const char* const names[] = {"plain", "AVX2", "AVX-512"};
    timed(state, names[state.range(0)], [&] {
        convertPixels(kernel, data().frames[n++ % 8].data(), data().dark.data(),
                      data().bright.data(), kFramePixels, 25, 166, current.data(), gray.data());
        benchmark::DoNotOptimize(current.data());
        benchmark::DoNotOptimize(gray.data());
        benchmark::ClobberMemory();
    });
    state.SetLabel(names[state.range(0)]);
}
BENCHMARK(BM_Kernel)
    ->Apply([](benchmark::internal::Benchmark* b) {
        for (PixelKernel kernel : availablePixelKernels())
            b->Arg(int(kernel));
    })
    ->Unit(benchmark::kMicrosecond);

// The loop's work on a frame once its chunks are in: conversion, own copy,
// a turn by 90 degrees and the mirror.
void BM_FrameSteps(benchmark::State& state)
{
    Tessary_VideoThread worker;
    std::memcpy(worker.minRange, data().dark.data(), 4 * kFramePixels);
    std::memcpy(worker.maxRange, data().bright.data(), 4 * kFramePixels);
    std::vector<std::vector<uint8_t>> frames = data().frames;
    std::size_t n = 0;
    timed(state, "frame steps", [&] {
        uint8_t* f = frames[n++ % 8].data();
        cv::Mat display =
            worker.integratedData(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes)
                .clone();
        turnAndMirror(display, 90, 1);
        benchmark::DoNotOptimize(display.data);
    });
}
BENCHMARK(BM_FrameSteps)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    data();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const std::map<std::string, double>& m = means();
    const auto memcpyNs = m.find("memcpy");
    if (memcpyNs == m.end())
        return 0;
    std::printf("\nPer frame, against a memcpy of the %d raw bytes (%.1f us):\n", kRawFrameBytes,
                memcpyNs->second / 1e3);
    for (const auto& [name, ns] : m)
        if (name != "memcpy")
            std::printf("  %-16s %8.1f us  %6.1f x memcpy%s\n", name.c_str(), ns / 1e3,
                        ns / memcpyNs->second,
                        name == "integratedData" ? "  (goal: at most 5 x)" : "");
    return 0;
}

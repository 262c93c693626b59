// Cost of turning one raw frame into currents and the display frame.
//
// Goal: conversion, own copy, turn and mirror of a frame under 2 ms on
// average, a small part of the fastest frame period (9 frames/s, about
// 111 ms, of which the loop already pauses 30 ms). BM_FrameSteps reports an
// error when the goal is missed.
#include "Scene.h"
#include "Tessary_VideoThread.h"
#include "conversion.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

constexpr double kGoalSeconds = 2e-3;

std::vector<uint8_t> sceneFrame()
{
    return boardsim::renderScene(0x5EED, 7, 166);
}

void reportGoal(benchmark::State& state, double seconds)
{
    state.counters["goal_ms"] = kGoalSeconds * 1e3;
    if (seconds > kGoalSeconds)
        state.SkipWithError("slower than the per-frame goal");
}

void BM_IntegratedData(benchmark::State& state)
{
    std::vector<uint8_t> frame = sceneFrame();
    uint8_t* f = frame.data();
    Tessary_VideoThread worker;
    worker.isFft = false;
    cv::Mat display;
    for (auto _ : state) {
        display =
            worker.integratedData(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes);
        benchmark::DoNotOptimize(display.data);
    }
    state.SetItemsProcessed(state.iterations() * kFramePixels);
    state.SetBytesProcessed(state.iterations() * kRawFrameBytes);
}
BENCHMARK(BM_IntegratedData)->Unit(benchmark::kMillisecond);

// The per-frame work of the loop after the chunks are in: conversion, own
// copy, turn by 90 degrees and mirror.
void BM_FrameSteps(benchmark::State& state)
{
    std::vector<uint8_t> frame = sceneFrame();
    uint8_t* f = frame.data();
    Tessary_VideoThread worker;
    const cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(128, 128), -90, 1.0);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        cv::Mat display =
            worker.integratedData(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes)
                .clone();
        cv::warpAffine(display, display, turn, display.size(), cv::INTER_LINEAR,
                       cv::BORDER_CONSTANT, cv::Scalar(0));
        cv::flip(display, display, 1);
        benchmark::DoNotOptimize(display.data);
    }
    const double mean =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
        double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    reportGoal(state, mean);
}
BENCHMARK(BM_FrameSteps)->Unit(benchmark::kMillisecond);

void BM_PixelFormulas(benchmark::State& state)
{
    std::vector<uint8_t> frame = sceneFrame();
    std::vector<uint32_t> raw(kFramePixels);
    for (int i = 0; i < kFramePixels; ++i)
        raw[i] = rawPixel(frame.data() + 4 * i);
    std::vector<double> current(kFramePixels);
    std::vector<uint8_t> gray(kFramePixels);
    for (auto _ : state) {
        for (int i = 0; i < kFramePixels; ++i) {
            current[i] = pixelCurrentRounded(raw[i], 25, 166);
            gray[i] = grayLevel(raw[i], 4096, 0xFFFFF);
        }
        benchmark::DoNotOptimize(current.data());
        benchmark::DoNotOptimize(gray.data());
    }
    state.SetItemsProcessed(state.iterations() * kFramePixels);
}
BENCHMARK(BM_PixelFormulas)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

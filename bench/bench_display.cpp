// GUI-thread cost of one displayed frame: the slot that takes the worker's
// frame and the paint of the picture that it causes (the label and the window
// background under it), in the normal layout and in the 1080-line full-screen
// layout.
//
// Baseline in the same run: the window as it was first built, whose label
// smooth-scales the 256 x 256 frame itself on every paint and whose
// background is drawn antialiased over the whole window. Goal: at least 3 x
// cheaper. Under X (tests/run-with-xvfb 1920x1080 build/bench/bench_display)
// the transfer to the display is included; headless runs measure the same
// steps into an off-screen surface.
#include "Scene.h"
#include "Tessary_VideoThread.h"
#include "tessary_interface.h"

#include <QApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// The display path as first built, kept as the baseline.
class FirstWindow : public Tessary_Interface
{
public:
    void show256(const cv::Mat& mat)
    {
        const QImage image(mat.data, mat.cols, mat.rows, static_cast<int>(mat.step),
                           QImage::Format_Grayscale8);
        ui.label->setPixmap(QPixmap::fromImage(image));
        ui.label->show();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QBrush(QColor("#F8F8F8")));
        painter.drawRect(rect());
        painter.end();
        QWidget::paintEvent(event);
    }
};

// Display frames as the worker makes them from simulated board frames.
const std::vector<cv::Mat>& sceneFrames()
{
    static const std::vector<cv::Mat> frames = [] {
        std::vector<cv::Mat> out;
        Tessary_VideoThread worker;
        for (uint64_t n = 0; n < 8; ++n) {
            std::vector<uint8_t> raw = boardsim::renderScene(0x5EED, n, 166);
            uint8_t* f = raw.data();
            out.push_back(
                worker.integratedData(f, f + kChunkBytes, f + 2 * kChunkBytes, f + 3 * kChunkBytes)
                    .clone());
        }
        return out;
    }();
    return frames;
}

// The panels of the normal layout and of the one for a 1080-line screen.
void setLayout(Tessary_Interface& window, bool fullScreen)
{
    Ui_Tessary_Interface& ui = window.ui;
    QWidget* const panels[] = {ui.label,    ui.widget_func1,   ui.widget_func, ui.widget_7,
                               ui.widget_3, ui.password_input, ui.savelayout,  ui.widget_2};
    const QRect normal[] = {{20, 45, 600, 600},   {630, 40, 595, 470}, {650, 514, 560, 130},
                            {540, 20, 85, 28},    {470, 20, 85, 28},   {430, 210, 380, 200},
                            {430, 180, 380, 260}, {15, 19, 60, 30}};
    const QRect full[] = {{115, 115, 880, 880}, {1110, 140, 595, 470}, {1130, 820, 560, 130},
                          {920, 90, 85, 28},    {850, 90, 85, 28},     {770, 410, 380, 200},
                          {770, 410, 380, 260}, {110, 87, 70, 30}};
    for (int i = 0; i < 8; ++i)
        panels[i]->setGeometry(fullScreen ? full[i] : normal[i]);
    if (fullScreen)
        window.setFixedSize(1920, 1080);
    else
        window.setFixedSize(1228, 664);
}

// Mean nanoseconds per frame, by benchmark name, for the ratios at the end.
std::map<std::string, double>& means()
{
    static std::map<std::string, double> table;
    return table;
}

template <class Window, class Show>
void runFrames(benchmark::State& state, const char* way, Window& window, Show show)
{
    setLayout(window, state.range(0) != 0);
    window.show();
    QApplication::processEvents();
    const std::vector<cv::Mat>& frames = sceneFrames();
    std::size_t n = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        show(frames[n++ % frames.size()]);
        // Paints the label and what shows through around it, and hands the
        // result to the display, as the event loop does after the slot.
        window.ui.label->repaint();
    }
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    means()[way + std::to_string(state.range(0))] =
        ns / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    window.hide();
}

void BM_DisplayFirst(benchmark::State& state)
{
    FirstWindow window;
    window.displayOff = false;
    runFrames(state, "first", window, [&](const cv::Mat& m) { window.show256(m); });
}

void BM_Display(benchmark::State& state)
{
    TessaryWidget window;
    window.displayOff = false;
    runFrames(state, "now", window, [&](const cv::Mat& m) { window.ShowUILabel(m); });
}

BENCHMARK(BM_DisplayFirst)->ArgName("fullscreen")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Display)->ArgName("fullscreen")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    sceneFrames();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const std::map<std::string, double>& m = means();
    for (const char* layout : {"0", "1"}) {
        const auto first = m.find(std::string("first") + layout);
        const auto now = m.find(std::string("now") + layout);
        if (first == m.end() || now == m.end())
            continue;
        std::printf("%s layout: first %.0f us, now %.0f us per frame: %.1f x cheaper (goal 3 x)\n",
                    layout[0] == '0' ? "normal" : "1080-line full-screen", first->second / 1e3,
                    now->second / 1e3, first->second / now->second);
    }
    return 0;
}

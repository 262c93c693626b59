// Drives the program's main window the way a user would, without one: the
// window as main() builds it, its Open and Capture buttons clicked, against
// the simulated board. Reports the CPU time the whole process (simulated
// board included) spends while connected and idle and while capturing, read
// from /proc, with the share of each thread. bench/measure-cpu runs it under
// a virtual X server.
//
//   capture_driver [capture seconds, default 20] [idle seconds, default 10]
#include "Tessary_VideoThread.h"
#include "tessary_interface.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

// CPU ticks (user + system) from a /proc stat file; -1 when unreadable.
long long cpuTicks(const std::string& statPath)
{
    std::ifstream in(statPath);
    std::string line;
    if (!std::getline(in, line))
        return -1;
    // The command name may hold blanks: the fields start after its ")".
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int n = 3; fields >> field; ++n) {
        if (n == 14)
            utime = std::atoll(field.c_str());
        if (n == 15) {
            stime = std::atoll(field.c_str());
            return utime + stime;
        }
    }
    return -1;
}

struct Sample
{
    long long process = 0;
    std::map<std::string, long long> threads; // "name (tid)" -> ticks
    QElapsedTimer clock;
};

Sample sample()
{
    Sample s;
    s.process = cpuTicks("/proc/self/stat");
    for (const QString& tid :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const std::string dir = "/proc/self/task/" + tid.toStdString();
        std::ifstream comm(dir + "/comm");
        std::string name;
        std::getline(comm, name);
        s.threads[name + " (" + tid.toStdString() + ")"] = cpuTicks(dir + "/stat");
    }
    s.clock.start();
    return s;
}

double percentOfCore(long long ticks, qint64 ms)
{
    return 100.0 * double(ticks) / double(sysconf(_SC_CLK_TCK)) / (double(ms) / 1000.0);
}

// Runs the event loop for `ms`, as the program would between clicks.
void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void report(const char* phase, const Sample& from, int frames)
{
    const Sample to = sample();
    const qint64 ms = from.clock.elapsed();
    std::printf("%-22s %5.1f %% of one core over %.0f s", phase,
                percentOfCore(to.process - from.process, ms), double(ms) / 1000.0);
    if (frames >= 0)
        std::printf(", %.1f frames/s shown", double(frames) * 1000.0 / double(ms));
    std::printf("\n");
    for (const auto& [thread, ticks] : to.threads) {
        const auto before = from.threads.find(thread);
        const long long used = ticks - (before == from.threads.end() ? 0 : before->second);
        if (used > 0)
            std::printf("    %-28s %5.1f %%\n", thread.c_str(), percentOfCore(used, ms));
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const int captureSeconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 10;

    // The program's start-up and form notices are not part of the report.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication app(argc, argv);
    TessaryWidget window;
    window.setFixedSize(1228, 664);
    window.show();
    // A message box would wait for a human: report it and give up.
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "capture_driver: the program asks \"%s\"\n",
                         qPrintable(box->text()));
            std::_Exit(1);
        }
    });
    boxWatch.start(200);
    int frames = 0;
    QObject::connect(window.videoThread, &Tessary_VideoThread::sendMatToUI, &window,
                     [&frames](const Mat&) { ++frames; });
    wait(1000);

    window.ui.pushButton_5->click(); // Open
    if (window.ui.pushButton_5->text() != "Close") {
        std::fprintf(stderr, "capture_driver: the board did not connect\n");
        return 1;
    }
    wait(2000);
    const Sample idle = sample();
    wait(idleSeconds * 1000);
    report("connected and idle:", idle, -1);

    window.ui.pushButton_2->click(); // Capture
    wait(3000);
    if (frames == 0) {
        std::fprintf(stderr, "capture_driver: no frames came\n");
        return 1;
    }
    const Sample capturing = sample();
    const int framesBefore = frames;
    wait(captureSeconds * 1000);
    report("capturing:", capturing, frames - framesBefore);

    window.ui.pushButton_2->click(); // Stop
    wait(500);
    return 0;
}

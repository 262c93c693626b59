#include "FuzzSupport.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>

namespace {

class NullBuffer : public std::streambuf
{
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
};

class BoxTrap : public QObject
{
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                std::fprintf(stderr, "fuzz: a message box opened: %s\n", qPrintable(box->text()));
                std::abort();
            }
        return false;
    }
};

} // namespace

// libFuzzer calls this once, before the first input: what Qt sets up and
// keeps for good is not taken for a leak of the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: the targets' widgets live until exit.
    auto* app = new QApplication(argc, argv);
    app->installEventFilter(new BoxTrap);
    static NullBuffer nowhere;
    std::cout.rdbuf(&nowhere);
    return 0;
}

// The checks are those of the test suite, except that the leak check runs
// after each input (libFuzzer's) rather than at exit, where Qt's own
// start-up allocations would be found too.
extern "C" const char* __lsan_default_options()
{
    return "leak_check_at_exit=0";
}

extern "C" const char* __ubsan_default_options()
{
    return "halt_on_error=1:print_stacktrace=1";
}

void fuzzCheck(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz: property failed: %s\n", property);
    std::abort();
}

QStringList fuzzLines(const uint8_t* data, std::size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), int(size)).split('\n');
}

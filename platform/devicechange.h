// Device-change notification as a Windows top-level window receives it.
// Here the simulated bus raises it; a window subscribes once and gets the
// message delivered to its own nativeEvent, in its own thread.
#pragma once

#include <cstdint>
#include <functional>

class QObject;

constexpr unsigned WM_DEVICECHANGE = 0x0219;
constexpr uintptr_t DBT_DEVICEARRIVAL = 0x8000;
constexpr uintptr_t DBT_DEVICEREMOVECOMPLETE = 0x8004;

struct MSG {
    void* hwnd;
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
    unsigned long time;
};

namespace platform {

// Delivers every later device-change message to `deliver`, queued to the
// thread of `receiver`, until `receiver` is destroyed.
void subscribeDeviceChange(QObject* receiver, std::function<void(MSG*)> deliver);

} // namespace platform

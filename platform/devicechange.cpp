// Stands in for Windows broadcasting WM_DEVICECHANGE to top-level windows:
// the simulated bus raises the change, each subscriber gets a MSG posted to
// its own thread.
#include "devicechange.h"

#include "Bus.h"

#include <QMetaObject>
#include <QObject>

#include <algorithm>
#include <mutex>
#include <vector>

namespace platform {
namespace {

struct Subscriber
{
    quint64 id;
    QObject* receiver;
    std::function<void(MSG*)> deliver;
};

struct Subscribers
{
    // Held while posting, and by the receiver's destroyed handler: a
    // receiver cannot finish dying while a message is being posted to it.
    std::mutex mutex;
    std::vector<Subscriber> list;
    quint64 nextId = 1;
};

Subscribers& subscribers()
{
    static Subscribers s;
    return s;
}

void broadcast(bool arrived)
{
    const uintptr_t wParam = arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
    Subscribers& s = subscribers();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (const Subscriber& sub : s.list) {
        auto deliver = sub.deliver;
        QMetaObject::invokeMethod(
            sub.receiver,
            [deliver, wParam] {
                MSG msg{nullptr, WM_DEVICECHANGE, wParam, 0, 0};
                deliver(&msg);
            },
            Qt::QueuedConnection);
    }
}

} // namespace

void subscribeDeviceChange(QObject* receiver, std::function<void(MSG*)> deliver)
{
    if (!receiver || !deliver)
        return;
    static std::once_flag hookInstalled;
    std::call_once(hookInstalled,
                   [] { boardsim::Bus::instance().setDeviceChangeHook(&broadcast); });

    Subscribers& s = subscribers();
    quint64 id;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        id = s.nextId++;
        s.list.push_back(Subscriber{id, receiver, std::move(deliver)});
    }
    // Direct connection: runs in the destroying thread, before the object goes.
    QObject::connect(receiver, &QObject::destroyed, [id] {
        Subscribers& subs = subscribers();
        std::lock_guard<std::mutex> lock(subs.mutex);
        subs.list.erase(std::remove_if(subs.list.begin(), subs.list.end(),
                                       [id](const Subscriber& x) { return x.id == id; }),
                        subs.list.end());
    });
}

} // namespace platform

#include "console/instance_observer.h"

namespace Product {
namespace InstanceControl {

Observer::Observer(const std::wstring& eventName, std::function<void()> callback)
    : named_(Event::Reset::Manual, false, eventName.c_str())
{
    if (!named_)
        return;
    callback_ = std::move(callback);
    // Without the thread the console runs on, only unobserved.
    static_cast<void>(thread_.Start([this](HANDLE stop) { Wait(stop); }));
}

Observer::~Observer()
{
    thread_.Stop();
    named_ = Event();
    callback_ = nullptr;
}

void Observer::Wait(HANDLE stop)
{
    const HANDLE waits[] = {named_.get(), stop};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 && callback_)
        callback_();
}

}  // namespace InstanceControl
}  // namespace Product

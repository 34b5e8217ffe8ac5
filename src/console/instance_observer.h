#pragma once
// Instance control: another process sets a machine-wide named event to ask
// every running console to stop what it is doing. The observer's thread waits
// for it and runs the callback once.
#include "base/event.h"
#include "base/stoppable_thread.h"

#include <functional>
#include <string>

namespace Product {
namespace InstanceControl {

constexpr wchar_t ConsoleEventName[] = L"Global\\ev_product_console_0xdea570003cb8452b";

class Observer {
public:
    // Without the named event (no right to create global objects, say) no
    // thread starts and the callback is dropped.
    Observer(const std::wstring& eventName, std::function<void()> callback);
    ~Observer();
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    bool IsWatching() const { return thread_.IsRunning(); }

private:
    void Wait(HANDLE stop);

    std::function<void()> callback_;
    Event named_;
    StoppableThread thread_;
};

}  // namespace InstanceControl
}  // namespace Product

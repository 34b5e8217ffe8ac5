#include "console/instance_observer.h"

#include <memory>

namespace Product {
namespace InstanceControl {
namespace {

DWORD WINAPI RunCallable(void* block)
{
    std::unique_ptr<std::function<void()>> routine(static_cast<std::function<void()>*>(block));
    (*routine)();
    return 0;
}

}  // namespace

HANDLE StartThread(std::function<void()> routine, DWORD* threadId)
{
    auto block = std::make_unique<std::function<void()>>(std::move(routine));
    HANDLE thread = CreateThread(nullptr, 0, &RunCallable, block.get(), 0, threadId);
    if (thread != nullptr)
        block.release();  // the thread frees it
    return thread;
}

Observer::Observer(const std::wstring& eventName, std::function<void()> callback)
{
    events_[0].reset(CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
    events_[1].reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!events_[0] || !events_[1])
        return;
    callback_ = std::move(callback);
    thread_.reset(StartThread([this] { Wait(); }, &threadId_));
}

Observer::~Observer()
{
    if (events_[1])
        SetEvent(events_[1].get());
    if (thread_) {
        if (GetCurrentThreadId() == threadId_)
            std::terminate();  // joining itself would never return
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
        threadId_ = 0;
    }
    events_[0].reset();
    events_[1].reset();
    callback_ = nullptr;
}

void Observer::Wait()
{
    const HANDLE waits[] = {events_[0].get(), events_[1].get()};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 && callback_)
        callback_();
}

}  // namespace InstanceControl
}  // namespace Product

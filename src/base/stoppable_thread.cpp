#include "base/stoppable_thread.h"

#include <exception>
#include <memory>

namespace {

struct ThreadStart {
    std::function<void(HANDLE)> body;
    HANDLE stop;
};

DWORD WINAPI RunBody(void* block)
{
    const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(block));
    start->body(start->stop);
    return 0;
}

}  // namespace

bool StoppableThread::Start(std::function<void(HANDLE stop)> body)
{
    Stop();
    stop_ = Event(Event::Reset::Manual, false);
    if (!stop_)
        return false;
    auto start = std::make_unique<ThreadStart>(ThreadStart{std::move(body), stop_.get()});
    thread_.reset(CreateThread(nullptr, 0, &RunBody, start.get(), 0, &threadId_));
    if (!thread_)
        return false;
    start.release();  // the thread frees it
    return true;
}

void StoppableThread::Stop() noexcept
{
    if (stop_)
        stop_.Set();
    if (thread_) {
        if (GetCurrentThreadId() == threadId_)
            std::terminate();  // joining itself would never return
        WaitForSingleObject(thread_.get(), INFINITE);
        thread_.reset();
        threadId_ = 0;
    }
    stop_ = Event();
}

#pragma once
// A background thread that runs until it is told to stop: the stop event, the
// thread and the join, written once for every thread that waits on events.
#include "base/event.h"

#include <functional>

class StoppableThread {
public:
    StoppableThread() noexcept = default;
    ~StoppableThread() { Stop(); }
    StoppableThread(const StoppableThread&) = delete;
    StoppableThread& operator=(const StoppableThread&) = delete;

    // Runs `body` on a new thread with the stop event to wait on (alone or
    // with events of its own). False, and nothing runs, when the event or
    // the thread cannot be created.
    [[nodiscard]] bool Start(std::function<void(HANDLE stop)> body);
    // Sets the stop event and waits for the thread to end; stopping from
    // the thread itself would never return and ends the program.
    void Stop() noexcept;
    bool IsRunning() const noexcept { return static_cast<bool>(thread_); }

private:
    Event stop_;
    UniqueHandle thread_;
    DWORD threadId_ = 0;
};

#pragma once
// A queue of guard events with one consumer thread: loading threads add
// events and return at once; the thread hands them, in order, to the
// consumer outside the lock.
#include "base/event.h"
#include "base/stoppable_thread.h"
#include "dllguard/report/events_consumer.h"

#include <deque>
#include <mutex>

namespace dllguard {

class SynchronizedQueueConsumer {
public:
    explicit SynchronizedQueueConsumer(EventsConsumerBase& consumer);
    ~SynchronizedQueueConsumer();
    SynchronizedQueueConsumer(const SynchronizedQueueConsumer&) = delete;
    SynchronizedQueueConsumer& operator=(const SynchronizedQueueConsumer&) = delete;

    // Starts the consumer thread; false when it cannot be created.
    [[nodiscard]] bool Start();
    void Push(const DllProtectInfo& event);
    // Hands over what is queued, then ends and joins the consumer thread.
    void Stop();

private:
    void Run(HANDLE stop);
    void HandOver();

    EventsConsumerBase& consumer_;
    std::deque<DllProtectInfo> events_;
    std::mutex mutex_;
    const Event pending_{Event::Reset::Automatic, false};
    StoppableThread thread_;
};

}  // namespace dllguard

#pragma once
// A queue of guard events with one consumer thread: loading threads add
// events and return at once; the thread hands them, in order, to the
// consumer outside the lock.
#include "dllguard/report/events_consumer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

namespace dllguard {

class SynchronizedQueueConsumer {
public:
    explicit SynchronizedQueueConsumer(EventsConsumerBase& consumer);
    ~SynchronizedQueueConsumer();
    SynchronizedQueueConsumer(const SynchronizedQueueConsumer&) = delete;
    SynchronizedQueueConsumer& operator=(const SynchronizedQueueConsumer&) = delete;

    // Starts the consumer thread; false when it cannot be created.
    bool Start();
    void Push(const DllProtectInfo& event);
    // Hands over what is queued, then ends and joins the consumer thread.
    void Stop();

private:
    void Run();

    EventsConsumerBase& consumer_;
    std::deque<DllProtectInfo> events_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<uint8_t> running_{0};
    std::thread thread_;
};

}  // namespace dllguard

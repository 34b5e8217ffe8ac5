#include "dllguard/report/synchronized_queue_consumer.h"

namespace dllguard {

SynchronizedQueueConsumer::SynchronizedQueueConsumer(EventsConsumerBase& consumer) : consumer_(consumer) {}

SynchronizedQueueConsumer::~SynchronizedQueueConsumer() { Stop(); }

bool SynchronizedQueueConsumer::Start()
{
    return pending_ && thread_.Start([this](HANDLE stop) { Run(stop); });
}

void SynchronizedQueueConsumer::Push(const DllProtectInfo& event)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }
    pending_.Set();
}

void SynchronizedQueueConsumer::Stop() { thread_.Stop(); }

void SynchronizedQueueConsumer::Run(HANDLE stop)
{
    // Stop first: when both are set, what is queued is handed over and the thread ends.
    const HANDLE waits[] = {stop, pending_.get()};
    for (;;) {
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        HandOver();
        if (woke != WAIT_OBJECT_0 + 1)
            return;  // stopped, or the handles are unusable: never spin
    }
}

// Hands the queued events to the consumer, in order, outside the lock.
void SynchronizedQueueConsumer::HandOver()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!events_.empty()) {
        const DllProtectInfo event = std::move(events_.front());
        events_.pop_front();
        lock.unlock();
        consumer_.Consume(event);
        lock.lock();
    }
}

}  // namespace dllguard

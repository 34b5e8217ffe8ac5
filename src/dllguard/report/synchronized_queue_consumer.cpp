#include "dllguard/report/synchronized_queue_consumer.h"

#include <system_error>

namespace dllguard {

SynchronizedQueueConsumer::SynchronizedQueueConsumer(EventsConsumerBase& consumer) : consumer_(consumer) {}

SynchronizedQueueConsumer::~SynchronizedQueueConsumer() { Stop(); }

bool SynchronizedQueueConsumer::Start()
{
    running_ = 1;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        running_ = 0;
        return false;
    }
    return true;
}

void SynchronizedQueueConsumer::Push(const DllProtectInfo& event)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }
    wake_.notify_one();
}

void SynchronizedQueueConsumer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = 0;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void SynchronizedQueueConsumer::Run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !events_.empty() || !running_; });
        while (!events_.empty()) {
            const DllProtectInfo event = std::move(events_.front());
            events_.pop_front();
            lock.unlock();
            consumer_.Consume(event);
            lock.lock();
        }
        if (!running_)
            return;
    }
}

}  // namespace dllguard

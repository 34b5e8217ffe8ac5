#include "console/handled_interrupts.h"

#include <condition_variable>
#include <mutex>

namespace {

struct HandledCount {
    std::mutex lock;
    std::condition_variable changed;
    unsigned count = 0;
};

// Never destroyed: a control event may still be handled while the process
// runs its static destructors.
HandledCount& Handled()
{
    static HandledCount* handled = new HandledCount;
    return *handled;
}

}  // namespace

void CountHandledInterrupt()
{
    HandledCount& handled = Handled();
    {
        std::lock_guard<std::mutex> guard(handled.lock);
        ++handled.count;
    }
    handled.changed.notify_all();
}

unsigned HandledInterrupts()
{
    HandledCount& handled = Handled();
    std::lock_guard<std::mutex> guard(handled.lock);
    return handled.count;
}

bool WaitForHandledInterrupt(unsigned countBefore, std::chrono::milliseconds limit)
{
    HandledCount& handled = Handled();
    std::unique_lock<std::mutex> lock(handled.lock);
    return handled.changed.wait_for(lock, limit, [&] { return handled.count != countBefore; });
}

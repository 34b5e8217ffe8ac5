// Threads stopped inside the bytes a commit rewrites are moved: into the
// trampoline when hooking, back into the function when unhooking.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "hook_test_support.h"
#include "test_functions.h"

namespace hooktest {
namespace {

using GateFunction = int (*)(volatile char*);

GateFunction g_gateOriginal = hk_gate_wait;
std::atomic<int> g_gateDetourCalls{0};

int GateDetour(volatile char* gate)
{
    g_gateDetourCalls.fetch_add(1);
    return g_gateOriginal(gate);
}

DWORD64 InstructionPointer(HANDLE thread)
{
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL;
    if (::SuspendThread(thread) == static_cast<DWORD>(-1))
        return 0;
    const BOOL read = ::GetThreadContext(thread, &context);
    ::ResumeThread(thread);
    return read ? context.Rip : 0;
}

bool Within(DWORD64 ip, const void* start, size_t size)
{
    const auto at = reinterpret_cast<DWORD64>(start);
    return ip >= at && ip < at + size;
}

// Threads waiting in hk_gate_wait; opening the gate lets them return.
class GateWaiters {
public:
    explicit GateWaiters(int count)
    {
        results_.resize(count);
        for (int i = 0; i < count; ++i)
            threads_.push_back(StartThread([this, i] { results_[i] = hk_gate_wait(&gate_); }));
    }
    GateWaiters(const GateWaiters&) = delete;
    GateWaiters& operator=(const GateWaiters&) = delete;
    ~GateWaiters() { Open(); }

    std::vector<TestThread>& threads() { return threads_; }
    const std::vector<int>& Open()
    {
        gate_ = 1;
        for (auto& t : threads_) {
            if (t.thread.joinable())
                t.thread.join();
        }
        return results_;
    }

private:
    volatile char gate_ = 0;
    std::vector<int> results_;
    std::vector<TestThread> threads_;
};

TEST(ThreadFixup, SpinningThreadsFollowTheirInstructionsBothWays)
{
    TransactionGuard guard;
    const auto before = Bytes(Code(hk_gate_wait));
    GateWaiters waiters(2);
    auto& threads = waiters.threads();
    for (auto& t : threads) {
        ASSERT_TRUE(t.handle);
        int waited = 0;
        while (!Within(InstructionPointer(t.handle.get()), Code(hk_gate_wait), 5) && waited++ < 5000)
            ::Sleep(1);
        ASSERT_TRUE(Within(InstructionPointer(t.handle.get()), Code(hk_gate_wait), 5))
            << "the thread is inside the five bytes the patch displaces";
    }

    auto commit = [&](bool attach) {
        EXPECT_EQ(0, hooking::TransactionBegin());
        for (auto& t : threads)
            EXPECT_EQ(0, hooking::UpdateThread(t.handle.get()));
        EXPECT_EQ(0, attach ? hooking::Attach(&g_gateOriginal, &GateDetour)
                            : hooking::Detach(&g_gateOriginal, &GateDetour));
        return hooking::TransactionCommit();
    };
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(0, commit(true));
        const void* trampoline = reinterpret_cast<void*>(g_gateOriginal);
        for (auto& t : threads)
            EXPECT_TRUE(Within(InstructionPointer(t.handle.get()), trampoline, 16));
        ASSERT_EQ(0, commit(false));
        for (auto& t : threads)
            EXPECT_TRUE(Within(InstructionPointer(t.handle.get()), Code(hk_gate_wait), 5));
    }

    for (int result : waiters.Open())
        EXPECT_EQ(0x77, result);
    EXPECT_EQ(0, g_gateDetourCalls.load()) << "a thread already inside never enters the replacement";
    EXPECT_EQ(before, Bytes(Code(hk_gate_wait)));
}

}  // namespace
}  // namespace hooktest

// Hooks installed and removed over and over while other threads keep
// calling the hooked functions and their trampolines.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "hook_test_support.h"
#include "test_functions.h"

namespace hooktest {
namespace {

struct Target {
    TestFunction function;
    int a, b;
    int expected;
};

const Target kTargets[] = {
    {hk_rip_load, 2, 0, 42},
    {hk_jcc_out, -3, 0, -1},
    {hk_jmp_in, 31, 0, 42},
    {hk_loop_in, 4, 100, 110},
    {hk_wine_thunk, 14, 0, 42},
    {hk_iat_wine_thunk, 14, 0, 42},
};
constexpr int kTargetCount = sizeof kTargets / sizeof kTargets[0];
static_assert(kTargetCount <= kSlotCount);

constexpr auto kDuration = std::chrono::seconds(2);

struct CallTally {
    std::atomic<long> hooked{0}, unhooked{0}, wrong{0};

    void Count(int result, int expected)
    {
        if (result == expected)
            unhooked.fetch_add(1, std::memory_order_relaxed);
        else if (result == expected + kDetourBias)
            hooked.fetch_add(1, std::memory_order_relaxed);
        else
            wrong.fetch_add(1, std::memory_order_relaxed);
    }
};

LONG CommitAll(bool attach, const std::vector<TestThread>& workers)
{
    if (LONG error = hooking::TransactionBegin())
        return error;
    for (const auto& worker : workers)
        hooking::UpdateThread(worker.handle.get());
    for (int i = 0; i < kTargetCount; ++i) {
        if (attach)
            hooking::Attach(&g_slots[i].original, DetourFor(i));
        else
            hooking::Detach(&g_slots[i].original, DetourFor(i));
    }
    return hooking::TransactionCommit();
}

TEST(HookStress, HooksComeAndGoWhileOtherThreadsCall)
{
    TransactionGuard guard;
    std::vector<std::vector<uint8_t>> before;
    for (int i = 0; i < kTargetCount; ++i) {
        g_slots[i].original = kTargets[i].function;
        before.push_back(Bytes(Code(kTargets[i].function)));
    }

    std::atomic<bool> stop{false};
    CallTally direct, throughOriginal;
    std::vector<TestThread> workers;
    for (int w = 0; w < 2; ++w) {
        workers.push_back(StartThread([&] {
            while (!stop.load(std::memory_order_relaxed)) {
                for (const Target& t : kTargets)
                    direct.Count(t.function(t.a, t.b), t.expected);
            }
        }));
    }
    // Calls whatever the pointer holds: the function, or its trampoline.
    workers.push_back(StartThread([&] {
        while (!stop.load(std::memory_order_relaxed)) {
            for (int i = 0; i < kTargetCount; ++i)
                throughOriginal.Count(Original(g_slots[i])(kTargets[i].a, kTargets[i].b), kTargets[i].expected);
        }
    }));

    int cycles = 0;
    LONG failure = 0;
    const auto end = std::chrono::steady_clock::now() + kDuration;
    while (failure == 0 && std::chrono::steady_clock::now() < end) {
        failure = CommitAll(true, workers);
        if (failure == 0)
            failure = CommitAll(false, workers);
        ++cycles;
    }
    stop = true;
    for (auto& worker : workers)
        worker.thread.join();

    EXPECT_EQ(0, failure);
    EXPECT_EQ(0, direct.wrong.load());
    EXPECT_EQ(0, throughOriginal.wrong.load());
    EXPECT_LT(0, direct.hooked.load());
    EXPECT_LT(0, direct.unhooked.load());
    EXPECT_LT(0, throughOriginal.unhooked.load());
    EXPECT_LT(10, cycles);
    for (int i = 0; i < kTargetCount; ++i) {
        EXPECT_EQ(kTargets[i].function, g_slots[i].original);
        EXPECT_EQ(before[i], Bytes(Code(kTargets[i].function)));
    }
    std::printf("%d hook cycles; direct calls %ld hooked, %ld not; through the pointer %ld hooked, %ld not\n",
                cycles, direct.hooked.load(), direct.unhooked.load(), throughOriginal.hooked.load(),
                throughOriginal.unhooked.load());
}

}  // namespace
}  // namespace hooktest

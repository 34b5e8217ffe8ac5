#include "hook_test_support.h"

#include <utility>

namespace hooktest {

HookSlot g_slots[kSlotCount];

namespace {

template <int N>
int Detour(int a, int b)
{
    g_slots[N].calls.fetch_add(1, std::memory_order_relaxed);
    return Original(g_slots[N])(a, b) + kDetourBias;
}

template <int... N>
TestFunction DetourAt(int index, std::integer_sequence<int, N...>)
{
    static const TestFunction replacements[] = {&Detour<N>...};
    return replacements[index];
}

}  // namespace

TestFunction DetourFor(int index) { return DetourAt(index, std::make_integer_sequence<int, kSlotCount>{}); }

TestThread StartThread(std::function<void()> body)
{
    std::atomic<DWORD> id{0};
    TestThread started;
    started.thread = std::thread([&id, body = std::move(body)] {
        id = ::GetCurrentThreadId();
        body();
    });
    while (id == 0)
        std::this_thread::yield();
    started.handle.reset(::OpenThread(THREAD_ALL_ACCESS, FALSE, id));
    return started;
}

LONG AttachSlot(int index, TestFunction function)
{
    g_slots[index].original = function;
    if (LONG error = hooking::TransactionBegin())
        return error;
    LONG error = hooking::Attach(&g_slots[index].original, DetourFor(index));
    if (error) {
        hooking::TransactionAbort();
        return error;
    }
    return hooking::TransactionCommit();
}

LONG DetachSlot(int index)
{
    if (LONG error = hooking::TransactionBegin())
        return error;
    LONG error = hooking::Detach(&g_slots[index].original, DetourFor(index));
    if (error) {
        hooking::TransactionAbort();
        return error;
    }
    return hooking::TransactionCommit();
}

}  // namespace hooktest

#pragma once
// Shared pieces of the hooking tests: counting replacements that forward to
// the original, byte snapshots, and a guard that never leaves a transaction
// open after a failed test.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "base/unique_resource.h"
#include "dllguard/hook/hook_transaction.h"

namespace hooktest {

using TestFunction = int (*)(int, int);

// What a replacement adds to the original's result, so that a result tells
// whether the call went through the hook.
constexpr int kDetourBias = 1000;

struct HookSlot {
    TestFunction original = nullptr;  // handed to Attach; the trampoline while hooked
    std::atomic<int> calls{0};
};

constexpr int kSlotCount = 8;
extern HookSlot g_slots[kSlotCount];

// A replacement bound to g_slots[index]: counts, calls the original through
// the slot and adds kDetourBias.
TestFunction DetourFor(int index);

// Reads a slot's original the way a replacement does while other threads
// may be replacing it.
inline TestFunction Original(const HookSlot& slot)
{
    return *static_cast<TestFunction const volatile*>(&slot.original);
}

inline std::vector<uint8_t> Bytes(const void* address, size_t size = 16)
{
    const auto* p = static_cast<const uint8_t*>(address);
    return std::vector<uint8_t>(p, p + size);
}

template <class Function>
void* Code(Function function)
{
    return reinterpret_cast<void*>(function);
}

// A function of hook_test_module.dll itself (in this executable its name
// stands for an import stub that leads there).
inline TestFunction ModuleExport(const char* name)
{
    FARPROC exported = ::GetProcAddress(::GetModuleHandleW(L"hook_test_module.dll"), name);
    return reinterpret_cast<TestFunction>(reinterpret_cast<void*>(exported));
}

// Aborts a transaction a failed assertion left open.
class TransactionGuard {
public:
    TransactionGuard() = default;
    TransactionGuard(const TransactionGuard&) = delete;
    TransactionGuard& operator=(const TransactionGuard&) = delete;
    ~TransactionGuard() { hooking::TransactionAbort(); }
};

// A thread running `body`, with a handle that can suspend it and read and
// set its context.
struct TestThread {
    std::thread thread;
    UniqueHandle handle;
};
TestThread StartThread(std::function<void()> body);

// Attaches or detaches one slot's replacement in a transaction of its own.
LONG AttachSlot(int index, TestFunction function);
LONG DetachSlot(int index);

}  // namespace hooktest

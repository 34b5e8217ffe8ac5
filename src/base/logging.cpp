#include "base/logging.h"

#include <memory>

namespace logging {
namespace {

// The shared bridge. The spin lock guards the pointer, the count and the test
// path; writes happen outside it, while the writer holds a reference.
volatile LONG bridgeLock = 0;
std::unique_ptr<CLogDLL> sharedBridge;
LONG referenceCount = 0;
std::wstring libraryPathForTesting;

class SpinLock {
public:
    SpinLock()
    {
        while (InterlockedExchange(&bridgeLock, 1) == 1)
            Sleep(1);
    }
    ~SpinLock() { InterlockedExchange(&bridgeLock, 0); }
    SpinLock(const SpinLock&) = delete;
    SpinLock& operator=(const SpinLock&) = delete;
};

std::unique_ptr<CLogDLL> NewBridge()
{
    if (!libraryPathForTesting.empty())
        return std::make_unique<CLogDLL>(libraryPathForTesting);
    return std::make_unique<CLogDLL>();
}

}  // namespace

void BridgeReference::Acquire()
{
    CLogDLL* bridge = nullptr;
    {
        SpinLock lock;
        if (referenceCount == 0) {
            sharedBridge.reset();
            sharedBridge = NewBridge();
        }
        ++referenceCount;
        bridge = sharedBridge.get();
    }
    bridge_ = bridge;
    ++count_;
}

void BridgeReference::Release()
{
    bridge_ = nullptr;
    for (; count_ > 0; --count_) {
        SpinLock lock;
        if (referenceCount > 0)
            --referenceCount;
        if (referenceCount == 0)
            sharedBridge.reset();
    }
}

bool BridgeAvailable() { return InterlockedCompareExchange(&referenceCount, 0, 0) != 0; }

HRESULT WriteLineV(const CLogDLL* bridge, WORD kind, const DWORD* level, HMODULE module, const wchar_t* function,
                   const wchar_t* format, va_list args)
{
    if (bridge == nullptr)
        return NoLogWrite;
    return bridge->Write(kind, level, module, function, format, args);
}

HRESULT WriteLine(const CLogDLL* bridge, WORD kind, const DWORD* level, HMODULE module, const wchar_t* function,
                  const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const HRESULT result = WriteLineV(bridge, kind, level, module, function, format, args);
    va_end(args);
    return result;
}

void Diagnostic(uint32_t level, const wchar_t* function, const wchar_t* format, ...)
{
    if (!BridgeAvailable())
        return;
    ScopedBridgeReference reference;
    const DWORD levelValue = level;
    va_list args;
    va_start(args, format);
    WriteLineV(reference.Bridge(), abi::line_kind::Plain, &levelValue, ConsoleModule(), function, format, args);
    va_end(args);
}

namespace test_hooks {

void SetLibraryPath(const std::wstring& path)
{
    SpinLock lock;
    libraryPathForTesting = path;
}

}  // namespace test_hooks

}  // namespace logging

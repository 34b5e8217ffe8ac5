#include "base/function_trace.h"

#include "base/logging.h"

#include <windows.h>

#include <cwchar>

namespace logging {
namespace {

constexpr DWORD TraceLevel = level::Dump;

// Milliseconds since the system started, wrapping at 32 bits, as the
// multimedia timer counts them. The timer itself would load winmm.dll, and
// user32.dll with it, into every command's run.
uint32_t Milliseconds()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    const uint64_t ticks = static_cast<uint64_t>(counter.QuadPart);
    const uint64_t perSecond = static_cast<uint64_t>(frequency.QuadPart);
    return static_cast<uint32_t>(ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond);
}

void CopyCut(wchar_t* target, const wchar_t* source, size_t limit)
{
    size_t length = 0;
    for (; source != nullptr && length < limit && source[length] != L'\0'; ++length)
        target[length] = source[length];
    target[length] = L'\0';
}

}  // namespace

FunctionTrace::FunctionTrace(const wchar_t* function) : start_(Milliseconds())
{
    CopyCut(displayName_, function, DisplayNameLimit);
    std::wcscat(displayName_, L"()");
    CopyCut(plainName_, function, PlainNameLimit);

    ScopedBridgeReference reference;
    WriteLine(reference.Bridge(), abi::line_kind::FunctionEntry, &TraceLevel, ConsoleModule(), plainName_, L"-> %s",
              displayName_);
}

FunctionTrace::~FunctionTrace()
{
    ScopedBridgeReference reference;
    // Unsigned difference: a wrap of the millisecond counter is harmless.
    const uint32_t elapsed = Milliseconds() - start_;
    WriteLine(reference.Bridge(), abi::line_kind::FunctionExit, &TraceLevel, ConsoleModule(), plainName_,
              L"<- %s [%d]", displayName_, static_cast<int>(elapsed));
}

}  // namespace logging

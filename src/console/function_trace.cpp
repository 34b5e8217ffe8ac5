#include "console/function_trace.h"

#include "console/logging.h"

#include <windows.h>
// timeGetTime
#include <mmsystem.h>

#include <cwchar>

namespace logging {
namespace {

constexpr DWORD TraceLevel = level::Dump;

void CopyCut(wchar_t* target, const wchar_t* source, size_t limit)
{
    size_t length = 0;
    for (; source != nullptr && length < limit && source[length] != L'\0'; ++length)
        target[length] = source[length];
    target[length] = L'\0';
}

}  // namespace

FunctionTrace::FunctionTrace(const wchar_t* function) : start_(timeGetTime())
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
    const uint32_t elapsed = timeGetTime() - start_;
    WriteLine(reference.Bridge(), abi::line_kind::FunctionExit, &TraceLevel, ConsoleModule(), plainName_,
              L"<- %s [%d]", displayName_, static_cast<int>(elapsed));
}

}  // namespace logging

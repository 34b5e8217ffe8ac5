#pragma once
// Trace lines as events of the guard's Event Tracing for Windows provider.
// The provider functions are looked up in Advapi32.dll on first use; when
// any is missing nothing is written.
#include "base/unique_resource.h"

#include <windows.h>
#include <evntprov.h>

#include <mutex>
#include <string_view>

namespace dllguard::trace {

class EventTracingOutput {
public:
    EventTracingOutput() = default;
    ~EventTracingOutput();
    EventTracingOutput(const EventTracingOutput&) = delete;
    EventTracingOutput& operator=(const EventTracingOutput&) = delete;

    void Send(std::wstring_view line);

private:
    using EventRegisterFn = ULONG(WINAPI*)(LPCGUID, PENABLECALLBACK, PVOID, PREGHANDLE);
    using EventWriteFn = ULONG(WINAPI*)(REGHANDLE, PCEVENT_DESCRIPTOR, ULONG, PEVENT_DATA_DESCRIPTOR);
    using EventUnregisterFn = ULONG(WINAPI*)(REGHANDLE);

    void Register();

    std::once_flag registered_;
    UniqueModule advapi_;
    EventWriteFn write_ = nullptr;
    EventUnregisterFn unregister_ = nullptr;
    REGHANDLE provider_ = 0;
};

}  // namespace dllguard::trace

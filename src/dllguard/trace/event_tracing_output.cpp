#include "dllguard/trace/event_tracing_output.h"

namespace dllguard::trace {
namespace {

// {1D3D3AE4-D26E-4870-AB3B-C80E3B5A4CE2}
constexpr GUID kProvider = {0x1d3d3ae4, 0xd26e, 0x4870, {0xab, 0x3b, 0xc8, 0x0e, 0x3b, 0x5a, 0x4c, 0xe2}};

template <class Fn>
Fn Lookup(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

EventTracingOutput::~EventTracingOutput()
{
    if (provider_ != 0)
        unregister_(provider_);
}

void EventTracingOutput::Register()
{
    // System32 only: a load with exactly this flag passes the guard's own hooks untouched.
    advapi_.reset(LoadLibraryExW(L"Advapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!advapi_)
        return;
    const auto registerProvider = Lookup<EventRegisterFn>(advapi_.get(), "EventRegister");
    const auto write = Lookup<EventWriteFn>(advapi_.get(), "EventWrite");
    const auto unregister = Lookup<EventUnregisterFn>(advapi_.get(), "EventUnregister");
    REGHANDLE provider = 0;
    if (!registerProvider || !write || !unregister || registerProvider(&kProvider, nullptr, nullptr, &provider) != 0) {
        advapi_.reset();
        return;
    }
    write_ = write;
    unregister_ = unregister;
    provider_ = provider;
}

void EventTracingOutput::Send(std::wstring_view line)
{
    std::call_once(registered_, [this] { Register(); });
    if (provider_ == 0)
        return;
    const std::wstring text(line);  // the event carries the terminating null
    EVENT_DESCRIPTOR descriptor{};
    EVENT_DATA_DESCRIPTOR data{};
    EventDataDescCreate(&data, text.c_str(), static_cast<ULONG>((text.size() + 1) * sizeof(wchar_t)));
    write_(provider_, &descriptor, 1, &data);
}

}  // namespace dllguard::trace

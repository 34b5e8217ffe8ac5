#pragma once
// An owned Windows event: created once, then set, reset and waited on.
#include "base/unique_resource.h"

class Event {
public:
    enum class Reset { Manual, Automatic };

    Event() noexcept = default;
    // Creates the event; on failure the owner stays empty and GetLastError tells why.
    Event(Reset mode, bool signalled, const wchar_t* name = nullptr) noexcept
        : handle_(::CreateEventW(nullptr, mode == Reset::Manual, signalled, name))
    {
    }

    explicit operator bool() const noexcept { return static_cast<bool>(handle_); }
    HANDLE get() const noexcept { return handle_.get(); }

    bool Set() const noexcept { return ::SetEvent(handle_.get()) != FALSE; }
    bool Clear() const noexcept { return ::ResetEvent(handle_.get()) != FALSE; }
    // WAIT_OBJECT_0 when signalled within `ms`, else what the wait returned.
    DWORD Wait(DWORD ms = INFINITE) const noexcept { return ::WaitForSingleObject(handle_.get(), ms); }
    bool IsSet() const noexcept { return Wait(0) == WAIT_OBJECT_0; }

private:
    UniqueHandle handle_;
};

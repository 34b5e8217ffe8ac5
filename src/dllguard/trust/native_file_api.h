#pragma once
// The native open and close of ntdll, looked up once in the already loaded
// module. Either may be missing; the device-path conversion then skips the
// method that needs them.
#include <windows.h>
#include <winternl.h>

namespace dllguard {

struct NativeFileApi {
    using NtCreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                                  PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
    using NtCloseFunction = NTSTATUS(NTAPI*)(HANDLE);

    NtCreateFileFunction create = nullptr;
    NtCloseFunction close = nullptr;

    bool Available() const { return create && close; }
};

NativeFileApi ResolveNativeFileApi();

// A handle from the native open, closed with the native close.
class NativeFileHandle {
public:
    NativeFileHandle(NativeFileApi::NtCloseFunction close, HANDLE handle) : close_(close), handle_(handle) {}
    ~NativeFileHandle()
    {
        if (handle_)
            close_(handle_);
    }
    NativeFileHandle(const NativeFileHandle&) = delete;
    NativeFileHandle& operator=(const NativeFileHandle&) = delete;
    HANDLE get() const { return handle_; }

private:
    NativeFileApi::NtCloseFunction close_;
    HANDLE handle_;
};

}  // namespace dllguard

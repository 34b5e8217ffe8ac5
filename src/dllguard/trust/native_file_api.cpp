#include "dllguard/trust/native_file_api.h"

namespace dllguard {
namespace {

template <class Fn>
Fn Lookup(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

NativeFileApi ResolveNativeFileApi()
{
    NativeFileApi api;
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll)
        return api;
    api.create = Lookup<NativeFileApi::NtCreateFileFunction>(ntdll, "NtCreateFile");
    api.close = Lookup<NativeFileApi::NtCloseFunction>(ntdll, "NtClose");
    return api;
}

}  // namespace dllguard

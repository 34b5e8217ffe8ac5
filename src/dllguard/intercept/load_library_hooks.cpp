#include "dllguard/intercept/load_library_hooks.h"

#include "dllguard/hook/hook_transaction.h"
#include "dllguard/intercept/file_api_name.h"
#include "dllguard/intercept/load_interception.h"

#include <atomic>
#include <string>

namespace dllguard {
namespace {

// The hooked functions; while hooked each points at its trampoline. Written
// only by the hook engine's commit, read by the replacements on any thread.
decltype(&::LoadLibraryW) g_loadLibraryW = &::LoadLibraryW;
decltype(&::LoadLibraryExW) g_loadLibraryExW = &::LoadLibraryExW;
decltype(&::LoadLibraryA) g_loadLibraryA = &::LoadLibraryA;
decltype(&::LoadLibraryExA) g_loadLibraryExA = &::LoadLibraryExA;

GuardMode g_mode = GuardMode::None;
SignatureRule g_signatures;
std::atomic<bool> g_active{false};

template <class Function>
Function Original(const Function& slot)
{
    return *static_cast<const volatile Function*>(&slot);
}

HMODULE Intercept(LPCWSTR name, HANDLE file, DWORD flags, const char* functionName, const void* caller)
{
    LoadRequest request;
    request.name = name;
    request.file = file;
    request.flags = flags;
    request.functionName = functionName;
    request.caller = caller;
    return LoadInterception(ProcessLoadSystem(), g_mode, g_signatures).Load(request);
}

HMODULE WINAPI HookLoadLibraryW(LPCWSTR name)
{
    if (!g_active.load())
        return Original(g_loadLibraryW)(name);
    return Intercept(name, nullptr, 0, "LoadLibraryW", __builtin_return_address(0));
}

HMODULE WINAPI HookLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags)
{
    if (!g_active.load() || PassesStraightThrough(flags))
        return Original(g_loadLibraryExW)(name, file, flags);
    return Intercept(name, file, flags, "LoadLibraryExW", __builtin_return_address(0));
}

HMODULE WINAPI HookLoadLibraryA(LPCSTR name)
{
    std::wstring wide;
    if (!g_active.load() || name == nullptr || !FileApiNameToWide(name, wide))
        return Original(g_loadLibraryA)(name);
    return Intercept(wide.c_str(), nullptr, 0, "LoadLibraryA", __builtin_return_address(0));
}

HMODULE WINAPI HookLoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags)
{
    std::wstring wide;
    if (!g_active.load() || name == nullptr || PassesStraightThrough(flags) || !FileApiNameToWide(name, wide))
        return Original(g_loadLibraryExA)(name, file, flags);
    return Intercept(wide.c_str(), file, flags, "LoadLibraryExA", __builtin_return_address(0));
}

}  // namespace

LONG AttachLoadLibraryHooks()
{
    if (LONG error = hooking::Attach(&g_loadLibraryW, &HookLoadLibraryW))
        return error;
    if (LONG error = hooking::Attach(&g_loadLibraryExW, &HookLoadLibraryExW))
        return error;
    if (LONG error = hooking::Attach(&g_loadLibraryA, &HookLoadLibraryA))
        return error;
    return hooking::Attach(&g_loadLibraryExA, &HookLoadLibraryExA);
}

LONG DetachLoadLibraryHooks()
{
    if (LONG error = hooking::Detach(&g_loadLibraryW, &HookLoadLibraryW))
        return error;
    if (LONG error = hooking::Detach(&g_loadLibraryExW, &HookLoadLibraryExW))
        return error;
    if (LONG error = hooking::Detach(&g_loadLibraryA, &HookLoadLibraryA))
        return error;
    return hooking::Detach(&g_loadLibraryExA, &HookLoadLibraryExA);
}

LoadLibraryExWFunction OriginalLoadLibraryExW() { return Original(g_loadLibraryExW); }

void ConfigureInterception(GuardMode mode, const SignatureRule& signatures)
{
    g_mode = mode;
    g_signatures = signatures;
}

void SetInterceptionActive(bool active) { g_active.store(active); }

bool InterceptionActive() { return g_active.load(); }

}  // namespace dllguard

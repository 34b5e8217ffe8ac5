#pragma once
// The path every hooked library load takes while the guard is active: a
// nested load of a library already being loaded on the thread is recorded
// and let through, libraries already loaded pass, a bare name is taken from
// System32 when it is there, trusted places pass, and anything else is
// checked and then reported (report mode) or refused when it lies in a
// vulnerable place (block mode). Whatever is let through is loaded by the
// true LoadLibraryExW with the caller's own name, file handle and flags.
#include "dllguard/intercept/guard_options.h"
#include "dllguard/report/guard_event.h"
#include "dllguard/trust/trust_checks.h"

#include <windows.h>

#include <string>

namespace dllguard {

// What the common path takes from the process; tests put a scripted one in its place.
class LoadInterceptionSystem {
public:
    virtual ~LoadInterceptionSystem() = default;
    // The true LoadLibraryExW.
    virtual HMODULE Load(LPCWSTR name, HANDLE file, DWORD flags) = 0;
    virtual bool IsLoaded(LPCWSTR name) = 0;
    virtual const std::wstring& System32Directory() = 0;
    virtual bool IsTrustedPath(const std::wstring& path) = 0;
    virtual SecurityCheckResult SecurityCheck(const std::wstring& name, DWORD flags, const SignatureRule& rule) = 0;
    virtual void Report(const DllProtectInfo& event) = 0;
};

// The process's own: the true LoadLibraryExW, the process's trust checks and guard events.
LoadInterceptionSystem& ProcessLoadSystem();

struct LoadRequest {
    LPCWSTR name = nullptr;
    HANDLE file = nullptr;
    DWORD flags = 0;
    const char* functionName = "";  // "LoadLibraryW", ...
    const void* caller = nullptr;   // the hooked function's return address
};

// LoadLibraryEx flags that go to the true function without any check: data
// files, and loads from System32 only.
bool PassesStraightThrough(DWORD flags);

class LoadInterception {
public:
    LoadInterception(LoadInterceptionSystem& system, GuardMode mode, const SignatureRule& signatures)
        : system_(system), mode_(mode), signatures_(signatures)
    {
    }

    // The handle the caller gets; null for a refused library, with the
    // caller's last-error value as it was.
    HMODULE Load(const LoadRequest& request) const;

private:
    HMODULE Checked(const LoadRequest& request, DWORD callerError) const;
    HMODULE Nested(const LoadRequest& request, DWORD callerError) const;
    // The true LoadLibraryExW with `name` and the caller's file handle and
    // flags, entered with the caller's last-error value.
    HMODULE Forward(LPCWSTR name, const LoadRequest& request, DWORD callerError) const;
    HMODULE LoadAsRequested(const LoadRequest& request, DWORD callerError) const;

    LoadInterceptionSystem& system_;
    GuardMode mode_;
    SignatureRule signatures_;
};

}  // namespace dllguard

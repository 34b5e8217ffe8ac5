#include "dllguard/intercept/load_interception.h"

#include "dllguard/intercept/load_in_progress.h"
#include "dllguard/report/event_reporting.h"
#include "dllguard/report/guard_event_builders.h"
#include "dllguard/trace/trace.h"
#include "dllguard/true_load_library.h"
#include "dllguard/trust/path_within.h"

#include <cwchar>

namespace dllguard {
namespace {

constexpr char kHook[] = "GenericLoadLibrary_Hook";

class ProcessSystem final : public LoadInterceptionSystem {
public:
    HMODULE Load(LPCWSTR name, HANDLE file, DWORD flags) override { return TrueLoadLibraryExW()(name, file, flags); }
    bool IsLoaded(LPCWSTR name) override { return GetModuleHandleW(name) != nullptr; }
    const std::wstring& System32Directory() override { return ProcessTrustChecks().Directories().system32; }
    bool IsTrustedPath(const std::wstring& path) override { return ProcessTrustChecks().IsTrustedPath(path); }
    SecurityCheckResult SecurityCheck(const std::wstring& name, DWORD flags, const SignatureRule& rule) override
    {
        return ProcessTrustChecks().SecurityCheck(name, flags, rule);
    }
    void Report(const DllProtectInfo& event) override { GuardEvents().Report(event); }
};

bool IsBareName(LPCWSTR name) { return std::wcspbrk(name, L"\\/") == nullptr; }

void TraceRequest(const LoadRequest& request)
{
    if (!trace::CurrentTracer().Enabled())
        return;
    trace::Detail(kHook, "GenericLoadLibrary_Hook called with: ");
    trace::DetailW(kHook, L"Filename: {}", request.name);
    trace::Detail(kHook, "hFile: {:x}", reinterpret_cast<uintptr_t>(request.file));
    trace::Detail(kHook, "Flags: 0x{:x}", request.flags);
    trace::Detail(kHook, "FuncName: {}", request.functionName);
    trace::Detail(kHook, "CallerAddr: 0x{:x}", reinterpret_cast<uintptr_t>(request.caller));
    const CallerLocation caller = LocateCaller(request.caller);
    trace::Detail(kHook, "CallerOffset: {}", caller.offset.empty() ? "UNKNOWN" : caller.offset);
    trace::Detail(kHook, "CallerName: {}", caller.modulePath.empty() ? "UNKNOWN" : caller.modulePath);
}

}  // namespace

LoadInterceptionSystem& ProcessLoadSystem()
{
    // Never destroyed: hooks on other threads may run until the process ends.
    static ProcessSystem* const system = new ProcessSystem();
    return *system;
}

bool PassesStraightThrough(DWORD flags)
{
    return (flags & (LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE)) != 0 ||
           flags == LOAD_LIBRARY_SEARCH_SYSTEM32;
}

HMODULE LoadInterception::Load(const LoadRequest& request) const
{
    const DWORD callerError = GetLastError();
    if (request.name == nullptr)
        return Forward(request.name, request, callerError);  // the system's own answer to a missing name

    trace::Scope scope(kHook);
    TraceRequest(request);
    if (LoadInProgress::Contains(request.name))
        return Nested(request, callerError);

    const LoadInProgress inProgress(request.name);
    return Checked(request, callerError);
}

HMODULE LoadInterception::Nested(const LoadRequest& request, DWORD callerError) const
{
    if (!WritingRecursionRecord::IsSet()) {
        const WritingRecursionRecord writing;
        system_.Report(RecursiveLoadEvent(request.name, request.functionName, LocateCaller(request.caller),
                                          LoadInProgress::Names()));
    }
    return Forward(request.name, request, callerError);
}

HMODULE LoadInterception::Checked(const LoadRequest& request, DWORD callerError) const
{
    if (system_.IsLoaded(request.name))
        return Forward(request.name, request, callerError);

    if (IsBareName(request.name)) {
        // The System32 copy before anything the search path would find first.
        const std::wstring inSystem32 = system_.System32Directory() + L"\\" + request.name;
        if (HMODULE module = Forward(inSystem32.c_str(), request, callerError)) {
            trace::Detail(kHook, "Loaded directly from system32");
            return module;
        }
    }

    // Only a path the loader takes as it stands may be trusted for its place
    // before it is mapped: any other name is found by the loader's search,
    // not where the current directory would put it.
    if (IsFullyQualifiedPath(request.name) && system_.IsTrustedPath(request.name))
        return Forward(request.name, request, callerError);

    const SecurityCheckResult check = system_.SecurityCheck(request.name, request.flags, signatures_);
    if (check.result != GuardResult::Success) {
        if (mode_ == GuardMode::Report) {
            system_.Report(InterceptionEvent(request.name, check.checkedPath, check.result, request.functionName,
                                             LocateCaller(request.caller), check.information));
        } else if (mode_ == GuardMode::Block && check.result == GuardResult::VulnerablePath) {
            SetLastError(callerError);
            return nullptr;
        }
    }
    return LoadAsRequested(request, callerError);
}

HMODULE LoadInterception::LoadAsRequested(const LoadRequest& request, DWORD callerError) const
{
    trace::DetailW(kHook, L"calling TrueLoadLibraryExW with {}", request.name);
    return Forward(request.name, request, callerError);
}

HMODULE LoadInterception::Forward(LPCWSTR name, const LoadRequest& request, DWORD callerError) const
{
    SetLastError(callerError);
    return system_.Load(name, request.file, request.flags);
}

}  // namespace dllguard

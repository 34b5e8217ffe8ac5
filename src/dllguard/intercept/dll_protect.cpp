#include "dllguard/intercept/dll_protect.h"

#include "base/module_path.h"

#include "dllguard/hook/hook_transaction.h"
#include "dllguard/intercept/guard_options.h"
#include "dllguard/intercept/load_library_hooks.h"
#include "dllguard/report/event_reporting.h"
#include "dllguard/report/guard_event_builders.h"
#include "dllguard/startup/executable_name.h"
#include "dllguard/trace/trace.h"
#include "dllguard/true_load_library.h"
#include "dllguard/trust/signature.h"
#include "dllguard/trust/trust_checks.h"

#include <windows.h>

#include <string>

namespace dllguard {
namespace {

constexpr char kStart[] = "DllProtectStart";
constexpr char kStop[] = "DllProtectStop";

// Safe search mode (the current directory after the system's), for good.
constexpr DWORD kSafeSearchPermanent = BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT;

// Only the thread that starts and stops the guard touches this.
struct GuardState {
    GuardOptions options;
    std::wstring processName;
    SignerCertificate publisher;  // the executable's signer, for publisher pinning
    bool hooked = false;
};

GuardState& State()
{
    static GuardState* const state = new GuardState();
    return *state;
}

bool NtCreateSectionPresent()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        trace::Detail(kStart, "cannot get ntdll.dll module handle");
        return false;
    }
    if (GetProcAddress(ntdll, "NtCreateSection") == nullptr) {
        trace::Detail(kStart, "cannot get NtCreateSection proc address");
        return false;
    }
    return true;
}

bool AttachHooks()
{
    LONG error = hooking::TransactionBegin();
    if (error == 0)
        error = hooking::UpdateThread(GetCurrentThread());
    if (error == 0)
        error = AttachLoadLibraryHooks();
    if (error != 0) {
        hooking::TransactionAbort();
        return false;
    }
    return hooking::TransactionCommit() == 0;
}

bool DetachHooks()
{
    LONG error = hooking::TransactionBegin();
    if (error == 0)
        error = hooking::UpdateThread(GetCurrentThread());
    if (error == 0)
        error = DetachLoadLibraryHooks();
    if (error != 0) {
        hooking::TransactionAbort();
        return false;
    }
    return hooking::TransactionCommit() == 0;
}

// With publisher pinning, the executable's own signer, read before the hooks
// go in; only a library signature by the same certificate will pass.
SignatureRule SignatureRuleOf(GuardState& state)
{
    SignatureRule rule;
    rule.check = state.options.checkSignature;
    if (!rule.check || !state.options.samePublisher)
        return rule;
    state.publisher = ExecutableSigner();
    if (state.publisher.Present())
        trace::DetailW(kStart, L"publisher pinning: the executable is signed by SHA-256 {}",
                       state.publisher.thumbprint);
    else
        trace::Detail(kStart, "publisher pinning: the executable carries no valid signature, no library passes by "
                              "its signature");
    rule.publisher = &state.publisher;
    return rule;
}

// Loads the verification machinery now, while no hooked load depends on it.
void WarmUpSignatureCheck()
{
    const std::wstring ntdll = ModuleFileName(GetModuleHandleW(L"ntdll.dll"), MAX_PATH);
    const bool valid = VerifyEmbeddedSignature(ntdll);
    trace::DetailW(kStart, L"signature check moking mocking for {} returned {}", ntdll, valid ? 1 : 0);
}

}  // namespace

int DllProtectStart(uint32_t options, const wchar_t* processName)
{
    trace::Scope scope(kStart);
    trace::DetailW(kStart, L"options: {}, proc_name:{}", options, processName ? processName : L"");

    GuardState& state = State();
    if (state.hooked)
        return 1;
    if (!DecodeGuardOptions(options, state.options)) {
        trace::Detail(kStart, "cannot activate dllprotect in report mode and block mode at the same time");
        return 0;
    }
    if (processName != nullptr)
        state.processName = processName;
    else
        ExecutableFileName(state.processName);

    GuardEventReporting& events = GuardEvents();
    events.PrepareReportFile(state.processName);
    if (state.options.eventsWanted && events.HasEventSink() && !events.StartQueue())
        return 0;

    if (!state.options.keepSearchPathMode)
        SetSearchPathMode(kSafeSearchPermanent);

    if (!NtCreateSectionPresent()) {
        events.StopQueue();
        return 0;
    }

    // The checks resolve their directories before any hook can ask them.
    ProcessTrustChecks();
    ConfigureInterception(state.options.mode, SignatureRuleOf(state));
    if (!AttachHooks()) {
        events.Report(HookFailureEvent());
        events.StopQueue();
        return 0;
    }
    state.hooked = true;
    SetTrueLoadLibraryExW(OriginalLoadLibraryExW());

    WarmUpSignatureCheck();
    SetInterceptionActive(true);
    return 1;
}

void DllProtectStop()
{
    trace::Scope scope(kStop);
    SetInterceptionActive(false);
    GuardState& state = State();
    if (!state.hooked || !DetachHooks())
        return;
    state.hooked = false;
    SetTrueLoadLibraryExW(nullptr);
    GuardEvents().StopQueue();
}

bool DllProtectActive() { return InterceptionActive(); }

}  // namespace dllguard

#pragma once
// The hooks on LoadLibraryW, LoadLibraryExW, LoadLibraryA and LoadLibraryExA.
// While interception is active they send loads through the common path of
// load_interception.h; otherwise, and for the pass-through flags of the Ex
// variants, they call the function they replace.
#include "dllguard/intercept/guard_options.h"
#include "dllguard/true_load_library.h"
#include "dllguard/trust/trust_checks.h"

#include <windows.h>

namespace dllguard {

// Inside an open hook transaction, in the order W, ExW, A, ExA; the first
// failure's error code, 0 when all four are in.
LONG AttachLoadLibraryHooks();
LONG DetachLoadLibraryHooks();

// Through it the replaced LoadLibraryExW stays callable (the system's
// function itself while nothing is hooked).
LoadLibraryExWFunction OriginalLoadLibraryExW();

// Set before the hooks go in; only read afterwards (the rule's publisher must
// stay alive as long as the hooks).
void ConfigureInterception(GuardMode mode, const SignatureRule& signatures);
void SetInterceptionActive(bool active);
bool InterceptionActive();

}  // namespace dllguard

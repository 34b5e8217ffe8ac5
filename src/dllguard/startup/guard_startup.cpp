#include "dllguard/startup/guard_startup.h"

// Nothing to harden yet: the guard's start-up comes with the interception.
void StartDllGuard(GuardStartupState& state) { state.started = false; }

void StopDllGuard(GuardStartupState& state) { state.started = false; }

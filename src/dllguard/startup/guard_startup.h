#pragma once
// The first and last steps of the console: hardening the DLL search path and,
// when the machine's settings ask for it, the library-load guard.
struct GuardStartupState {
    bool started = false;
};

void StartDllGuard(GuardStartupState& state);
void StopDllGuard(GuardStartupState& state);

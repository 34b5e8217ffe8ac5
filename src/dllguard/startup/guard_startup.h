#pragma once
// The first and last steps of the console: hardening the DLL search path and,
// when the machine's settings ask for it, the library-load guard. Switches
// come from the environment first and the executable's Image File Execution
// Options key second; every failure only means less protection, never an
// error for the console.
struct GuardStartupState {
    bool started = false;  // the guard is running and is to be stopped at the end
};

void StartDllGuard(GuardStartupState& state);
void StopDllGuard(GuardStartupState& state);

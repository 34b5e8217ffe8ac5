#pragma once
// Starting and stopping the library-load guard: the four load hooks, the
// events queue when an event sink is installed, and the `active` flag.
#include <cstdint>

namespace dllguard {

// `options` is the option word of guard_options.h; `processName` names the
// report file (the executable's file name when null). Returns 1 when the
// hooks are in place, 0 otherwise (nothing is left installed then).
int DllProtectStart(uint32_t options, const wchar_t* processName);

// Takes the hooks out and ends the events queue. When the hooks cannot be
// taken out they stay in place but let every load through.
void DllProtectStop();

bool DllProtectActive();

}  // namespace dllguard

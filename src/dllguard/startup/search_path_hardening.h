#pragma once
// Narrowing where the process looks for libraries named without a path: the
// default directories only, and a PATH of the executable's directory and
// System32. Neither is undone for the life of the process.
#include "dllguard/startup/guard_switches.h"

#include <string>

namespace dllguard {

// The teSanPa variable, or else the "teSanPa" value equal to 1; never when
// teSanPa_disabled is present.
bool SearchPathHardeningWanted(const GuardSwitches& switches);

// "<executable directory>;<System32>"
std::wstring HardenedPath(const std::wstring& executableDirectory, const std::wstring& system32);

// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS) where the
// system has it, and the hardened PATH.
void HardenSearchPath();

}  // namespace dllguard

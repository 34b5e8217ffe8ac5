#pragma once
// Whether the start-up starts the library-load guard, and how.
#include "dllguard/startup/guard_switches.h"

#include <cstdint>
#include <string>

namespace dllguard {

struct InterceptionDecision {
    bool start = false;
    bool fromEnvironment = false;  // an interception variable decided, not the registry
    bool noReport = false;         // events are produced but discarded
    uint32_t optionWord = 0;       // 0x12 report mode, 0x22 block mode; 0x80 added for publisher pinning
    std::wstring reportFolder;     // "<ProgramData>\48C4687D-...", empty without ProgramData
};

// The teInterDll variables first (teInterDll_disabled wins over the enabling
// two), the "teInterDll" value (any non-zero value) when none of them decided.
// teInterDll_same_publisher with the value 1 adds publisher pinning to a
// guard that starts, whatever turned it on.
InterceptionDecision DecideInterception(const GuardSwitches& switches);

// "<ProgramData>\48C4687D-9760-4F5B-BAB3-60351B0841E4"; empty when ProgramData is.
std::wstring StartupReportFolder(const std::wstring& programData);

}  // namespace dllguard

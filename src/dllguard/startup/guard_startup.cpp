#include "dllguard/startup/guard_startup.h"

#include "dllguard/intercept/dll_protect.h"
#include "dllguard/report/event_reporting.h"
#include "dllguard/startup/executable_name.h"
#include "dllguard/startup/interception_decision.h"
#include "dllguard/startup/search_path_hardening.h"

#include <string>

void StartDllGuard(GuardStartupState& state)
{
    using namespace dllguard;
    const GuardSwitches& switches = ProcessGuardSwitches();
    if (SearchPathHardeningWanted(switches))
        HardenSearchPath();

    const InterceptionDecision decision = DecideInterception(switches);
    if (!decision.start)
        return;
    GuardEventReporting& events = GuardEvents();
    if (!decision.noReport && decision.fromEnvironment && !DllProtectActive())
        events.SetReportFolder(decision.reportFolder);
    if (decision.noReport && !DllProtectActive())
        events.InstallEventSink(&NoOpEventSink, nullptr);  // events produced, then dropped

    std::wstring executable;
    if (ExecutableFileName(executable) != 0)
        return;
    // Only a guard that really started is stopped at the end.
    state.started = DllProtectStart(decision.optionWord, executable.c_str()) == 1;
}

void StopDllGuard(GuardStartupState& state)
{
    if (!state.started)
        return;
    dllguard::DllProtectStop();
    state.started = false;
}

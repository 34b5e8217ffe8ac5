#include "dllguard/startup/interception_decision.h"

#include "dllguard/intercept/guard_options.h"
#include "dllguard/report/report_path.h"

namespace dllguard {

std::wstring StartupReportFolder(const std::wstring& programData)
{
    return programData.empty() ? std::wstring() : programData + L"\\" + kReportFolderName;
}

InterceptionDecision DecideInterception(const GuardSwitches& switches)
{
    InterceptionDecision decision;
    bool on = false;
    bool block = false;
    if (switches.EnvironmentPresent(switches::Interception))
        decision.fromEnvironment = on = true;
    if (switches.EnvironmentPresent(switches::InterceptionBlock))
        decision.fromEnvironment = on = block = true;
    decision.noReport = switches.EnvironmentPresent(switches::InterceptionNoReport);
    if (switches.EnvironmentPresent(switches::InterceptionDisabled)) {
        decision.fromEnvironment = true;
        on = false;
    }

    if (!decision.fromEnvironment) {
        std::wstring executable;
        if (!switches.ExecutableFileName(executable))
            return decision;
        DWORD value = 0;
        on = switches.ImageFileExecutionOption(executable, switches::InterceptionValue, value) && value != 0;
    }

    decision.reportFolder = StartupReportFolder(switches.ProgramData());
    if (!on)
        return decision;
    if (decision.fromEnvironment && decision.reportFolder.empty())
        decision.noReport = true;
    decision.optionWord = option::CheckSignature | (block ? option::BlockMode : option::ReportMode);
    if (switches.EnvironmentValue(switches::InterceptionSamePublisher) == L"1")
        decision.optionWord |= option::SamePublisher;
    decision.start = true;
    return decision;
}

}  // namespace dllguard

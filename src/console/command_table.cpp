#include "console/command_table.h"

#include "console/interrupts.h"
#include "console/shell.h"

ConsoleCommands::ConsoleCommands(TesdkRunner* runner)
{
    (void)runner;
    // The table order is the registration order.
    // 1  FileScan.OnDemand.RunScanTask
    // 2  IsUpdateRestartNeeded
    // 3  StartUpdate
    // 4  IsUpdateInProgress
    // 5  GetVersion
    // 6  GetUpdateStatus
    // 7  Support.StartSession
    // 8  Support.AbortSession
    // 9  Support.ForceAbortSession
    // 10 Support.GetState
    // 11 Support.GetScenarios
    // 12 Support.EndSession
    // 13 Support.Collect
    // 14 Support.GetHistory
}

ConsoleCommands::~ConsoleCommands()
{
    // Nobody may reach the commands any more once they start going away.
    ForgetCurrentCommand();
    CommandRegistry.clear();
    // Reverse order: the session commands' own connections close from the
    // last registered to the first, the scan command last.
    while (!commands_.empty())
        commands_.pop_back();
}

void ConsoleCommands::RegisterAll()
{
    for (const auto& command : commands_)
        RegisterCommand(*command);
}

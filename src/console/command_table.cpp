#include "console/command_table.h"

#include "commands/product/product_status.h"
#include "commands/product/update_commands.h"
#include "commands/scan/command_scan.h"
#include "console/interrupts.h"
#include "console/shell.h"

ConsoleCommands::ConsoleCommands(TesdkRunner* runner)
{
    // The table order is the registration order.
    commands_.push_back(std::make_unique<CommandScan>(runner));
    commands_.push_back(std::make_unique<CommandIsUpdateRestartNeeded>(runner));
    commands_.push_back(std::make_unique<CommandStartUpdate>(runner));
    commands_.push_back(std::make_unique<CommandIsUpdateInProgress>(runner));
    commands_.push_back(std::make_unique<CommandGetVersion>(runner));
    commands_.push_back(std::make_unique<CommandGetUpdateStatus>(runner));
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

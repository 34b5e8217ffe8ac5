#include "entry/command_table.h"

#include "commands/product/product_status.h"
#include "commands/product/update_commands.h"
#include "commands/scan/command_scan.h"
#include "commands/support/command_get_history.h"
#include "commands/support/session_queries.h"
#include "commands/support/session_start_commands.h"
#include "commands/support/session_stop_commands.h"
#include "entry/interrupts.h"
#include "entry/shell.h"

ConsoleCommands::ConsoleCommands(TesdkRunner* runner)
{
    // The table order is the registration order.
    commands_.push_back(std::make_unique<CommandScan>(runner));
    commands_.push_back(std::make_unique<CommandIsUpdateRestartNeeded>(runner));
    commands_.push_back(std::make_unique<CommandStartUpdate>(runner));
    commands_.push_back(std::make_unique<CommandIsUpdateInProgress>(runner));
    commands_.push_back(std::make_unique<CommandGetVersion>(runner));
    commands_.push_back(std::make_unique<CommandGetUpdateStatus>(runner));
    commands_.push_back(std::make_unique<CommandStartSession>(runner));
    commands_.push_back(std::make_unique<CommandAbortSession>(runner));
    commands_.push_back(std::make_unique<CommandForceAbortSession>(runner));
    commands_.push_back(std::make_unique<CommandGetState>(runner));
    commands_.push_back(std::make_unique<CommandGetScenarios>(runner));
    commands_.push_back(std::make_unique<CommandEndSession>(runner));
    commands_.push_back(std::make_unique<CommandStartCollect>(runner));
    commands_.push_back(std::make_unique<CommandGetHistory>(runner));
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

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
    Add<CommandScan>(runner);
    Add<CommandIsUpdateRestartNeeded>(runner);
    Add<CommandStartUpdate>(runner);
    Add<CommandIsUpdateInProgress>(runner);
    Add<CommandGetVersion>(runner);
    Add<CommandGetUpdateStatus>(runner);
    Add<CommandStartSession>(runner);
    Add<CommandAbortSession>(runner);
    Add<CommandForceAbortSession>(runner);
    Add<CommandGetState>(runner);
    Add<CommandGetScenarios>(runner);
    Add<CommandEndSession>(runner);
    Add<CommandStartCollect>(runner);
    Add<CommandGetHistory>(runner);
}

ConsoleCommands::~ConsoleCommands()
{
    // Nobody may reach the commands any more once they start going away.
    ForgetCurrentCommand();
    ClearCommandRegistry();
    // Reverse order: the session commands' own connections close from the
    // last registered to the first, the scan command last.
    while (!commands_.empty())
        commands_.pop_back();
}

void ConsoleCommands::RegisterAll()
{
    for (const Entry& entry : commands_)
        RegisterCommand(*entry.command, entry.synopsis);
}

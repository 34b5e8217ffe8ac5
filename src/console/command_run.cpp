#include "console/command_run.h"

int ExecuteAndReport(ICommand& command, const std::string& /*commandName*/, const ArgumentTokens& args)
{
    return command.Execute(args);
}

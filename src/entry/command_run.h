#pragma once
// Runs a looked-up command with its argument tokens and returns its result.
// This is where every command run is reported (the telemetry event is built
// around Execute).
#include "console/command.h"

#include <string>

ResultCode ExecuteAndReport(ICommand& command, const std::string& commandName, const ArgumentTokens& args);

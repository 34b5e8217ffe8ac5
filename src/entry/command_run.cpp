#include "entry/command_run.h"

#include "telemetry/telemetry_app.h"

ResultCode ExecuteAndReport(ICommand& command, const std::string& commandName, const ArgumentTokens& args)
{
    // Every run of a registered command is reported, whatever its outcome.
    Product::TelemetryST::TelemetryApp telemetry;
    telemetry.Begin(commandName, args);
    const ResultCode code = command.Execute(args);
    telemetry.End(code);
    return code;
}

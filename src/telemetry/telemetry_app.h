#pragma once
// The per-command telemetry event: built around a command's run, written to
// the diagnostics log and delivered through the telemetry plug-in. Nothing of
// it ever reaches the console or changes a command's result.
#include "base/result_codes.h"
#include "console/command.h"
#include "base/logging.h"

#include <json/value.h>

#include <string>

namespace Product {
namespace TelemetryST {

class TelemetryApp {
public:
    TelemetryApp();
    ~TelemetryApp();
    TelemetryApp(const TelemetryApp&) = delete;
    TelemetryApp& operator=(const TelemetryApp&) = delete;

    // Name, version, tool and options of the command about to run.
    void Begin(const std::string& commandName, const ArgumentTokens& args);
    // Records the result and sends the event.
    void End(ResultCode resultCode);

    const Json::Value& Event() const { return event_; }

private:
    Json::Value event_;
    // The diagnostics log stays open for the whole command run.
    logging::BridgeReference bridge_;
};

// "tool_version": the running executable's fixed file version.
void AddToolVersion(Json::Value& event);
// "options": one entry per argument: its name, or "scenario=<value>" for
// scenario and scenarioId.
void AddOptions(Json::Value& event, const ArgumentTokens& args);
void SendTelemetryEvent(const Json::Value& event);

}  // namespace TelemetryST
}  // namespace Product

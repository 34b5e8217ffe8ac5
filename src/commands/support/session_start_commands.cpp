#include "commands/support/session_start_commands.h"

#include "commands/support/session_start_request.h"
#include "commands/support/support_replies.h"
#include "commands/support/support_wait_plans.h"
#include "console/arguments.h"
#include "base/result_codes.h"
#include "console/command_output.h"

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t StartResponseLimitMs = 30000;

// "scenario" wins over "scenarioId"; every value of the one taken is sent.
std::vector<std::string> ScenarioValues(const ArgumentMap& arguments)
{
    if (HasParam(arguments, std::string("scenario")))
        return GetParamValues(arguments, std::string("scenario"));
    return GetParamValues(arguments, std::string("scenarioId"));
}

std::string OutputFolder(const ArgumentMap& arguments)
{
    return StripQuotes(GetParam(arguments, std::string("outputPath")));
}

}  // namespace

CommandStartSession::CommandStartSession(TesdkRunner* runner, WaitSleeper sleeper)
    : WaitingSupportCommand(runner, support_command::StartSession, support_wait_plans::StartSession,
                            &StartSessionHandler, std::move(sleeper))
{
}

ResultCode CommandStartSession::Execute(const ArgumentTokens& args)
{
    BeginRun();
    const ArgumentMap arguments = ParseArguments(args);
    if (const ResultCode opened = OpenListeningConnection(); opened != result::Success)
        return opened;

    const std::vector<std::string> scenarios = ScenarioValues(arguments);
    if (!HasParam(arguments, std::string("scenario")) && !HasParam(arguments, std::string("scenarioId"))) {
        Explain(L"Parameter scenario not found.");
        return result::InvalidParameter;
    }
    const DeliveryTarget target = LocalDeliveryTarget(OutputFolder(arguments));
    int64_t timeLimit = DefaultSessionTimeLimitSeconds;
    if (HasParam(arguments, std::string("timeout")) &&
        !ParseSessionTimeLimit(GetParam(arguments, std::string("timeout")), timeLimit)) {
        Explain(L"Invalid value for timeout parameter.");
        return result::InvalidParameter;
    }

    IntegrationRequest request;
    if (!BuildStartSessionRequest(scenarios, {target}, timeLimit, request))
        return result::InvalidState;
    return AskThenWait(request, StartResponseLimitMs);
}

CommandStartCollect::CommandStartCollect(TesdkRunner* runner, WaitSleeper sleeper)
    : WaitingSupportCommand(runner, support_command::Collect, support_wait_plans::Collect, &SessionEndedHandler,
                            std::move(sleeper))
{
}

ResultCode CommandStartCollect::Execute(const ArgumentTokens& args)
{
    BeginRun();
    if (const ResultCode opened = OpenListeningConnection(); opened != result::Success)
        return opened;
    const ArgumentMap arguments = ParseArguments(args);
    const DeliveryTarget target = LocalDeliveryTarget(OutputFolder(arguments));

    // A collection needs no scenario and has no time limit of its own.
    IntegrationRequest request;
    if (!BuildStartSessionRequest(ScenarioValues(arguments), {target}, std::nullopt, request))
        return result::InvalidState;
    return AskThenWait(request, StartResponseLimitMs);
}

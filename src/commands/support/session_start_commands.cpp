#include "commands/support/session_start_commands.h"

#include "commands/support/session_start_request.h"
#include "commands/support/support_wait_plans.h"
#include "console/arguments.h"
#include "base/result_codes.h"
#include "console/command_output.h"
#include "integration/tesdk_runner.h"
#include "json/json_values.h"

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t StartResponseLimitMs = 30000;

constexpr int32_t AgentSessionInProgress = -1056;
constexpr int32_t AgentInvalidScenario = -13;
constexpr int32_t AgentBadPath = -161;
constexpr int32_t AgentDiskFull = -112;

constexpr AgentCodeMessage SessionInProgress = {
    AgentSessionInProgress, L"A support session is already in progress. Please wait until it is finished."};
constexpr AgentCodeMessage InvalidScenario = {AgentInvalidScenario, L"The given scenario is invalid."};

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

void PrintPathMessage(const DeliveryTarget& target)
{
    Explain(L"\"" + std::wstring(target.folder.view()) +
            L"\" is an invalid or inaccessible path. Please try again with another one.");
    CommandOutput().Data("outputPath", TextValue(target.folder.view()));
}

void PrintDiskSpaceMessage(const Json::Value& output)
{
    int64_t bytes = 0;
    if (!GetInt64(bytes, output, "diskSpaceNeeded")) {
        Explain(L"There is not enough space on the system partition.");
        return;
    }
    const int64_t gigabytes = bytes / (1LL << 30);
    Explain(L"There is not enough space on the system partition, " + std::to_wstring(gigabytes) + L"GB needed.");
    CommandOutput().Data("diskSpaceNeededBytes", Json::Value(static_cast<Json::Int64>(bytes)));
    CommandOutput().Data("diskSpaceNeededGB", Json::Value(static_cast<Json::Int64>(gigabytes)));
}

}  // namespace

CommandStartSession::CommandStartSession(TesdkRunner* runner, WaitSleeper sleeper)
    : WaitingSupportCommand(runner, support_wait_plans::StartSession, &StartSessionHandler, std::move(sleeper))
{
}

ResultCode CommandStartSession::Execute(const ArgumentTokens& args)
{
    BeginRun();
    const ArgumentMap arguments = ParseArguments(args);
    if (const int opened = OpenListeningConnection(); opened != result::Success)
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
    const AgentReply reply = AskAgent(*Runner(), request, StartResponseLimitMs);
    if (const ResultCode asked = reply.Code(); asked != result::Success)
        return asked;
    switch (const int32_t code = reply.Answer().error) {
    case 0:
        return Wait();
    case AgentBadPath:
        PrintPathMessage(target);
        return code;
    case AgentDiskFull:
        PrintDiskSpaceMessage(reply.Answer().output);
        return code;
    default:
        return ExplainAgentCode(code, {SessionInProgress, InvalidScenario});
    }
}

CommandStartCollect::CommandStartCollect(TesdkRunner* runner, WaitSleeper sleeper)
    : WaitingSupportCommand(runner, support_wait_plans::Collect, &SessionEndedHandler, std::move(sleeper))
{
}

ResultCode CommandStartCollect::Execute(const ArgumentTokens& args)
{
    BeginRun();
    if (const int opened = OpenListeningConnection(); opened != result::Success)
        return opened;
    const ArgumentMap arguments = ParseArguments(args);
    const DeliveryTarget target = LocalDeliveryTarget(OutputFolder(arguments));

    // A collection needs no scenario and has no time limit of its own.
    IntegrationRequest request;
    if (!BuildStartSessionRequest(ScenarioValues(arguments), {target}, std::nullopt, request))
        return result::InvalidState;
    const AgentReply reply = AskAgent(*Runner(), request, StartResponseLimitMs);
    if (const ResultCode asked = reply.Code(); asked != result::Success)
        return asked;
    switch (const int32_t code = reply.Answer().error) {
    case 0:
        return Wait();
    case AgentBadPath:
        PrintPathMessage(target);
        return code;
    default:
        return ExplainAgentCode(code, {SessionInProgress});
    }
}

#include "commands/product/update_commands.h"

#include "console/arguments.h"
#include "base/result_codes.h"
#include "console/command_output.h"
#include "integration/agent_request.h"
#include "integration/tesdk_runner.h"
#include "json/json_composed_serializer.h"

namespace {

constexpr int ErrorAdminRequired = 288;
constexpr int ErrorUpdateRunning = 1552;

struct RestartAnswer {
    bool isRestartNeeded = false;
    std::vector<int32_t> reasons;
};

}  // namespace

ResultCode CommandStartUpdate::Execute(const ArgumentTokens& args)
{
    const bool force = HasParam(ParseArguments(args), std::string("force"));
    IntegrationRequest request = BuildRequest("Update", "StartUpdate");
    Json::Value& params = request.modules.front().methods.front().params;
    if (!SetBool(params, "checkOnly", false) || !SetBool(params, "use_saved_settings", true) ||
        !SetBool(params, "force", force))
        return result::InvalidState;

    const AgentReply reply = AskAgent(*Runner(), request, QueryLimitMs);
    if (const ResultCode code = reply.Code(); code != result::Success)
        return code;

    const int32_t error = reply.Answer().error;
    CommandOutput().Data("accepted", error == 0);
    switch (error) {
    case 0:
        // The agent accepted the request; scripts read this line.
        CommandOutput().Text(L"error 0");
        return result::Success;
    case ErrorAdminRequired:
        Explain(L"Administrative privileges are required!");
        return result::ElevationRequired;
    case ErrorUpdateRunning:
        Explain(L"An update process is already running!");
        return ErrorUpdateRunning;
    case result::InvalidState:
        Explain(L"Update is disabled from policy!");
        return result::InvalidState;
    default:
        return error;
    }
}

ResultCode CommandIsUpdateInProgress::Execute(const ArgumentTokens&)
{
    IntegrationRequest request = BuildRequest("Update", "IsInstallerRunning");
    RequestMethod downloader;
    downloader.name = cv::StringW(L"IsDownloaderRunning");
    request.modules.front().methods.push_back(std::move(downloader));

    const AgentReply reply = AskAgent(*Runner(), request, QueryLimitMs);
    if (const ResultCode code = reply.Code(); code != result::Success)
        return code;
    const MethodAnswer& installer = reply.methods[0];
    const MethodAnswer& download = reply.methods[1];
    if (installer.error != 0 || download.error != 0)
        return result::InvalidState;
    bool installing = false, downloading = false;
    if (!GetBool(installing, installer.output, "response") || !GetBool(downloading, download.output, "response"))
        return result::InvalidParameter;
    ICommandOutput& output = CommandOutput();
    output.Text(installing || downloading ? L"true" : L"false");
    output.Data("inProgress", installing || downloading);
    output.Data("installerRunning", installing);
    output.Data("downloaderRunning", downloading);
    return result::Success;
}

ResultCode CommandIsUpdateRestartNeeded::Execute(const ArgumentTokens&)
{
    const IntegrationRequest request = BuildRequest("Product.RestartManager", "IsRestartNeeded");
    const AgentReply reply = AskAgent(*Runner(), request, QueryLimitMs);
    if (const ResultCode code = reply.MethodCode(); code != result::Success)
        return code;
    const Json::Value& output = reply.Answer().output;

    RestartAnswer answer;
    if (!JsonComposedSerializer::LoadField(&output, "isRestartNeeded", answer.isRestartNeeded))
        return result::InvalidParameter;
    if (!answer.isRestartNeeded) {
        Show(L"false", "restartNeeded", false);  // the reasons are not looked at
        return result::Success;
    }
    if (!JsonComposedSerializer::LoadField(&output, "reasons", answer.reasons))
        return result::InvalidParameter;
    bool becauseOfUpdate = false;
    for (const int32_t reason : answer.reasons)
        becauseOfUpdate = becauseOfUpdate || reason == 1;
    Json::Value reasons(Json::arrayValue);
    for (const int32_t reason : answer.reasons)
        reasons.append(reason);
    CommandOutput().Data("reasons", std::move(reasons));
    Show(becauseOfUpdate ? L"true" : L"false", "restartNeeded", becauseOfUpdate);
    return result::Success;
}

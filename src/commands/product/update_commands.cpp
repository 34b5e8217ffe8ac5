#include "commands/product/update_commands.h"

#include "console/arguments.h"
#include "base/result_codes.h"
#include "commands/product/product_replies.h"
#include "console/command_output.h"
#include "integration/integration_session.h"
#include "integration/tesdk_runner.h"
#include "json/json_composed_serializer.h"

namespace {

struct RestartAnswer {
    bool isRestartNeeded = false;
    std::vector<int32_t> reasons;
};

}  // namespace

ResultCode CommandStartUpdate::Execute(const ArgumentTokens& args)
{
    const bool force = HasParam(ParseArguments(args), std::string("force"));
    Json::Value params(Json::objectValue);
    if (!SetBool(params, "checkOnly", false) || !SetBool(params, "use_saved_settings", true) ||
        !SetBool(params, "force", force))
        return result::InvalidState;

    const IntegrationRequest request = BuildRequest("Update", "StartUpdate", std::move(params));
    const CommandReply reply = ProductReplies.Ask(*Runner(), product_command::StartUpdate, request, QueryLimitMs);
    // Whether the agent took the request is data of its own once it has answered.
    if (reply.reply.IsAnswered(0))
        CommandOutput().Data("accepted", reply.Answer().error == result::Success);
    if (reply.result != result::Success)
        return reply.result;
    // The agent accepted the request; scripts read this line.
    CommandOutput().Text(L"error 0");
    return result::Success;
}

ResultCode CommandIsUpdateInProgress::Execute(const ArgumentTokens&)
{
    const IntegrationRequest request = BuildRequest("Update", {{"IsInstallerRunning"}, {"IsDownloaderRunning"}});
    const CommandReply reply =
        ProductReplies.Ask(*Runner(), product_command::IsUpdateInProgress, request, QueryLimitMs);
    if (reply.result != result::Success)
        return reply.result;
    const MethodAnswer& installer = reply.Answer(0);
    const MethodAnswer& download = reply.Answer(1);
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
    const CommandReply reply =
        ProductReplies.Ask(*Runner(), product_command::IsUpdateRestartNeeded, request, QueryLimitMs);
    if (reply.result != result::Success)
        return reply.result;
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

#include "commands/product/update_commands.h"

#include "console/arguments.h"
#include "base/console_output.h"
#include "base/result_codes.h"
#include "integration/agent_request.h"
#include "integration/tesdk_runner.h"
#include "json/json_composed_serializer.h"

namespace {

constexpr ResultCode ErrorAdminRequired{288};
constexpr ResultCode ErrorUpdateRunning{1552};

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

    const AgentReply reply = AskAgent(*Runner(), BuildRequest("Update", "StartUpdate", std::move(params)), QueryLimitMs);
    if (const ResultCode code = reply.Code(); code != result::Success)
        return code;

    const ResultCode error = reply.Answer().error;
    if (error == result::Success) {
        // The agent accepted the request; scripts read this line.
        console::Write(L"error 0");
        return result::Success;
    }
    if (error == ErrorAdminRequired) {
        console::WriteLine(L"Administrative privileges are required!");
        return result::ElevationRequired;
    }
    if (error == ErrorUpdateRunning)
        console::WriteLine(L"An update process is already running!");
    else if (error == result::InvalidState)
        console::WriteLine(L"Update is disabled from policy!");
    return error;
}

ResultCode CommandIsUpdateInProgress::Execute(const ArgumentTokens&)
{
    const IntegrationRequest request = BuildRequest("Update", {{"IsInstallerRunning"}, {"IsDownloaderRunning"}});
    const AgentReply reply = AskAgent(*Runner(), request, QueryLimitMs);
    if (const ResultCode code = reply.Code(); code != result::Success)
        return code;
    const MethodAnswer& installer = reply.methods[0];
    const MethodAnswer& download = reply.methods[1];
    if (installer.error != result::Success || download.error != result::Success)
        return result::InvalidState;
    bool installing = false, downloading = false;
    if (!GetBool(installing, installer.output, "response") || !GetBool(downloading, download.output, "response"))
        return result::InvalidParameter;
    console::Write(installing || downloading ? L"true" : L"false");
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
        console::Write(L"false");  // the reasons are not looked at
        return result::Success;
    }
    if (!JsonComposedSerializer::LoadField(&output, "reasons", answer.reasons))
        return result::InvalidParameter;
    bool becauseOfUpdate = false;
    for (const int32_t reason : answer.reasons)
        becauseOfUpdate = becauseOfUpdate || reason == 1;
    console::Write(becauseOfUpdate ? L"true" : L"false");
    return result::Success;
}

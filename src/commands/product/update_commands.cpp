#include "commands/product/update_commands.h"

#include "console/arguments.h"
#include "base/console_output.h"
#include "base/result_codes.h"
#include "integration/integration_session.h"
#include "integration/tesdk_runner.h"
#include "json/json_composed_serializer.h"

namespace {

constexpr uint32_t QueryTimeoutMs = 5000;
constexpr int ErrorAdminRequired = 288;
constexpr int ErrorUpdateRunning = 1552;
constexpr int ErrorUpdateDisabled = 5023;

struct RestartAnswer {
    bool isRestartNeeded = false;
    std::vector<int32_t> reasons;
};

}  // namespace

int CommandStartUpdate::Execute(const ArgumentTokens& args)
{
    const bool force = HasParam(ParseArguments(args), std::string("force"));
    IntegrationRequest request = BuildRequest("Update", "StartUpdate");
    Json::Value& params = request.modules.front().methods.front().params;
    if (!SetBool(params, "checkOnly", false) || !SetBool(params, "use_saved_settings", true) ||
        !SetBool(params, "force", force))
        return 5023;

    IntegrationResponse response;
    const uint32_t sent = Send(*Runner(), request, response, QueryTimeoutMs);
    if (sent != 0)
        return static_cast<int>(sent);
    const ResponseMethod* method = FindMethod(response, L"Update", L"StartUpdate");
    if (method == nullptr)
        return result::CommandFailed;

    switch (method->error) {
    case 0:
        // The agent accepted the request; scripts read this line.
        console::Write(L"error 0");
        return result::Success;
    case ErrorAdminRequired:
        console::WriteLine(L"Administrative privileges are required!");
        return result::ElevationRequired;
    case ErrorUpdateRunning:
        console::WriteLine(L"An update process is already running!");
        return ErrorUpdateRunning;
    case ErrorUpdateDisabled:
        console::WriteLine(L"Update is disabled from policy!");
        return ErrorUpdateDisabled;
    default:
        return method->error;
    }
}

int CommandIsUpdateInProgress::Execute(const ArgumentTokens&)
{
    IntegrationRequest request = BuildRequest("Update", "IsInstallerRunning");
    RequestMethod downloader;
    downloader.name = cv::StringW(L"IsDownloaderRunning");
    request.modules.front().methods.push_back(std::move(downloader));

    IntegrationResponse response;
    const uint32_t sent = Send(*Runner(), request, response, QueryTimeoutMs);
    if (sent != 0)
        return static_cast<int>(sent);
    const ResponseMethod* installer = FindMethod(response, L"Update", L"IsInstallerRunning");
    const ResponseMethod* download = FindMethod(response, L"Update", L"IsDownloaderRunning");
    if (installer == nullptr || download == nullptr)
        return result::CommandFailed;
    if (installer->error != 0 || download->error != 0)
        return 5023;
    bool installing = false, downloading = false;
    if (!GetBool(installing, installer->output, "response") || !GetBool(downloading, download->output, "response"))
        return result::InvalidParameter;
    console::Write(installing || downloading ? L"true" : L"false");
    return result::Success;
}

int CommandIsUpdateRestartNeeded::Execute(const ArgumentTokens&)
{
    const IntegrationRequest request = BuildRequest("Product.RestartManager", "IsRestartNeeded");
    IntegrationResponse response;
    const uint32_t sent = Send(*Runner(), request, response, QueryTimeoutMs);
    if (sent != 0)
        return static_cast<int>(sent);
    const ResponseMethod* method = FindMethod(response, L"Product.RestartManager", L"IsRestartNeeded");
    if (method == nullptr)
        return result::CommandFailed;
    if (method->error != 0)
        return method->error;

    RestartAnswer answer;
    if (!JsonComposedSerializer::LoadField(&method->output, "isRestartNeeded", answer.isRestartNeeded))
        return result::InvalidParameter;
    if (!answer.isRestartNeeded) {
        console::Write(L"false");  // the reasons are not looked at
        return result::Success;
    }
    if (!JsonComposedSerializer::LoadField(&method->output, "reasons", answer.reasons))
        return result::InvalidParameter;
    bool becauseOfUpdate = false;
    for (const int32_t reason : answer.reasons)
        becauseOfUpdate = becauseOfUpdate || reason == 1;
    console::Write(becauseOfUpdate ? L"true" : L"false");
    return result::Success;
}

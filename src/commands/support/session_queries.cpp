#include "commands/support/session_queries.h"

#include "commands/support/support_records.h"
#include "commands/support/support_replies.h"
#include "base/result_codes.h"
#include "console/command_output.h"
#include "integration/integration_session.h"
#include "integration/tesdk_runner.h"
#include "json/json_composed_serializer.h"
#include "base/text_conversion.h"

#include <string>

namespace {

CommandReply QuerySupport(TesdkRunner& runner, CommandSet command, const char* method)
{
    return SupportReplies.Ask(runner, command, BuildRequest(SupportModule, method), QueryLimitMs);
}

// Each member has its own fallback; a malformed answer still prints.
void ReportState(const Json::Value& output)
{
    cv::StringA state;
    cv::List<cv::StringW> scenarios;
    bool stoppable = false;
    if (!JsonComposedSerializer::LoadField(&output, "state", state))
        state = "error";
    if (!JsonComposedSerializer::LoadField(&output, "scenarios", scenarios))
        scenarios.Clear();
    if (!JsonComposedSerializer::LoadField(&output, "troubleshoot/stoppable", stoppable))
        stoppable = false;

    const std::wstring stateText = Utf8ToWide(state.view());
    std::wstring report = L"Current state: " + stateText + L"\nScenarios: ";
    Json::Value scenarioList(Json::arrayValue);
    if (scenarios.empty()) {
        report += L"no scenario used";
    } else {
        const wchar_t* separator = L"";
        for (const cv::StringW& scenario : scenarios) {
            report += separator;
            report += scenario.view();
            separator = L", ";
            scenarioList.append(TextValue(scenario.view()));
        }
    }
    report += stoppable ? L"\nStoppable: yes\n" : L"\nStoppable: no\n";

    ICommandOutput& out = CommandOutput();
    out.Text(report);
    out.Data("state", TextValue(stateText));
    out.Data("scenarios", std::move(scenarioList));
    out.Data("stoppable", stoppable);
}

}  // namespace

ResultCode CommandGetState::Execute(const ArgumentTokens&)
{
    const CommandReply state = QuerySupport(*Runner(), support_command::GetState, "GetState");
    if (state.result != result::Success)
        return state.result;
    ReportState(state.Answer().output);
    return result::Success;
}

ResultCode CommandGetScenarios::Execute(const ArgumentTokens&)
{
    const CommandReply catalogueAnswer = QuerySupport(*Runner(), support_command::GetScenarios, "GetScenarios");
    if (catalogueAnswer.result != result::Success)
        return catalogueAnswer.result;
    cv::List<SupportScenario> scenarios;
    if (!LoadScenarios(catalogueAnswer.Answer().output, "scenariosList", scenarios))
        return result::InvalidParameter;
    std::wstring catalogue;
    Json::Value entries(Json::arrayValue);
    for (const SupportScenario& scenario : scenarios) {
        catalogue += L"Scenario: \n\tId: ";
        catalogue += scenario.id.view();
        catalogue += L"\n\tName: ";
        catalogue += scenario.name.view();
        catalogue += L"\n\tDescription: ";
        catalogue += scenario.description.view();
        catalogue += L'\n';
        Json::Value entry(Json::objectValue);
        entry["id"] = TextValue(scenario.id.view());
        entry["name"] = TextValue(scenario.name.view());
        entry["description"] = TextValue(scenario.description.view());
        entries.append(std::move(entry));
    }
    Show(catalogue, "scenarios", std::move(entries));
    return result::Success;
}

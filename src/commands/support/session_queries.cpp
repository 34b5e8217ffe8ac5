#include "commands/support/session_queries.h"

#include "commands/support/support_records.h"
#include "base/result_codes.h"
#include "console/command_output.h"
#include "integration/agent_request.h"
#include "integration/tesdk_runner.h"
#include "json/json_composed_serializer.h"
#include "base/text_conversion.h"

#include <string>

namespace {

AgentReply QuerySupport(TesdkRunner& runner, const char* method)
{
    return AskAgent(runner, BuildRequest("Product.Support", method), QueryLimitMs);
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
    const AgentReply state = QuerySupport(*Runner(), "GetState");
    if (state.status != result::Success)
        return state.status;
    if (const ResultCode code = state.MethodCode(); code != result::Success) {
        Explain(L"Failed to get current status!");
        return code;
    }
    ReportState(state.Answer().output);
    return result::Success;
}

ResultCode CommandGetScenarios::Execute(const ArgumentTokens&)
{
    const AgentReply catalogueAnswer = QuerySupport(*Runner(), "GetScenarios");
    if (const ResultCode code = catalogueAnswer.MethodCode(); code != result::Success)
        return code;
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

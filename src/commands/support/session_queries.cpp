#include "commands/support/session_queries.h"

#include "commands/support/support_records.h"
#include "base/console_output.h"
#include "base/result_codes.h"
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
std::wstring StateReport(const Json::Value& output)
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

    std::wstring report = L"Current state: " + Utf8ToWide(state.view()) + L"\nScenarios: ";
    if (scenarios.empty()) {
        report += L"no scenario used";
    } else {
        const wchar_t* separator = L"";
        for (const cv::StringW& scenario : scenarios) {
            report += separator;
            report += scenario.view();
            separator = L", ";
        }
    }
    report += stoppable ? L"\nStoppable: yes\n" : L"\nStoppable: no\n";
    return report;
}

}  // namespace

ResultCode CommandGetState::Execute(const ArgumentTokens&)
{
    const AgentReply state = QuerySupport(*Runner(), "GetState");
    if (state.status != result::Success)
        return state.status;
    if (const ResultCode code = state.MethodCode(); code != result::Success) {
        console::WriteLine(L"Failed to get current status!");
        return code;
    }
    console::Write(StateReport(state.Answer().output));
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
    for (const SupportScenario& scenario : scenarios) {
        catalogue += L"Scenario: \n\tId: ";
        catalogue += scenario.id.view();
        catalogue += L"\n\tName: ";
        catalogue += scenario.name.view();
        catalogue += L"\n\tDescription: ";
        catalogue += scenario.description.view();
        catalogue += L'\n';
    }
    console::Write(catalogue);
    return result::Success;
}

#include "commands/support/session_queries.h"

#include "commands/support/support_records.h"
#include "base/console_output.h"
#include "base/result_codes.h"
#include "integration/integration_session.h"
#include "integration/tesdk_runner.h"
#include "json/json_composed_serializer.h"
#include "base/text_conversion.h"

#include <string>

namespace {

constexpr uint32_t QueryLimitMs = 5000;

struct QueryOutcome {
    bool sent = false;  // false: `code` is the send's own failure
    int code = 0;       // the agent's code, or 1627 when it did not answer the method
    Json::Value output;
};

QueryOutcome QuerySupport(TesdkRunner& runner, const char* method)
{
    QueryOutcome outcome;
    IntegrationResponse response;
    const uint32_t sent = Send(runner, BuildRequest("Product.Support", method), response, QueryLimitMs);
    outcome.code = static_cast<int>(sent);
    if (sent != 0)
        return outcome;
    outcome.sent = true;
    const ResponseMethod* answer = FindMethod(response, L"Product.Support", Utf8ToWide(method));
    if (answer == nullptr) {
        outcome.code = result::CommandFailed;
        return outcome;
    }
    outcome.code = answer->error;
    outcome.output = answer->output;
    return outcome;
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

int CommandGetState::Execute(const ArgumentTokens&)
{
    const QueryOutcome state = QuerySupport(*Runner(), "GetState");
    if (!state.sent)
        return state.code;
    if (state.code != result::Success) {
        console::WriteLine(L"Failed to get current status!");
        return state.code;
    }
    console::Write(StateReport(state.output));
    return result::Success;
}

int CommandGetScenarios::Execute(const ArgumentTokens&)
{
    const QueryOutcome catalogueAnswer = QuerySupport(*Runner(), "GetScenarios");
    if (catalogueAnswer.code != result::Success)
        return catalogueAnswer.code;
    cv::List<SupportScenario> scenarios;
    if (!LoadScenarios(catalogueAnswer.output, "scenariosList", scenarios))
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

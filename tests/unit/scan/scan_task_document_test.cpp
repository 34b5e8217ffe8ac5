// The "RunScanTask" request as the agent receives it, and the requests that
// follow a running scan.
#include "commands/scan/scan_requests.h"
#include "commands/scan/scan_task_document.h"
#include "integration/integration_session.h"
#include "json/json_document.h"

#include <gtest/gtest.h>

namespace {

// The request document as the agent reads it back: numbers keep their sign
// and booleans stay booleans through the text.
Json::Value AsAgentSees(const IntegrationRequest& request)
{
    Json::Value document;
    EXPECT_TRUE(ParseJsonDocument(WriteRequestDocument(request), document));
    return document;
}

Json::Value Parse(const char* text)
{
    Json::Value value;
    EXPECT_TRUE(ParseJsonDocument(text, value)) << text;
    return value;
}

constexpr char DefaultRunDocument[] = R"({
  "type": "tesdk",
  "data": {"FileScan.OnDemand": [{"@name": "RunScanTask", "input": {
    "runCustomTask": true,
    "storedScanTask": {"userSid": "", "taskId": ""},
    "customScanTask": {
      "taskId": "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0",
      "taskName": "Custom Scan",
      "userSid": "",
      "scanState": 0,
      "context": null,
      "scanSettings": {
        "firstActionForInfected": 3,
        "secondActionForInfected": 7,
        "firstActionForSuspicious": 1,
        "secondActionForSuspicious": 1,
        "actionForRootkits": 3,
        "scanForAdware": true,
        "scanForSpyware": true,
        "scanForDialers": true,
        "scanForApplications": true,
        "scanForKeyLoggers": true,
        "scanForRootkits": false,
        "scanForAllRootkits": false,
        "scanPUA": false,
        "scanBootSectors": false,
        "scanMemory": false,
        "scanRegistry": false,
        "scanCookies": false,
        "scanPacked": true,
        "scanEmailArchives": true,
        "scanArchives": true,
        "deepScanArchive": true,
        "maxArchiveScanDepth": 16,
        "maxArchiveScanSize": 10485760,
        "useSmartScan": true,
        "promptForPassword": false,
        "enableGlobalExclusions": true,
        "enableTaskExclusions": false,
        "useLowPriorityLevel": false,
        "shutdownAfter": false,
        "scanNetworkFiles": true,
        "networkScan": {"user": "", "domain": "", "password": ""},
        "userRights": {"allowStartScan": true, "allowPauseScan": true, "allowPostponeScan": true,
                       "allowFinishScan": true},
        "extensionsScanType": 0,
        "customExtensions": "",
        "taskExclusions": [],
        "pathsToBeScanned": [{"path": "|ALLDRIVES|"}]
      },
      "scanSchedule": {
        "schedulerType": 0,
        "isSchedulerEnabled": false,
        "isSchedulerRunning": false,
        "timezone": "local",
        "firstScanStartDate": 0,
        "expirationDate": 0,
        "recovery": {"mode": 0, "interval": 0},
        "repeatSecondsInterval": 0,
        "scheduledDays": ""
      },
      "quickScanSettings": {"enableQuickScan": false, "scanMemory": false, "scanAutoruns": false,
                            "scanPlugins": false}
    }
  }}]}
})";

ScanTask DefaultTask()
{
    ScanTask task;
    task.taskId = L"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0";
    task.paths = {L"|ALLDRIVES|"};
    return task;
}

Json::Value& Input(Json::Value& document) { return document["data"]["FileScan.OnDemand"][0]["input"]; }

TEST(RunScanTaskDocument, DefaultsAreWrittenKeyByKey)
{
    EXPECT_EQ(AsAgentSees(BuildRunScanTaskRequest(DefaultTask())), Parse(DefaultRunDocument));
}

TEST(RunScanTaskDocument, ThreePathsInTheOrderGiven)
{
    ScanTask task = DefaultTask();
    task.paths = {L"C:\\b", L"C:\\Program Files\\a", L"D:\\Donn\u00e9es"};

    Json::Value expected = Parse(DefaultRunDocument);
    Json::Value& paths = Input(expected)["customScanTask"]["scanSettings"]["pathsToBeScanned"];
    paths = Parse(R"([{"path": "C:\\b"}, {"path": "C:\\Program Files\\a"}, {"path": "D:\\Donn\u00e9es"}])");
    EXPECT_EQ(AsAgentSees(BuildRunScanTaskRequest(task)), expected);
}

TEST(RunScanTaskDocument, ChosenSettingsAndUnsignedLimits)
{
    ScanTask task = DefaultTask();
    task.firstActionForInfected = ScanAction::DisinfectOnly;
    task.secondActionForSuspicious = ScanAction::Delete;
    task.scanMemory = true;
    task.useSmartScan = false;
    task.maxArchiveScanDepth = 18446744073709551615ull;  // -1 as the user typed it
    task.maxArchiveScanSize = 0xFFF8000000000000ull;
    task.extensionsScanType = ExtensionsScanType::Custom;
    task.customExtensions = L"exe;dll";

    Json::Value document = AsAgentSees(BuildRunScanTaskRequest(task));
    const Json::Value& settings = Input(document)["customScanTask"]["scanSettings"];
    EXPECT_EQ(settings["firstActionForInfected"], 10);
    EXPECT_EQ(settings["secondActionForSuspicious"], 5);
    EXPECT_EQ(settings["scanMemory"], true);
    EXPECT_EQ(settings["useSmartScan"], false);
    ASSERT_TRUE(settings["maxArchiveScanDepth"].isUInt64());
    EXPECT_EQ(settings["maxArchiveScanDepth"].asUInt64(), 18446744073709551615ull);
    ASSERT_TRUE(settings["maxArchiveScanSize"].isUInt64());
    EXPECT_EQ(settings["maxArchiveScanSize"].asUInt64(), 0xFFF8000000000000ull);
    EXPECT_EQ(settings["extensionsScanType"], 2);
    EXPECT_EQ(settings["customExtensions"], "exe;dll");
}

TEST(ScanTaskDocument, WritesBelowTheGivenBasePath)
{
    Json::Value params(Json::objectValue);
    WriteScanTaskDocument(params, "outer\\inner", DefaultTask());
    Json::Value full = Parse(DefaultRunDocument);
    const Json::Value& expected = Input(full)["customScanTask"];
    const Json::Value& written = params["outer"]["inner"];
    EXPECT_EQ(written.getMemberNames(),
              (std::vector<std::string>{"quickScanSettings", "scanSchedule", "scanSettings"}));
    for (const char* section : {"scanSettings", "scanSchedule", "quickScanSettings"})
        EXPECT_EQ(Parse(written[section].toStyledString().c_str()), expected[section]) << section;
}

TEST(ScanFollowUpRequests, ProgressAndStopNameTheTask)
{
    const std::wstring id = L"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0";
    EXPECT_EQ(AsAgentSees(BuildScanProgressRequest(id)), Parse(R"({"type": "tesdk", "data": {"FileScan.OnDemand": [
        {"@name": "GetScanProgress",
         "input": {"tasks": [{"userSid": "", "taskId": "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"}]}}]}})"));
    EXPECT_EQ(AsAgentSees(BuildStopScanTaskRequest(id)), Parse(R"({"type": "tesdk", "data": {"FileScan.OnDemand": [
        {"@name": "StopScanTask", "input": {"userSid": "", "taskId": "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"}}]}})"));
}

struct ProgressCase {
    const char* name;
    const char* response;
    bool healthy;
};

class ProgressAnswerTest : public testing::TestWithParam<ProgressCase> {};

TEST_P(ProgressAnswerTest, OnlyTheFirstEntryCounts)
{
    const AgentReply reply = ReadAgentReply(BuildScanProgressRequest(L"t"), ParseResponse(GetParam().response));
    EXPECT_EQ(ProgressIsHealthy(reply), GetParam().healthy);
}

#define PROGRESS(entries) \
    R"({"response":{"data":{"FileScan.OnDemand":[{"@name":"GetScanProgress","error":0,"output":{"progress":)" \
    entries "}}]}}}"

INSTANTIATE_TEST_SUITE_P(
    Answers, ProgressAnswerTest,
    testing::Values(ProgressCase{"no_error", PROGRESS(R"([{"progressError":0}])"), true},
                    ProgressCase{"progress_error", PROGRESS(R"([{"progressError":3}])"), false},
                    ProgressCase{"unsigned_progress_error", PROGRESS(R"([{"progressError":4294967295}])"), false},
                    ProgressCase{"missing_progress_error", PROGRESS(R"([{"scannedItems":5}])"), true},
                    ProgressCase{"progress_error_as_text", PROGRESS(R"([{"progressError":"3"}])"), true},
                    ProgressCase{"no_entries", PROGRESS("[]"), true},
                    ProgressCase{"second_entry_not_looked_at",
                                 PROGRESS(R"([{"progressError":0},{"progressError":3}])"), true},
                    ProgressCase{"method_error",
                                 R"({"response":{"data":{"FileScan.OnDemand":[{"@name":"GetScanProgress","error":5}]}}})",
                                 false},
                    ProgressCase{"other_method",
                                 R"({"response":{"data":{"FileScan.OnDemand":[{"@name":"RunScanTask","error":0}]}}})",
                                 false},
                    ProgressCase{"not_a_response", "{ nope", false}),
    [](const testing::TestParamInfo<ProgressCase>& test) { return std::string(test.param.name); });

}  // namespace

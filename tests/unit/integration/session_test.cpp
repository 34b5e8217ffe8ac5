// Request and response documents, method look-up and the notification
// receiver's matching rules.
#include "agent_fixture.h"
#include "result_code_printer.h"

#include "integration/integration_session.h"
#include "integration/notification_receiver.h"
#include "json/json_document.h"

#include <gtest/gtest.h>

namespace {

TEST(RequestDocument, CarriesModulesAndMethodsInOrder)
{
    Json::Value flag(Json::objectValue);
    flag["flag"] = true;
    const IntegrationRequest request = BuildRequest("Update", {{"IsInstallerRunning"}, {"IsDownloaderRunning", flag}});

    Json::Value document;
    ASSERT_TRUE(ParseJsonDocument(WriteRequestDocument(request), document));
    Json::Value expected;
    expected["type"] = "tesdk";
    expected["data"]["Update"][0]["@name"] = "IsInstallerRunning";
    expected["data"]["Update"][0]["input"] = Json::Value(Json::objectValue);
    expected["data"]["Update"][1]["@name"] = "IsDownloaderRunning";
    expected["data"]["Update"][1]["input"]["flag"] = true;
    EXPECT_EQ(document, expected);
}

TEST(RequestDocument, NamesTravelAsTheyWereWritten)
{
    // UTF-8 names go out byte for byte, with no conversion on the way.
    const IntegrationRequest request = BuildRequest("Modul.\xC3\x84", "Z\xC3\xA4hlen");
    Json::Value document;
    ASSERT_TRUE(ParseJsonDocument(WriteRequestDocument(request), document));
    ASSERT_TRUE(document["data"].isMember("Modul.\xC3\x84"));
    EXPECT_EQ(document["data"]["Modul.\xC3\x84"][0]["@name"].asString(), "Z\xC3\xA4hlen");
    EXPECT_EQ(document["data"]["Modul.\xC3\x84"][0]["input"], Json::Value(Json::objectValue));
}

struct ParseCase {
    const char* name;
    const char* text;
    std::vector<std::pair<std::string, size_t>> modules;  // name, result count
};

class ParseResponseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseResponseTest, KeepsWholeModulesOrNothing)
{
    const IntegrationResponse response = ParseResponse(GetParam().text);
    EXPECT_EQ(response.type.view(), "tesdk");
    std::vector<std::pair<std::string, size_t>> modules;
    for (const auto& module : response.modules)
        modules.emplace_back(std::string(module.name.view()), module.results.size());
    EXPECT_EQ(modules, GetParam().modules);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ParseResponseTest,
    testing::Values(
        ParseCase{"one_module", R"({"response":{"data":{"M":[{"@name":"a","error":0}]}}})", {{"M", 1}}},
        ParseCase{"empty_data", R"({"response":{"data":{}}})", {}},
        ParseCase{"empty_method_list", R"({"response":{"data":{"M":[]}}})", {{"M", 0}}},
        ParseCase{"result_without_error_empties_all",
                  R"({"response":{"data":{"A":[{"@name":"a","error":0}],"B":[{"@name":"b"}]}}})", {}},
        ParseCase{"error_as_text_empties_all", R"({"response":{"data":{"M":[{"@name":"a","error":"0"}]}}})", {}},
        ParseCase{"module_not_a_list", R"({"response":{"data":{"M":{"@name":"a","error":0}}}})", {}},
        ParseCase{"module_null", R"({"response":{"data":{"M":null}}})", {}},
        ParseCase{"no_response", R"({"data":{"M":[]}})", {}},
        ParseCase{"no_data", R"({"response":{}})", {}},
        ParseCase{"data_not_an_object", R"({"response":{"data":[1,2]}})", {}},
        ParseCase{"not_json", "{ nope", {}},
        ParseCase{"empty_text", "", {}},
        ParseCase{"comments_allowed", "// agent\n{\"response\":{\"data\":{\"M\":[{\"@name\":1,\"error\":0}]}}}",
                  {{"M", 1}}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ParseResponse, ReadsNamesErrorsAndOutputs)
{
    const IntegrationResponse response = ParseResponse(R"({"response":{"data":{"M":[
        {"@name":"a","error":0,"output":null},
        {"@name":7,"error":4294967295,"output":{"x":1}},
        {"@name":"a","error":5}]}}})");
    ASSERT_EQ(response.modules.size(), 1u);
    const auto& results = response.modules[0].results;
    ASSERT_EQ(results.size(), 3u);
    EXPECT_TRUE(results[0].output.isNull());
    EXPECT_EQ(results[1].name.view(), "7");
    EXPECT_EQ(results[1].error, ResultCode(-1));
    EXPECT_EQ(results[1].output["x"].asInt(), 1);

    // A null output is still found; the first of two equal names wins.
    const ResponseMethod* found = FindMethod(response, "M", "a");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, &results[0]);
    EXPECT_EQ(FindMethod(response, "m", "a"), nullptr);  // case-sensitive
    EXPECT_EQ(FindMethod(response, "M", "A"), nullptr);
    EXPECT_EQ(FindMethod(response, "M", "b"), nullptr);
}

TEST(SendThroughAStoppedConnection, NeverReachesTheLibrary)
{
    AgentFixture agent;
    cv::tesdk::IntegrationEx connection;
    cv::tesdk::SdkLoadOptions options;
    options.requireSignedLibrary = true;
    ASSERT_EQ(connection.Initialize(AgentFixture::LibraryPath(), options), result::Success);
    connection.Shutdown();
    IntegrationResponse response;
    response.modules.emplace_back();
    EXPECT_EQ(Send(connection, BuildRequest("Product", "GetStatus"), response, 5000), result::NoConnection);
    EXPECT_EQ(response.modules.size(), 1u);  // left untouched
    EXPECT_EQ(PostRequest(connection, BuildRequest("FileScan.OnDemand", "RunScanTask"), "id"), result::NoConnection);
    EXPECT_TRUE(agent.LogEntries("request").empty());
}

// The receiver, fed directly through its callback slots.
class ReceiverTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(receiver.Start("req-1", cv::StringW(L"Task-1")), result::Success); }

    bool IsSet(int which) const { return WaitForSingleObject(receiver.ArrivalEvents()[which], 0) == WAIT_OBJECT_0; }

    AgentFixture agent;
    IntegrationNotificationReceiver receiver;
};

TEST_F(ReceiverTest, MatchesThePolicyEventByTaskIdentifier)
{
    const char* ignored[] = {
        R"({"taskid":"Task-2"})",
        R"({"taskid":"task-1"})",
        R"({"taskId":"Task-1"})",
        R"({"taskid":["Task-1"]})",
        "not json",
    };
    for (const char* data : ignored)
        receiver.OnNotification("FileScan.OnDemand.ScanLog.Policy", data);
    receiver.OnNotification("FileScan.OnDemand.ScanLog.Other", R"({"taskid":"Task-1"})");
    EXPECT_FALSE(IsSet(IntegrationNotificationReceiver::PolicyArrived));

    receiver.OnNotification("FileScan.OnDemand.ScanLog.Policy", R"({"taskid":"Task-1","runstatus":0})");
    EXPECT_TRUE(IsSet(IntegrationNotificationReceiver::PolicyArrived));
    EXPECT_FALSE(IsSet(IntegrationNotificationReceiver::ResponseArrived));
    EXPECT_EQ(receiver.PolicyText(), R"({"taskid":"Task-1","runstatus":0})");
}

TEST_F(ReceiverTest, NumericTaskIdentifierMatchesItsDecimalText)
{
    IntegrationNotificationReceiver numeric;
    ASSERT_EQ(numeric.Start("r", cv::StringW(L"42")), result::Success);
    numeric.OnNotification("FileScan.OnDemand.ScanLog.Policy", R"({"taskid":42})");
    EXPECT_EQ(WaitForSingleObject(numeric.ArrivalEvents()[0], 0), WAIT_OBJECT_0);
}

TEST_F(ReceiverTest, AResponseAloneLeavesAWaitForBothWaiting)
{
    receiver.OnResponse("req-2", result::Success, "other");
    receiver.OnResponse("req-10", result::Success, "other");
    EXPECT_FALSE(IsSet(IntegrationNotificationReceiver::ResponseArrived));
    receiver.OnResponse("req-1", ResultCode(1359), "answer");
    EXPECT_TRUE(IsSet(IntegrationNotificationReceiver::ResponseArrived));
    EXPECT_EQ(receiver.ResponseResult(), ResultCode(1359));
    EXPECT_EQ(receiver.ResponseText(), "answer");
    EXPECT_EQ(WaitForMultipleObjects(2, receiver.ArrivalEvents(), TRUE, 50), static_cast<DWORD>(WAIT_TIMEOUT));

    receiver.ResetArrivals();
    EXPECT_FALSE(IsSet(IntegrationNotificationReceiver::ResponseArrived));
}

TEST_F(ReceiverTest, ArrivalsThroughTheLibraryReachTheReceiver)
{
    agent.SetScript(R"({"answers": {"FileScan.OnDemand/RunScanTask": {"output": {"scanSummary": {}},
        "delay_ms": 50,
        "notifications": [{"name": "FileScan.OnDemand.ScanLog.Policy",
                           "data": {"taskid": "${input:customScanTask/taskId}"}, "delay_ms": 100}]}}})");
    // A fresh connection picks up the script.
    receiver.Shutdown();
    ASSERT_EQ(receiver.Start("req-1", cv::StringW(L"Task-1")), result::Success);
    cv::tesdk::IntegrationEx sender;
    cv::tesdk::SdkLoadOptions options;
    ASSERT_EQ(sender.Initialize(AgentFixture::LibraryPath(), options), result::Success);
    Json::Value params;
    params["customScanTask"]["taskId"] = "Task-1";
    const IntegrationRequest request = BuildRequest("FileScan.OnDemand", "RunScanTask", params);
    ASSERT_EQ(PostRequest(sender, request, "req-1"), result::Success);
    ASSERT_EQ(WaitForMultipleObjects(2, receiver.ArrivalEvents(), TRUE, 10000), WAIT_OBJECT_0);
    const IntegrationResponse response = ParseResponse(receiver.ResponseText());
    EXPECT_NE(FindMethod(response, "FileScan.OnDemand", "RunScanTask"), nullptr);
}

}  // namespace

// The session time limit argument and the "StartSession" request.
#include "commands/support/session_start_request.h"
#include "integration/integration_session.h"
#include "json/json_document.h"

#include <gtest/gtest.h>

namespace {

Json::Value Parse(const std::string& text)
{
    Json::Value value;
    EXPECT_TRUE(ParseJsonDocument(text, value)) << text;
    return value;
}

// The parameters as the agent reads them back from the request document.
Json::Value SentInput(const IntegrationRequest& request)
{
    return Parse(WriteRequestDocument(request))["data"]["Product.Support"][0]["input"];
}

TEST(SessionTimeLimitTest, RejectedValues)
{
    for (const char* hours : {"0", "-1", "1h", "+5", "", " 1", "1 ", "596524", "2147483648", "99999999999999999999"}) {
        int64_t seconds = 77;
        EXPECT_FALSE(ParseSessionTimeLimit(hours, seconds)) << '"' << hours << '"';
        EXPECT_EQ(seconds, 77);
    }
}

TEST(SessionTimeLimitTest, HoursBecomeSeconds)
{
    const std::pair<const char*, int64_t> cases[] = {{"1", 3600}, {"001", 3600}, {"240", 864000},
                                                     {"596523", 2147482800}};
    for (const auto& [hours, expected] : cases) {
        int64_t seconds = 0;
        EXPECT_TRUE(ParseSessionTimeLimit(hours, seconds)) << hours;
        EXPECT_EQ(seconds, expected) << hours;
    }
    EXPECT_EQ(DefaultSessionTimeLimitSeconds, 864000);
}

TEST(StartSessionRequestTest, TroubleshootingSessionDocument)
{
    IntegrationRequest request;
    ASSERT_TRUE(BuildStartSessionRequest({"network", "scan"}, {LocalDeliveryTarget("C:\\out dir")}, 3600, request));
    EXPECT_EQ(Parse(WriteRequestDocument(request))["data"]["Product.Support"][0]["@name"], "StartSession");
    EXPECT_EQ(SentInput(request), Parse(R"({
        "scenarios": ["network", "scan"],
        "deliverTo": [{"type": "local", "folder": "C:\\out dir"}],
        "troubleshoot": {"stopWhen": {"timeExceeds": 3600}}})"));
}

TEST(StartSessionRequestTest, CollectionWithoutScenariosOrLimit)
{
    IntegrationRequest request;
    ASSERT_TRUE(BuildStartSessionRequest({}, {LocalDeliveryTarget("")}, std::nullopt, request));
    EXPECT_EQ(SentInput(request), Parse(R"({"scenarios": [], "deliverTo": [{"type": "local", "folder": ""}]})"));
}

TEST(StartSessionRequestTest, UnwritableTargetFailsTheRequest)
{
    DeliveryTarget bad = LocalDeliveryTarget("C:\\out");
    bad.type = static_cast<DeliveryType>(7);
    IntegrationRequest request;
    EXPECT_FALSE(BuildStartSessionRequest({"a"}, {bad}, 3600, request));
}

TEST(StartSessionRequestTest, TextIsSentAsUtf8)
{
    IntegrationRequest request;
    ASSERT_TRUE(BuildStartSessionRequest({"r\xC3\xA9seau"}, {LocalDeliveryTarget("C:\\d\xC3\xA9p\xC3\xB4t")}, 3600,
                                         request));
    const Json::Value input = SentInput(request);
    EXPECT_EQ(input["scenarios"][0].asString(), "r\xC3\xA9seau");
    EXPECT_EQ(input["deliverTo"][0]["folder"].asString(), "C:\\d\xC3\xA9p\xC3\xB4t");
}

}  // namespace

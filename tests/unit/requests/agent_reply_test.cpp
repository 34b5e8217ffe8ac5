#include "integration/agent_request.h"
#include "integration/integration_session.h"

#include <gtest/gtest.h>

namespace {

MethodAnswer Answered(int32_t error)
{
    MethodAnswer answer;
    answer.answered = true;
    answer.error = error;
    return answer;
}

}  // namespace

TEST(AgentReply, CodesOfTheUsualReading)
{
    struct Case {
        const char* what;
        int32_t status;
        std::vector<MethodAnswer> methods;
        int32_t code;
        int32_t methodCode;
    };
    const Case cases[] = {
        {"answered", 0, {Answered(0)}, 0, 0},
        {"the method's own code", 0, {Answered(-1056)}, 0, -1056},
        {"the send failed", 1460, {}, 1460, 1460},
        {"a send failure the library hands out as a large unsigned", ResultCode::FromWindows(0x80004005u), {},
         static_cast<int32_t>(0x80004005u), static_cast<int32_t>(0x80004005u)},
        {"the answer lacks the method", 0, {MethodAnswer{}}, 1627, 1627},
        {"the answer lacks the second method", 0, {Answered(4), MethodAnswer{}}, 1627, 1627},
        {"two methods answered", 0, {Answered(4), Answered(0)}, 0, 4},
        {"no method at all", 0, {}, 1627, 1627},
    };
    for (const Case& c : cases) {
        AgentReply reply;
        reply.status = c.status;
        reply.methods = c.methods;
        EXPECT_EQ(reply.Code(), c.code) << c.what;
        EXPECT_EQ(reply.MethodCode(), c.methodCode) << c.what;
    }
}

TEST(AgentReply, ReadsEachMethodOfTheRequestUnderItsOwnNames)
{
    IntegrationRequest request = BuildRequest("Scan.Module", "First");
    RequestMethod second;
    second.name = cv::StringW(L"Second");
    request.modules.front().methods.push_back(second);

    // The second method's answer comes first and an unasked one is ignored.
    const AgentReply reply = ReadAgentReply(request, ParseResponse(R"({"response":{"data":{
        "Scan.Module":[{"@name":"Other","error":9},{"@name":"Second","error":4},
                       {"@name":"First","error":0,"output":{"n":1}}]}}})"));
    ASSERT_EQ(reply.methods.size(), 2u);
    EXPECT_TRUE(reply.methods[0].answered);
    EXPECT_EQ(reply.methods[0].output["n"], 1);
    EXPECT_TRUE(reply.methods[1].answered);
    EXPECT_EQ(reply.methods[1].error, 4);
    EXPECT_EQ(reply.MethodCode(), 0);

    const AgentReply missing = ReadAgentReply(request, ParseResponse(R"({"response":{"data":{
        "Scan.Module":[{"@name":"First","error":0}]}}})"));
    ASSERT_EQ(missing.methods.size(), 2u);
    EXPECT_FALSE(missing.methods[1].answered);
    EXPECT_EQ(missing.Code(), 1627);
}

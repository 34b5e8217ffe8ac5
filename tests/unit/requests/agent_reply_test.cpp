#include "result_code_printer.h"

#include "integration/agent_request.h"
#include "integration/integration_session.h"

#include <gtest/gtest.h>

namespace {

MethodAnswer Answered(ResultCode error)
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
        ResultCode status;
        std::vector<MethodAnswer> methods;
        ResultCode code;
        ResultCode methodCode;
    };
    const ResultCode ok = result::Success, failed = result::CommandFailed, busy{-1056}, four{4};
    const ResultCode large = ResultCode::FromWindows(0x80004005u);
    const Case cases[] = {
        {"answered", ok, {Answered(ok)}, ok, ok},
        {"the method's own code", ok, {Answered(busy)}, ok, busy},
        {"the send failed", result::ResponseTimeout, {}, result::ResponseTimeout, result::ResponseTimeout},
        {"a send failure the library hands out as a large unsigned", large, {}, large, large},
        {"the answer lacks the method", ok, {MethodAnswer{}}, failed, failed},
        {"the answer lacks the second method", ok, {Answered(four), MethodAnswer{}}, failed, failed},
        {"two methods answered", ok, {Answered(four), Answered(ok)}, ok, four},
        {"no method at all", ok, {}, failed, failed},
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
    const IntegrationRequest request = BuildRequest("Scan.Module", {{"First"}, {"Second"}});

    // The second method's answer comes first and an unasked one is ignored.
    const AgentReply reply = ReadAgentReply(request, ParseResponse(R"({"response":{"data":{
        "Scan.Module":[{"@name":"Other","error":9},{"@name":"Second","error":4},
                       {"@name":"First","error":0,"output":{"n":1}}]}}})"));
    ASSERT_EQ(reply.methods.size(), 2u);
    EXPECT_TRUE(reply.methods[0].answered);
    EXPECT_EQ(reply.methods[0].output["n"], 1);
    EXPECT_TRUE(reply.methods[1].answered);
    EXPECT_EQ(reply.methods[1].error, ResultCode(4));
    EXPECT_EQ(reply.MethodCode(), result::Success);

    const AgentReply missing = ReadAgentReply(request, ParseResponse(R"({"response":{"data":{
        "Scan.Module":[{"@name":"First","error":0}]}}})"));
    ASSERT_EQ(missing.methods.size(), 2u);
    EXPECT_FALSE(missing.methods[1].answered);
    EXPECT_EQ(missing.Code(), result::CommandFailed);
}

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
        ResultCode methodCode;
        size_t failed;  // once the send succeeded
    };
    const ResultCode ok = result::Success, failed = result::CommandFailed, busy{-1056}, four{4};
    const ResultCode large = ResultCode::FromWindows(0x80004005u);
    const size_t all = AgentReply::AllAnswered;
    const Case cases[] = {
        {"answered", ok, {Answered(ok)}, ok, all},
        {"the method's own code", ok, {Answered(busy)}, busy, 0},
        {"the send failed", result::ResponseTimeout, {}, result::ResponseTimeout, 0},
        {"a send failure the library hands out as a large unsigned", large, {}, large, 0},
        {"the answer lacks the method", ok, {MethodAnswer{}}, failed, 0},
        {"a missing answer comes before a code", ok, {Answered(four), MethodAnswer{}}, failed, 1},
        {"the first method's code", ok, {Answered(four), Answered(ok)}, four, 0},
        {"the second method's code", ok, {Answered(ok), Answered(busy)}, busy, 1},
        {"the first of two codes", ok, {Answered(busy), Answered(four)}, busy, 0},
        {"no method at all", ok, {}, failed, 0},
    };
    for (const Case& c : cases) {
        AgentReply reply;
        reply.status = c.status;
        reply.methods = c.methods;
        EXPECT_EQ(reply.MethodCode(), c.methodCode) << c.what;
        if (c.status == ok) {
            EXPECT_EQ(reply.FailedMethod(), c.failed) << c.what;
        }
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
    EXPECT_EQ(reply.MethodCode(), ResultCode(4));  // the asked method's own code, not the unasked one's

    const AgentReply missing = ReadAgentReply(request, ParseResponse(R"({"response":{"data":{
        "Scan.Module":[{"@name":"First","error":0}]}}})"));
    ASSERT_EQ(missing.methods.size(), 2u);
    EXPECT_FALSE(missing.methods[1].answered);
    EXPECT_EQ(missing.MethodCode(), result::CommandFailed);
}

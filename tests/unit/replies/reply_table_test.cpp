// The reading of a reply by a family's table, with a table of its own that
// holds every kind of rule: what is printed and returned for which command.
#include "captured_output.h"
#include "result_code_printer.h"

#include "commands/reply_table.h"
#include "integration/integration_session.h"
#include "json/json_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr CommandSet First = 1u << 0;
constexpr CommandSet Second = 1u << 1;
constexpr CommandSet Neither = 1u << 2;

// Shows what an explanation gets to read.
void EchoContext(const ReplyContext& context)
{
    std::string param, output;
    static_cast<void>(GetUtf8String(param, context.params, "p"));
    static_cast<void>(GetUtf8String(output, context.answer.output, "o"));
    std::wcout << L"param " << param.c_str() << L", output " << output.c_str() << L"\n";
}

constexpr ReplyRule Rules[] = {
    {First, OnNoAnswer, Says(L"first: no answer"), KeepsCode},
    NeedsElevation(First | Second),
    {First, OnCode(ResultCode(-5)), Explains(&EchoContext), KeepsCode},
    {Second, OnCode(ResultCode(-5)), Says(L"second: -5"), KeepsCode},
    {Second, OnAnyCode, PrintsNothing, Gives(result::InvalidState)},
    {First | Second, OnCode(ResultCode(-5)), Says(L"never: an earlier rule holds"), KeepsCode},
};
constexpr ReplyTable Table(Rules);

MethodAnswer Answered(int32_t code, const char* output = nullptr)
{
    MethodAnswer answer;
    answer.answered = true;
    answer.error = ResultCode(code);
    if (output != nullptr)
        answer.output["o"] = output;
    return answer;
}

Json::Value Params(const char* value)
{
    Json::Value params(Json::objectValue);
    params["p"] = value;
    return params;
}

struct Case {
    const char* what;
    CommandSet command;
    ResultCode status;
    std::vector<MethodAnswer> methods;
    int32_t result;
    const wchar_t* printed;
};

TEST(ReplyTable, FirstRuleThatHoldsForTheCommandAndTheFailedMethod)
{
    // Two methods, so that the failed one is found among them.
    const IntegrationRequest request = BuildRequest("M", {{"a", Params("pa")}, {"b", Params("pb")}});
    const MethodAnswer none;
    const Case cases[] = {
        {"all answered 0", First, result::Success, {Answered(0), Answered(0)}, 0, L""},
        {"a failed send is told by nobody", First, result::ResponseTimeout, {}, 1460, L""},
        {"a failed send, whatever the table says", Second, ResultCode::FromWindows(0x80004005u), {},
         static_cast<int32_t>(0x80004005u), L""},
        {"no answer with a rule", First, result::Success, {Answered(0), none}, 1627, L"first: no answer\n"},
        {"no answer without one", Second, result::Success, {none, Answered(0)}, 1627, L""},
        {"no answer comes before a code", First, result::Success, {Answered(288), none}, 1627,
         L"first: no answer\n"},
        {"a rule of both commands", First, result::Success, {Answered(288), Answered(0)}, 740,
         L"Administrative privileges are required!\n"},
        {"the same rule for the other", Second, result::Success, {Answered(0), Answered(288)}, 740,
         L"Administrative privileges are required!\n"},
        {"an explanation reads the failed method", First, result::Success, {Answered(0), Answered(-5, "ob")}, -5,
         L"param pb, output ob\n"},
        {"a code each command explains its own way", Second, result::Success, {Answered(-5), Answered(0)}, -5,
         L"second: -5\n"},
        {"a code no rule names comes back", First, result::Success, {Answered(7), Answered(0)}, 7, L""},
        {"any code, another result", Second, result::Success, {Answered(0), Answered(7)}, 5023, L""},
        {"the first of two codes decides", Second, result::Success, {Answered(-5), Answered(288)}, -5,
         L"second: -5\n"},
        {"a command no rule holds for", Neither, result::Success, {Answered(288), Answered(0)}, 288, L""},
    };
    for (const Case& c : cases) {
        AgentReply reply;
        reply.status = c.status;
        reply.methods = c.methods;
        CapturedOutput captured;
        EXPECT_EQ(Table.Read(request, reply, c.command), ResultCode(c.result)) << c.what;
        EXPECT_EQ(captured.Text(), c.printed) << c.what;
    }
}

TEST(ReplyTable, AReplyWithoutMethodsLacksItsAnswer)
{
    AgentReply reply;
    CapturedOutput captured;
    EXPECT_EQ(Table.Read(BuildRequest("M", std::vector<RequestMethod>{}), reply, First), result::CommandFailed);
    EXPECT_EQ(captured.Text(), L"first: no answer\n");
}

}  // namespace

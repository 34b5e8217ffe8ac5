#include "commands/reply_table.h"

#include "console/command_output.h"

namespace {

const MethodAnswer& NoAnswerAtAll()
{
    static const MethodAnswer none;
    return none;
}

const Json::Value& ParamsOf(const IntegrationRequest& request, size_t method)
{
    static const Json::Value none;
    if (request.modules.empty() || method >= request.modules.front().methods.size())
        return none;
    return request.modules.front().methods[method].params;
}

bool Holds(const ReplyCase& holds, bool answered, ResultCode code)
{
    switch (holds.kind) {
    case ReplyCase::NoAnswer:
        return !answered;
    case ReplyCase::AnyCode:
        return answered;
    case ReplyCase::Code:
        return answered && code == holds.code;
    }
    return false;
}

void Print(const ReplyText& text, const ReplyContext& context)
{
    if (text.line != nullptr)
        Explain(text.line);
    if (text.explain != nullptr)
        text.explain(context);
}

}  // namespace

ResultCode ReplyTable::Read(const IntegrationRequest& request, const AgentReply& reply, CommandSet command) const
{
    const ResultCode code = reply.MethodCode();
    if (reply.status != result::Success || code == result::Success)
        return code;
    const size_t failed = reply.FailedMethod();
    const bool answered = reply.IsAnswered(failed);
    const MethodAnswer& answer = failed < reply.methods.size() ? reply.methods[failed] : NoAnswerAtAll();
    for (const ReplyRule* rule = rules_; rule != rules_ + count_; ++rule) {
        if ((rule->commands & command) == 0 || !Holds(rule->answer, answered, answer.error))
            continue;
        Print(rule->prints, {ParamsOf(request, failed), answer});
        return rule->gives.keepsCode ? code : rule->gives.code;
    }
    return code;
}

CommandReply ReplyTable::Ask(cv::tesdk::Integration& connection, CommandSet command, const IntegrationRequest& request,
                             uint32_t timeoutMs) const
{
    CommandReply asked{result::Success, AskAgent(connection, request, timeoutMs)};
    asked.result = Read(request, asked.reply, command);
    return asked;
}

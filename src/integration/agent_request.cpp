#include "integration/agent_request.h"

size_t AgentReply::FailedMethod() const
{
    if (methods.empty())
        return 0;
    for (size_t index = 0; index < methods.size(); ++index) {
        if (!methods[index].answered)
            return index;
    }
    for (size_t index = 0; index < methods.size(); ++index) {
        if (methods[index].error != result::Success)
            return index;
    }
    return AllAnswered;
}

ResultCode AgentReply::MethodCode() const
{
    if (status != result::Success)
        return status;
    const size_t failed = FailedMethod();
    if (failed == AllAnswered)
        return result::Success;
    return IsAnswered(failed) ? methods[failed].error : result::CommandFailed;
}

AgentReply ReadAgentReply(const IntegrationRequest& request, const IntegrationResponse& response)
{
    AgentReply reply;
    if (request.modules.empty())
        return reply;
    const RequestModule& module = request.modules.front();
    for (const RequestMethod& method : module.methods) {
        MethodAnswer answer;
        if (const ResponseMethod* found = FindMethod(response, module.name.view(), method.name.view())) {
            answer.answered = true;
            answer.error = found->error;
            answer.output = found->output;
        }
        reply.methods.push_back(std::move(answer));
    }
    return reply;
}

AgentReply AskAgent(cv::tesdk::Integration& connection, const IntegrationRequest& request, uint32_t timeoutMs)
{
    IntegrationResponse response;
    const ResultCode status = Send(connection, request, response, timeoutMs);
    if (status != result::Success) {
        AgentReply failed;
        failed.status = status;
        return failed;
    }
    return ReadAgentReply(request, response);
}

#include "integration/agent_request.h"

ResultCode AgentReply::Code() const
{
    if (status != result::Success)
        return status;
    if (methods.empty())
        return result::CommandFailed;
    for (const MethodAnswer& method : methods) {
        if (!method.answered)
            return result::CommandFailed;
    }
    return result::Success;
}

ResultCode AgentReply::MethodCode() const
{
    const ResultCode code = Code();
    return code != result::Success ? code : Answer().error;
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

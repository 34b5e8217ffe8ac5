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
    return code != result::Success ? code : ResultCode(Answer().error);
}

AgentReply AskAgent(cv::tesdk::Integration& connection, const IntegrationRequest& request, uint32_t timeoutMs)
{
    AgentReply reply;
    IntegrationResponse response;
    reply.status = ResultCode::FromWindows(Send(connection, request, response, timeoutMs));
    if (reply.status != result::Success || request.modules.empty())
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

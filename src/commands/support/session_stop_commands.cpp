#include "commands/support/session_stop_commands.h"

#include "commands/support/support_wait_plans.h"
#include "base/result_codes.h"
#include "integration/integration_session.h"
#include "integration/tesdk_runner.h"
#include "base/text_conversion.h"

#include <utility>

namespace {

constexpr uint32_t AbortResponseLimitMs = 900000;
constexpr uint32_t EndResponseLimitMs = 30000;

SessionStopCommand::Setup AbortSetup()
{
    return {"AbortSession", AbortResponseLimitMs, support_wait_plans::Abort, &AbortHandler,
            {{ResultCode(-5023), L"There is no support session in progress."},
             {ResultCode(-1056), L"An abort operation is already in progress. Please wait until it is finished."}}};
}

SessionStopCommand::Setup ForceAbortSetup()
{
    return {"ForceAbortSession", AbortResponseLimitMs, support_wait_plans::Abort, &ForceAbortHandler,
            {{ResultCode(-5023), L"Session in invalid state, session not in cancelling nor forceCancelling state."},
             {ResultCode(-170), L"The force cancel command minimal time did not elapsed from the last abort/forceAbort command."},
             {result::NoConnection, L"There is no connection with Tessaro Services."}}};
}

SessionStopCommand::Setup EndSetup()
{
    return {"EndTroubleshoot", EndResponseLimitMs, support_wait_plans::EndSession, &SessionEndedHandler,
            {{ResultCode(-1168), L"There is no support session in progress."}}};
}

}  // namespace

SessionStopCommand::SessionStopCommand(TesdkRunner* runner, const Setup& setup, WaitSleeper sleeper)
    : WaitingSupportCommand(runner, setup.plan, setup.handler, std::move(sleeper)),
      method_(setup.method),
      responseLimitMs_(setup.responseLimitMs),
      explained_(setup.explained)
{
}

ResultCode SessionStopCommand::Execute(const ArgumentTokens&)
{
    BeginRun();
    if (const ResultCode opened = OpenListeningConnection(); opened != result::Success)
        return opened;
    const AgentReply reply = AskAgent(*Runner(), BuildRequest("Product.Support", method_), responseLimitMs_);
    if (const ResultCode asked = reply.Code(); asked != result::Success)
        return asked;
    const ResultCode code = reply.Answer().error;
    if (code == result::Success)
        return Wait();
    return ExplainAgentCode(code, explained_);
}

CommandAbortSession::CommandAbortSession(TesdkRunner* runner, WaitSleeper sleeper)
    : SessionStopCommand(runner, AbortSetup(), std::move(sleeper))
{
}

CommandForceAbortSession::CommandForceAbortSession(TesdkRunner* runner, WaitSleeper sleeper)
    : SessionStopCommand(runner, ForceAbortSetup(), std::move(sleeper))
{
}

CommandEndSession::CommandEndSession(TesdkRunner* runner, WaitSleeper sleeper)
    : SessionStopCommand(runner, EndSetup(), std::move(sleeper))
{
}

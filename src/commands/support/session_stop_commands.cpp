#include "commands/support/session_stop_commands.h"

#include "commands/support/support_replies.h"
#include "commands/support/support_wait_plans.h"
#include "base/result_codes.h"
#include "integration/integration_session.h"

#include <utility>

namespace {

constexpr uint32_t AbortResponseLimitMs = 900000;
constexpr uint32_t EndResponseLimitMs = 30000;

constexpr SessionStopCommand::Setup AbortSetup = {support_command::AbortSession, "AbortSession",
                                                  AbortResponseLimitMs, support_wait_plans::Abort, &AbortHandler};
constexpr SessionStopCommand::Setup ForceAbortSetup = {support_command::ForceAbortSession, "ForceAbortSession",
                                                       AbortResponseLimitMs, support_wait_plans::Abort,
                                                       &ForceAbortHandler};
constexpr SessionStopCommand::Setup EndSetup = {support_command::EndSession, "EndTroubleshoot", EndResponseLimitMs,
                                                support_wait_plans::EndSession, &SessionEndedHandler};

}  // namespace

SessionStopCommand::SessionStopCommand(TesdkRunner* runner, const Setup& setup, WaitSleeper sleeper)
    : WaitingSupportCommand(runner, setup.command, setup.plan, setup.handler, std::move(sleeper)),
      method_(setup.method),
      responseLimitMs_(setup.responseLimitMs)
{
}

ResultCode SessionStopCommand::Execute(const ArgumentTokens&)
{
    BeginRun();
    if (const ResultCode opened = OpenListeningConnection(); opened != result::Success)
        return opened;
    return AskThenWait(BuildRequest(SupportModule, method_), responseLimitMs_);
}

CommandAbortSession::CommandAbortSession(TesdkRunner* runner, WaitSleeper sleeper)
    : SessionStopCommand(runner, AbortSetup, std::move(sleeper))
{
}

CommandForceAbortSession::CommandForceAbortSession(TesdkRunner* runner, WaitSleeper sleeper)
    : SessionStopCommand(runner, ForceAbortSetup, std::move(sleeper))
{
}

CommandEndSession::CommandEndSession(TesdkRunner* runner, WaitSleeper sleeper)
    : SessionStopCommand(runner, EndSetup, std::move(sleeper))
{
}

#include "commands/support/waiting_support_command.h"

#include "base/result_codes.h"
#include "commands/support/support_replies.h"
#include "commands/support/support_state.h"
#include "console/command_output.h"
#include "integration/tesdk_runner.h"

#include <utility>

WaitingSupportCommand::WaitingSupportCommand(TesdkRunner* runner, CommandSet command, const SupportWaitPlan& plan,
                                             SupportNotificationHandler handler, WaitSleeper sleeper)
    : CommandBase(runner), command_(command), plan_(plan), handler_(handler), sleeper_(std::move(sleeper))
{
}

WaitingSupportCommand::~WaitingSupportCommand() { Shutdown(); }

bool WaitingSupportCommand::Cancel()
{
    // The wait itself says in its data that it was interrupted.
    CommandOutput().Text(L"The wait was interrupted. Exiting...\n");
    flags_.interrupted.exchange(true);
    return true;
}

void WaitingSupportCommand::OnNotification(std::string_view name, std::string_view data)
{
    handler_(flags_, name, data);
}

ResultCode WaitingSupportCommand::OpenListeningConnection()
{
    const std::string path = Runner()->LibraryPath();
    const cv::tesdk::SdkLoadOptions options = Runner()->Options();
    if (Initialize(path, options) == result::Success)
        return result::Success;
    Explain(L"Failed to initialize integration module.");
    return result::CommandFailed;
}

ResultCode WaitingSupportCommand::AskThenWait(const IntegrationRequest& request, uint32_t responseLimitMs)
{
    const ResultCode asked = SupportReplies.Ask(*Runner(), command_, request, responseLimitMs).result;
    return asked == result::Success ? Wait() : asked;
}

ResultCode WaitingSupportCommand::Wait()
{
    TesdkRunner* runner = Runner();
    return WaitForSupportOperation(plan_, flags_, sleeper_,
                                   [runner](std::wstring_view state) { return IsSupportState(*runner, state); });
}

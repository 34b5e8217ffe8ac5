#include "commands/support/waiting_support_command.h"

#include "base/result_codes.h"
#include "console/command_output.h"
#include "integration/integration_session.h"
#include "integration/tesdk_runner.h"

#include <utility>

namespace {
constexpr int32_t AgentNeedsElevation = 288;
}  // namespace

int ExplainAgentCode(int32_t code, const std::vector<AgentCodeMessage>& known)
{
    if (code == AgentNeedsElevation) {
        Explain(L"Administrative privileges are required!");
        return result::ElevationRequired;
    }
    for (const AgentCodeMessage& entry : known) {
        if (entry.code == code) {
            Explain(entry.message);
            break;
        }
    }
    return code;
}

WaitingSupportCommand::WaitingSupportCommand(TesdkRunner* runner, const SupportWaitPlan& plan,
                                             SupportNotificationHandler handler, WaitSleeper sleeper)
    : CommandBase(runner), plan_(plan), handler_(handler), sleeper_(std::move(sleeper))
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

int WaitingSupportCommand::OpenListeningConnection()
{
    const std::string path = Runner()->LibraryPath();
    const cv::tesdk::SdkLoadOptions options = Runner()->Options();
    if (Initialize(path, options) == 0)
        return result::Success;
    Explain(L"Failed to initialize integration module.");
    return result::CommandFailed;
}

int WaitingSupportCommand::Wait()
{
    TesdkRunner* runner = Runner();
    return WaitForSupportOperation(plan_, flags_, sleeper_,
                                   [runner](std::wstring_view state) { return IsSupportState(*runner, state); });
}

#include "commands/support/waiting_support_command.h"

#include "base/console_output.h"
#include "base/result_codes.h"
#include "integration/integration_session.h"
#include "integration/tesdk_runner.h"

#include <utility>

namespace {
constexpr ResultCode AgentNeedsElevation{288};
}  // namespace

ResultCode ExplainAgentCode(ResultCode code, const std::vector<AgentCodeMessage>& known)
{
    if (code == AgentNeedsElevation) {
        console::WriteLine(L"Administrative privileges are required!");
        return result::ElevationRequired;
    }
    for (const AgentCodeMessage& entry : known) {
        if (entry.code == code) {
            console::WriteLine(entry.message);
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
    console::WriteLine(L"The wait was interrupted. Exiting...");
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
    console::WriteLine(L"Failed to initialize integration module.");
    return result::CommandFailed;
}

ResultCode WaitingSupportCommand::Wait()
{
    TesdkRunner* runner = Runner();
    return WaitForSupportOperation(plan_, flags_, sleeper_,
                                   [runner](std::wstring_view state) { return IsSupportState(*runner, state); });
}

#pragma once
// The base of the five support commands that wait for the support module to
// finish what they asked for. Each is also an agent connection of its own,
// opened at every run only to hear the module's events; requests go through
// the shared runner.
#include "commands/reply_table.h"
#include "commands/support/support_notifications.h"
#include "commands/support/support_wait.h"
#include "console/command.h"
#include "integration/integration_ex.h"
#include "boundary/integration_types.h"

#include <cstdint>

class WaitingSupportCommand : public CommandBase, public cv::tesdk::IntegrationEx {
public:
    // `command`: its bit in the support family's reply table.
    WaitingSupportCommand(TesdkRunner* runner, CommandSet command, const SupportWaitPlan& plan,
                          SupportNotificationHandler handler, WaitSleeper sleeper);
    // Closes the own connection before anything of the command goes away.
    ~WaitingSupportCommand() override;

    // Prints "The wait was interrupted. Exiting..." and ends the wait within a step.
    bool Cancel() final;
    // The command's handler; the reload on a library update is the runner's alone.
    void OnNotification(std::string_view name, std::string_view data) final;

protected:
    // Lowers the three flags; the first thing of every run.
    void BeginRun() { flags_.Clear(); }
    // Opens the own connection like the runner's. 0, or 1627 after printing
    // "Failed to initialize integration module.".
    ResultCode OpenListeningConnection();
    // Sends `request` through the runner and, once the module has taken it,
    // waits; otherwise the result the family's table gives its answer.
    ResultCode AskThenWait(const IntegrationRequest& request, uint32_t responseLimitMs);

private:
    // The plan's wait, polling the support state through the runner.
    ResultCode Wait();

    SupportWaitFlags flags_;
    const CommandSet command_;
    const SupportWaitPlan plan_;
    const SupportNotificationHandler handler_;
    const WaitSleeper sleeper_;
};

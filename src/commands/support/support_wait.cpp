#include "commands/support/support_wait.h"

#include "base/result_codes.h"
#include "console/command_output.h"

void SleepWaitStep(DWORD milliseconds) { Sleep(milliseconds); }

ResultCode WaitForSupportOperation(const SupportWaitPlan& plan, SupportWaitFlags& flags, const WaitSleeper& sleep,
                            const SupportStatePoll& poll)
{
    ICommandOutput& output = CommandOutput();
    output.Text(L"Waiting for operation to complete...\n");
    if (plan.clearCompleted)
        flags.completed.exchange(false);
    flags.waiting.exchange(true);

    // The counter counts the steps slept, from 1; time spent polling is not counted.
    unsigned counter = 1;
    bool polledEnd = false;
    while (!flags.interrupted.load() && !flags.completed.load() && !polledEnd) {
        if (counter > plan.limitSeconds)
            break;
        sleep(support_wait::StepMs);
        ++counter;
        if (counter % plan.pollIntervalSeconds == 0 && poll(plan.pollState)) {
            Show(std::wstring(plan.pollSuccessText) + L"\n", "status", plan.pollSuccessStatus);
            polledEnd = true;
        }
    }
    flags.waiting.exchange(false);
    if (counter <= plan.limitSeconds) {
        // The agent goes on with what it was asked, whichever way the wait ended.
        output.Data("wait", polledEnd || flags.completed.load() ? "completed" : "interrupted");
        return result::Success;
    }
    output.Data("wait", "timedOut");
    Explain(plan.timeLimitMessage);
    return result::ResponseTimeout;
}

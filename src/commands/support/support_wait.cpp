#include "commands/support/support_wait.h"

#include "base/console_output.h"
#include "base/result_codes.h"

void SleepWaitStep(DWORD milliseconds) { Sleep(milliseconds); }

ResultCode WaitForSupportOperation(const SupportWaitPlan& plan, SupportWaitFlags& flags, const WaitSleeper& sleep,
                            const SupportStatePoll& poll)
{
    console::WriteLine(L"Waiting for operation to complete...");
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
            console::WriteLine(plan.pollSuccessText);
            polledEnd = true;
        }
    }
    flags.waiting.exchange(false);
    if (counter <= plan.limitSeconds)
        return result::Success;
    console::WriteLine(plan.timeLimitMessage);
    return result::ResponseTimeout;
}

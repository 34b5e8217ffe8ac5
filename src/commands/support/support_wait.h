#pragma once
// The wait of the waiting support commands: one-second steps until the
// awaited event has come, a state poll has seen the end, the user has
// interrupted, or the time limit has passed.
#include "base/result_codes.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <string_view>

// Shared between the command thread (the wait), the library's thread (the
// notification handlers) and the console control thread (Cancel).
struct SupportWaitFlags {
    std::atomic<bool> interrupted{false};  // the user asked to stop waiting
    std::atomic<bool> completed{false};    // the awaited event has arrived
    std::atomic<bool> waiting{false};      // events are to be acted upon and printed

    void Clear()
    {
        interrupted.exchange(false);
        completed.exchange(false);
        waiting.exchange(false);
    }
};

// What tells one waiting command's wait from another's.
struct SupportWaitPlan {
    unsigned limitSeconds;         // the wait gives up after this many steps
    unsigned pollIntervalSeconds;  // the state is asked for at each multiple
    const wchar_t* pollState;      // the state that means the operation is over
    const wchar_t* pollSuccessText;  // printed (as lines) when a poll sees it
    const char* pollSuccessStatus;   // what that text says, as the data's "status"
    const wchar_t* timeLimitMessage;
    bool clearCompleted;  // whether an event that came before the wait is forgotten
};

namespace support_wait {
constexpr DWORD StepMs = 1000;
}  // namespace support_wait

// Sleeps one wait step; tests pass one that returns at once.
using WaitSleeper = std::function<void(DWORD milliseconds)>;
void SleepWaitStep(DWORD milliseconds);

// Asks the agent whether the support state is the given one.
using SupportStatePoll = std::function<bool(std::wstring_view state)>;

// Prints "Waiting for operation to complete...", raises `waiting` (and first
// lowers `completed` when the plan says so) and waits. Returns 0 when the
// wait ends within the limit, interrupted or not; otherwise prints the
// plan's time-limit message and returns 1460. `waiting` is lowered again on
// the way out, so no later event prints. The data's "wait" says how it ended:
// "completed", "interrupted" or "timedOut".
ResultCode WaitForSupportOperation(const SupportWaitPlan& plan, SupportWaitFlags& flags, const WaitSleeper& sleep,
                            const SupportStatePoll& poll);

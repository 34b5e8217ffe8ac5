#pragma once
// The waits of the five waiting support commands.
#include "commands/support/support_wait.h"

namespace support_wait_plans {

constexpr wchar_t SessionSuccessText[] = L"Operation completed.\nStatus: success";
constexpr wchar_t QuarterHourExceeded[] = L"15 minutes time limit exceeded!";
constexpr wchar_t HourExceeded[] = L"1 hour time limit exceeded!";

// Until the new session runs.
inline constexpr SupportWaitPlan StartSession = {900, 60, L"active", SessionSuccessText, "success", QuarterHourExceeded, true};
// Until the collection has been delivered.
inline constexpr SupportWaitPlan Collect = {3600, 300, L"idle", SessionSuccessText, "success", HourExceeded, true};
// Abort and force-abort: an ending reported before the wait began still counts.
inline constexpr SupportWaitPlan Abort = {900, 60, L"idle", L"Done.", "done", QuarterHourExceeded, false};
// Until the ended session has been delivered.
inline constexpr SupportWaitPlan EndSession = {3600, 300, L"idle", SessionSuccessText, "success", HourExceeded, true};

}  // namespace support_wait_plans

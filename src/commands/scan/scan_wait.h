#pragma once
// Following a posted scan until the agent has both answered the post and
// reported the scan's log event.
#include <windows.h>

#include <atomic>
#include <cstdint>

// What the wait drives: the two arrivals, the progress poll and the stop.
class ScanWaitPort {
public:
    // Waits at most `timeoutMs` for both arrivals together; WAIT_TIMEOUT when
    // they have not both come.
    virtual DWORD WaitForArrivals(DWORD timeoutMs) = 0;
    // Asks the agent for the scan's progress; false when the request failed
    // or the agent reports a progress error.
    virtual bool PollProgress() = 0;
    // Asks the agent to stop the scan; no answer is awaited.
    virtual void PostStop() = 0;

protected:
    ~ScanWaitPort() = default;
};

enum class ScanWaitEnd {
    Finished,     // both arrivals are in
    Interrupted,  // stopped on request, or the agent went quiet after a failed poll
};

namespace scan_wait {
constexpr DWORD ArrivalStepMs = 1000;
constexpr unsigned WaitsPerPoll = 10;
constexpr DWORD GraceMs = 5000;
}  // namespace scan_wait

// Waits in steps of ArrivalStepMs and polls after every WaitsPerPoll steps,
// with no overall limit. A raised `interrupted` flag posts the stop once and
// raises `stopped`; a failed poll gives the agent GraceMs more to deliver.
// `stopped` up on entry means nothing is waited for.
ScanWaitEnd WaitForScanEnd(ScanWaitPort& port, std::atomic<bool>& interrupted, std::atomic<bool>& stopped);

#include "commands/scan/scan_wait.h"

namespace {

ScanWaitEnd StopScan(ScanWaitPort& port, std::atomic<bool>& stopped)
{
    port.PostStop();
    stopped.exchange(true);
    return ScanWaitEnd::Interrupted;
}

}  // namespace

ScanWaitEnd WaitForScanEnd(ScanWaitPort& port, std::atomic<bool>& interrupted, std::atomic<bool>& stopped)
{
    // Cancel raises both flags; either one alone also ends the wait, so a
    // stopped flag never leaves the loop spinning without a wait.
    const auto stopRequested = [&] { return interrupted.load() || stopped.load(); };

    unsigned waits = 0;
    for (;;) {
        if (!stopped.load() && port.WaitForArrivals(scan_wait::ArrivalStepMs) != WAIT_TIMEOUT)
            return ScanWaitEnd::Finished;
        if (stopRequested())
            return StopScan(port, stopped);
        if (++waits != scan_wait::WaitsPerPoll)
            continue;
        if (!port.PollProgress())
            break;
        waits = 0;
    }
    // A Ctrl+C that came during the failed poll still stops the scan.
    if (stopRequested())
        return StopScan(port, stopped);
    // The scan may still be finishing: its arrivals get a last chance.
    return port.WaitForArrivals(scan_wait::GraceMs) == WAIT_TIMEOUT ? ScanWaitEnd::Interrupted
                                                                     : ScanWaitEnd::Finished;
}

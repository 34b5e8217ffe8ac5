#pragma once
// "FileScan.OnDemand.RunScanTask": runs one custom on-demand scan in the agent,
// follows it to its end and prints its summary.
#include "console/command.h"
#include "boundary/integration_types.h"
#include "integration/notification_receiver.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

// Waits for both arrival events together (wait-all); returns what
// WaitForMultipleObjects returns. Tests pass a scripted one.
using ArrivalWait = std::function<DWORD(const HANDLE* events, DWORD timeoutMs)>;
DWORD WaitForBothArrivals(const HANDLE* events, DWORD timeoutMs);

class CommandScan : public CommandBase {
public:
    static constexpr CommandSynopsis Synopsis = {
        "custom [path=<folder> ...] [options]",
        "runs a custom on-demand scan and prints its summary"};
    explicit CommandScan(TesdkRunner* runner, ArrivalWait wait = WaitForBothArrivals);

    std::string& GetName(std::string& name) const override { return name = "FileScan.OnDemand.RunScanTask"; }
    ResultCode Execute(const ArgumentTokens& args) override;
    // Only raises the interrupted and the stopped flag; the running wait
    // posts the stop and ends the command with "cancelled".
    bool Cancel() override;

private:
    // From the receiver's start to the result; the receiver is closed again
    // on every way out.
    ResultCode RunScan(const IntegrationRequest& runRequest);
    // The summary of a finished scan, or "error: 1359" when it is incomplete.
    ResultCode ReportFinished();
    void EndListening();

    IntegrationNotificationReceiver receiver_;
    std::atomic<bool> interrupted_{false};
    std::wstring taskId_;  // of the scan running now, or of the last one
    ArrivalWait wait_;
};

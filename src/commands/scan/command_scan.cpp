#include "commands/scan/command_scan.h"

#include "commands/scan/scan_options.h"
#include "commands/scan/scan_requests.h"
#include "commands/scan/scan_summary.h"
#include "commands/scan/scan_task_document.h"
#include "commands/scan/scan_task_id.h"
#include "commands/scan/scan_wait.h"
#include "base/result_codes.h"
#include "console/command_output.h"
#include "integration/agent_request.h"
#include "integration/integration_session.h"
#include "integration/tesdk_runner.h"
#include "base/text_conversion.h"

namespace {

// The scan did not complete as the agent should have reported it.
constexpr ResultCode ErrorScanIncomplete{1359};

// The wait's view of a running scan: arrivals at the receiver, requests
// through the shared connection.
class AgentScanPort final : public ScanWaitPort {
public:
    AgentScanPort(TesdkRunner& runner, IntegrationNotificationReceiver& receiver, const ArrivalWait& wait,
                  const std::wstring& taskId)
        : runner_(runner),
          receiver_(receiver),
          wait_(wait),
          taskId_(taskId),
          requestId_(WideToUtf8(taskId)),
          progressRequest_(BuildScanProgressRequest(taskId))
    {
    }

    DWORD WaitForArrivals(DWORD timeoutMs) override { return wait_(receiver_.ArrivalEvents(), timeoutMs); }

    bool PollProgress() override
    {
        return ProgressIsHealthy(AskAgent(runner_, progressRequest_, QueryLimitMs));
    }

    void PostStop() override
    {
        // Whether the agent takes the stop or not, the command ends as cancelled.
        static_cast<void>(PostRequest(runner_, BuildStopScanTaskRequest(taskId_), requestId_));
    }

private:
    TesdkRunner& runner_;
    IntegrationNotificationReceiver& receiver_;
    const ArrivalWait& wait_;
    std::wstring taskId_;
    std::string requestId_;
    IntegrationRequest progressRequest_;
};

// The "error: " line of a scan that gave no summary.
void ReportError(ResultCode code)
{
    Show(L"error: " + ResultCodeDecimal(code) + L"\n", "error", CodeValue(code));
}

}  // namespace

DWORD WaitForBothArrivals(const HANDLE* events, DWORD timeoutMs)
{
    return WaitForMultipleObjects(2, events, TRUE, timeoutMs);
}

CommandScan::CommandScan(TesdkRunner* runner, ArrivalWait wait) : CommandBase(runner), wait_(std::move(wait)) {}

bool CommandScan::Cancel()
{
    interrupted_.exchange(true);
    receiver_.Stopped().exchange(true);
    return true;
}

ResultCode CommandScan::Execute(const ArgumentTokens& args)
{
    // A Cancel that came while no scan ran (Ctrl+C at the shell's prompt) is
    // not meant for this scan.
    interrupted_.exchange(false);

    if (args.empty()) {
        Explain(L"No parameters found! ");
        return result::BadArguments;
    }
    ScanTask task;
    if (!NewTaskId(task.taskId)) {
        Explain(L"Failed to generate task id ");
        return result::CommandFailed;
    }
    taskId_ = task.taskId;
    CommandOutput().Data("taskId", TextValue(taskId_));
    if (!ParseScanOptions(args, task))
        return result::BadArguments;
    return RunScan(BuildRunScanTaskRequest(task));
}

ResultCode CommandScan::RunScan(const IntegrationRequest& runRequest)
{
    const std::string requestId = WideToUtf8(taskId_);
    // Listening before the post, so neither arrival can be missed.
    if (receiver_.Start(requestId, cv::StringW(taskId_)) != result::Success) {
        receiver_.Shutdown();
        Explain(L"Failed to connect! ");
        return result::NoConnection;
    }
    if (PostRequest(*Runner(), runRequest, requestId) != result::Success) {
        Explain(L"Excute command failed! ");
        EndListening();
        return ErrorScanIncomplete;
    }

    AgentScanPort port(*Runner(), receiver_, wait_, taskId_);
    const ScanWaitEnd end = WaitForScanEnd(port, interrupted_, receiver_.Stopped());
    ResultCode code;
    if (end == ScanWaitEnd::Finished) {
        code = ReportFinished();
    } else {
        ReportError(interrupted_.load() ? result::Cancelled : ErrorScanIncomplete);
        Show(L"description: Scan interrupted.\n", "description", "Scan interrupted.");
        code = result::Cancelled;
    }
    EndListening();
    return interrupted_.load() ? result::Cancelled : code;
}

ResultCode CommandScan::ReportFinished()
{
    const ResultCode code = receiver_.ResponseResult();
    ScanSummary summary;
    if (!BuildScanSummary(receiver_.PolicyText(), receiver_.ResponseText(), summary)) {
        ReportError(ErrorScanIncomplete);
        return ErrorScanIncomplete;
    }
    Show(FormatScanSummary(summary), "summary", ScanSummaryData(summary));
    return code;
}

void CommandScan::EndListening()
{
    receiver_.Shutdown();
    receiver_.ResetArrivals();
}

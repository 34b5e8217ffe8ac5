#pragma once
// The requests that follow a running scan: its progress and its stop.
#include "integration/agent_request.h"
#include "boundary/integration_types.h"

#include <string>

// The scan's module and methods, named once for the requests and for
// reading their answers.
namespace scan_request {
constexpr char Module[] = "FileScan.OnDemand";
constexpr char Run[] = "RunScanTask";
constexpr char Progress[] = "GetScanProgress";
constexpr char Stop[] = "StopScanTask";
}  // namespace scan_request

// "GetScanProgress" for the one task: {"tasks": [{"userSid": "", "taskId": ...}]}.
IntegrationRequest BuildScanProgressRequest(const std::wstring& taskId);

// "StopScanTask": {"userSid": "", "taskId": ...}.
IntegrationRequest BuildStopScanTaskRequest(const std::wstring& taskId);

// True when the reply to the progress request holds a successful
// "GetScanProgress" result whose first entry reports no progress error (a
// missing "progressError" is none).
[[nodiscard]] bool ProgressIsHealthy(const AgentReply& reply);

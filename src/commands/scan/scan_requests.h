#pragma once
// The requests that follow a running scan: its progress and its stop.
#include "integration/boundary/integration_types.h"

#include <string>

// "GetScanProgress" for the one task: {"tasks": [{"userSid": "", "taskId": ...}]}.
IntegrationRequest BuildScanProgressRequest(const std::wstring& taskId);

// "StopScanTask": {"userSid": "", "taskId": ...}.
IntegrationRequest BuildStopScanTaskRequest(const std::wstring& taskId);

// True when the answer holds a successful "GetScanProgress" result whose
// first entry reports no progress error (a missing "progressError" is none).
bool ProgressIsHealthy(const IntegrationResponse& response);

#pragma once
// The "RunScanTask" request that starts a custom scan in the agent.
#include "commands/scan/scan_task.h"
#include "boundary/integration_types.h"

#include <json/value.h>

#include <string>

// "FileScan.OnDemand" "RunScanTask" whose input runs `task` (which carries its
// task identifier) as a custom task under "customScanTask".
IntegrationRequest BuildRunScanTaskRequest(const ScanTask& task);

// Writes the task's "scanSettings", "scanSchedule" and "quickScanSettings"
// objects below `basePath` ("\"-separated) in `params`. A section whose node
// cannot be resolved is left out.
void WriteScanTaskDocument(Json::Value& params, const std::string& basePath, const ScanTask& task);

#pragma once
// The options of "FileScan.OnDemand.RunScanTask" turned into a ScanTask.
#include "commands/scan/scan_task.h"
#include "console/command.h"

// Reads the command's argument tokens into `task`, which already holds its
// defaults. Paths come first ("path", repeatable; "|ALLDRIVES|" when none is
// given), then "custom" must be present, then the other options are checked
// in a fixed order and the first wrong one is reported on the console and
// ends the parse. Only the first value of an option counts. False means bad
// arguments; `task` may then be partly filled.
[[nodiscard]] bool ParseScanOptions(const ArgumentTokens& args, ScanTask& task);

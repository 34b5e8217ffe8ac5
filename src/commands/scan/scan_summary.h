#pragma once
// The outcome of a finished scan, from the scan's log event and the agent's
// answer to "RunScanTask".
#include <json/value.h>

#include <cstdint>
#include <string>

struct ScanSummary {
    uint64_t scanned = 0;
    uint64_t remaining = 0;   // still infected + still suspicious
    uint64_t resolved = 0;    // disinfected + deleted + moved
    uint64_t notScanned = 0;  // I/O errors + archive bombs + password-protected archives
    std::string logPath;      // UTF-8
    int32_t runStatus = 0;
};

// `policyText` is the data of the task's "FileScan.OnDemand.ScanLog.Policy"
// event, `responseText` the response document of the post. False at the
// first value that is missing or of the wrong kind, or when the response
// holds no successful "RunScanTask" result.
[[nodiscard]] bool BuildScanSummary(const std::string& policyText, const std::string& responseText, ScanSummary& summary);

// "finished", "aborted", "stopped", or empty for any other status.
const wchar_t* RunStatusText(int32_t runStatus);

// The six lines the command prints, each with its line end.
std::wstring FormatScanSummary(const ScanSummary& summary);
// The same values, typed, for the JSON form.
Json::Value ScanSummaryData(const ScanSummary& summary);

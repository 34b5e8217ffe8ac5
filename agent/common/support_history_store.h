#pragma once
// The agent's history of finished support sessions: one JSON object per line
// in support-history.jsonl in the agent's data folder, appended by the agent
// when a session ends and read by the support module's history runner.
//
//   {"id":"18c0a1f2e4b-1a2c","kind":"troubleshoot","scenarios":["network"],
//    "started":"2026-12-10T09:30:00Z","ended":"2026-12-10T09:41:12Z",
//    "status":"finished","deliveredTo":["C:\\ProgramData\\...\\SupportSession_18c0a1f2e4b-1a2c"]}
//
// Only "id" is required; the other members default to empty.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace standin {
namespace common {

struct SupportSessionRecord {
    std::string id;
    std::string kind;                      // "troubleshoot" or "collect"
    std::vector<std::string> scenarios;    // scenario ids
    std::string started;                   // UTC, "2026-12-10T09:30:00Z"
    std::string ended;
    std::string status;                    // "finished", "aborted", "forceAborted", ...
    std::vector<std::string> deliveredTo;  // where the collected data went
};

struct SupportHistory {
    DWORD error = 0;  // reading the store failed (a missing store is an empty history)
    std::vector<SupportSessionRecord> sessions;  // in the order they ended
    unsigned damagedLines = 0;                   // lines that are no record, left out
};

// <agent data folder>\support-history.jsonl
std::wstring SupportHistoryPath();

// Milliseconds since 1970 as the store writes times.
std::string HistoryTimeText(int64_t msSince1970);

// One record as its line (without the line end), and back. Parsing fails for
// anything but an object with a string "id".
std::string RecordLine(const SupportSessionRecord& record);
bool ParseRecordLine(const std::string& line, SupportSessionRecord& record);

// Adds one record; safe while other processes append or read. Returns the
// system error code, 0 on success.
DWORD AppendSupportSession(const SupportSessionRecord& record, const std::wstring& path = SupportHistoryPath());

SupportHistory ReadSupportHistory(const std::wstring& path = SupportHistoryPath());

}  // namespace common
}  // namespace standin

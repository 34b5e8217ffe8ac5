#pragma once
// How the report reader shows a report file's records: as text for people
// or as CSV for spreadsheets and scripts. Records that cannot be read are
// flagged in either form.
#include "dllguard/report/report_record.h"

#include <string>
#include <vector>

namespace guard_report {

// Exit codes of the reader.
namespace exit_code {
constexpr int AllRecordsRead = 0;
constexpr int BadCommandLine = 1;
constexpr int UnreadableFile = 2;
constexpr int DamagedRecords = 3;
}  // namespace exit_code

struct ReaderOptions {
    bool csv = false;
    bool help = false;
    std::wstring file;
};

// False, with the reason in `error`, for a command line the reader does not understand.
bool ParseReaderArguments(const std::vector<std::wstring>& arguments, ReaderOptions& options, std::wstring& error);

std::wstring UsageText();

// Lines end with "\n".
std::wstring FormatAsText(const std::vector<dllguard::ReportRecord>& records);
std::wstring FormatAsCsv(const std::vector<dllguard::ReportRecord>& records);

// DamagedRecords when any record is truncated or corrupt, else AllRecordsRead.
int ExitCodeFor(const std::vector<dllguard::ReportRecord>& records);

}  // namespace guard_report

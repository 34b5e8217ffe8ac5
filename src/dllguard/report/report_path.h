#pragma once
// Where the guard writes its report file:
// "<folder>\dllReport.<process name>.V2".
#include <string>

namespace dllguard {

constexpr wchar_t kReportFolderName[] = L"48C4687D-9760-4F5B-BAB3-60351B0841E4";

struct ReportFolderInputs {
    std::wstring recordedFolder;       // set at start-up from the environment; wins when not empty
    bool elevated = false;             // the process token says so
    std::wstring executableDirectory;  // used when elevated
    std::wstring programData;          // the ProgramData variable; empty when unset
};

// The folder the rules pick; empty when there is none (not elevated and no
// ProgramData), in which case nothing is written.
std::wstring ChooseReportFolder(const ReportFolderInputs& inputs);

std::wstring ReportFilePathIn(const std::wstring& folder, const std::wstring& processName);

bool ProcessIsElevated();

// The report file of this process, the per-machine folder created when the
// rules pick it and it is missing.
std::wstring ProcessReportFilePath(const std::wstring& recordedFolder, const std::wstring& processName);

}  // namespace dllguard

#pragma once
// Where the guard writes its report file:
// "<folder>\dllReport.<process name>.V2". The file is opened only as the
// exact path below a root: the recorded folder's parent (ProgramData), the
// executable's directory or ProgramData itself.
#include "base/exact_path.h"

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

// The report file the rules pick, below the root it is checked from; empty
// when there is none.
ExactPath ReportFileLocation(const ReportFolderInputs& inputs, const std::wstring& processName);

// Makes the per-machine folder when the rules pick it and it is missing,
// for the owner alone; an existing one is used only when it is exactly what
// its path names. False when it is unfit (then nothing is written).
bool PrepareReportFolder(const ReportFolderInputs& inputs);

bool ProcessIsElevated();

// The report file of this process, the per-machine folder created when the
// rules pick it and it is missing.
ExactPath ProcessReportFilePath(const std::wstring& recordedFolder, const std::wstring& processName);

}  // namespace dllguard

#include "dllguard/report/report_path.h"

#include "base/module_path.h"
#include "base/unique_resource.h"

#include <windows.h>

namespace dllguard {
namespace {

std::wstring EnvironmentValue(const wchar_t* name)
{
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(value, length);
}

std::wstring ExecutableDirectory()
{
    return FolderOf(ModuleFileName(nullptr, MAX_PATH));
}

std::wstring WithoutTrailingSeparators(std::wstring path)
{
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

std::wstring FileName(const std::wstring& processName) { return L"dllReport." + processName + L".V2"; }

bool FolderIsMade(const ReportFolderInputs& inputs)
{
    return inputs.recordedFolder.empty() && !inputs.elevated && !inputs.programData.empty();
}

}  // namespace

std::wstring ChooseReportFolder(const ReportFolderInputs& inputs)
{
    if (!inputs.recordedFolder.empty())
        return inputs.recordedFolder;
    if (inputs.elevated)
        return inputs.executableDirectory;
    if (inputs.programData.empty())
        return {};
    return inputs.programData + L"\\" + kReportFolderName;
}

std::wstring ReportFilePathIn(const std::wstring& folder, const std::wstring& processName)
{
    if (folder.empty())
        return {};
    return folder + L"\\" + FileName(processName);
}

ExactPath ReportFileLocation(const ReportFolderInputs& inputs, const std::wstring& processName)
{
    if (!inputs.recordedFolder.empty()) {  // "<ProgramData>\<report folder>": checked from ProgramData
        const std::wstring folder = WithoutTrailingSeparators(inputs.recordedFolder);
        return ExactPathUnder(FolderOf(folder), folder + L"\\" + FileName(processName));
    }
    if (inputs.elevated)
        return ExactPath(inputs.executableDirectory, FileName(processName));
    if (inputs.programData.empty())
        return {};
    return ExactPath(inputs.programData, std::wstring(kReportFolderName) + L"\\" + FileName(processName));
}

bool PrepareReportFolder(const ReportFolderInputs& inputs)
{
    if (!FolderIsMade(inputs))
        return true;
    ExactOpen how;
    how.createFolders = true;
    return static_cast<bool>(MakeExactFolders(ExactPath(inputs.programData, kReportFolderName), how));
}

bool ProcessIsElevated()
{
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size))
        return false;
    return elevation.TokenIsElevated != 0;
}

ExactPath ProcessReportFilePath(const std::wstring& recordedFolder, const std::wstring& processName)
{
    ReportFolderInputs inputs;
    inputs.recordedFolder = recordedFolder;
    if (recordedFolder.empty()) {
        inputs.elevated = ProcessIsElevated();
        inputs.executableDirectory = ExecutableDirectory();
        inputs.programData = EnvironmentValue(L"ProgramData");
    }
    // An unfit folder is refused again, with a trace line, at every write.
    PrepareReportFolder(inputs);
    return ReportFileLocation(inputs, processName);
}

}  // namespace dllguard

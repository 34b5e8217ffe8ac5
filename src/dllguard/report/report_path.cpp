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
    return folder + L"\\dllReport." + processName + L".V2";
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

std::wstring ProcessReportFilePath(const std::wstring& recordedFolder, const std::wstring& processName)
{
    ReportFolderInputs inputs;
    inputs.recordedFolder = recordedFolder;
    if (recordedFolder.empty()) {
        inputs.elevated = ProcessIsElevated();
        inputs.executableDirectory = ExecutableDirectory();
        inputs.programData = EnvironmentValue(L"ProgramData");
    }
    const std::wstring folder = ChooseReportFolder(inputs);
    if (recordedFolder.empty() && !inputs.elevated && !folder.empty())
        CreateDirectoryW(folder.c_str(), nullptr);  // already there is fine
    return ReportFilePathIn(folder, processName);
}

}  // namespace dllguard

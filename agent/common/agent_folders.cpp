#include "common/agent_folders.h"

#include <vector>

namespace standin {
namespace common {

std::wstring EnvironmentText(const wchar_t* name)
{
    std::vector<wchar_t> buffer(32768);
    const DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    return length > 0 && length < buffer.size() ? std::wstring(buffer.data(), length) : std::wstring();
}

std::wstring AgentDataDirectory()
{
    std::wstring folder = EnvironmentText(L"PRODUCT_AGENT_STATE_DIR");
    if (folder.empty()) {
        const std::wstring programData = EnvironmentText(L"ProgramData");
        folder = (programData.empty() ? std::wstring(L"C:\\ProgramData") : programData) + L"\\ProductAgent";
    }
    CreateDirectories(folder);
    return folder;
}

void CreateDirectories(const std::wstring& path)
{
    // Skips the drive ("C:\") or the server part of a UNC path.
    size_t start = path.rfind(L"\\\\", 0) == 0 ? path.find(L'\\', path.find(L'\\', 2) + 1) : 2;
    if (start == std::wstring::npos)
        return;
    for (size_t i = start + 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\' || path[i] == L'/')
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

std::wstring ModuleDirectory(HMODULE module)
{
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    std::wstring folder(path.data(), length < path.size() ? length : 0);
    const size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

}  // namespace common
}  // namespace standin

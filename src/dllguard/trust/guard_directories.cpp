#include "dllguard/trust/guard_directories.h"

#include "base/module_path.h"
#include "base/system_text.h"

#include <windows.h>

namespace dllguard {
namespace {

template <class Query>
std::wstring AskForPath(Query query)
{
    wchar_t buffer[MAX_PATH];
    const UINT length = query(buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

std::wstring EnvironmentValue(const wchar_t* name)
{
    return SystemText([&](wchar_t* buffer, DWORD size) { return GetEnvironmentVariableW(name, buffer, size); });
}

}  // namespace

GuardDirectories ResolveGuardDirectories()
{
    GuardDirectories directories;
    directories.system32 = AskForPath([](wchar_t* buffer, UINT size) { return GetSystemDirectoryW(buffer, size); });
    directories.windows = AskForPath([](wchar_t* buffer, UINT size) { return GetWindowsDirectoryW(buffer, size); });
    directories.executable = FolderOf(ModuleFileName(nullptr, MAX_PATH));
    directories.programFiles = EnvironmentValue(L"ProgramFiles");
    return directories;
}

}  // namespace dllguard

#include "dllguard/startup/search_path_hardening.h"

#include "dllguard/startup/executable_name.h"

#include <windows.h>

namespace dllguard {
namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

std::wstring SystemDirectory()
{
    wchar_t buffer[MAX_PATH];
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

}  // namespace

bool SearchPathHardeningWanted(const GuardSwitches& switches)
{
    const bool asked = switches.EnvironmentPresent(switches::SearchPath);
    if (switches.EnvironmentPresent(switches::SearchPathDisabled))
        return false;
    if (asked)
        return true;
    std::wstring executable;
    DWORD value = 0;
    return switches.ExecutableFileName(executable) &&
           switches.ImageFileExecutionOption(executable, switches::SearchPathValue, value) && value == 1;
}

std::wstring HardenedPath(const std::wstring& executableDirectory, const std::wstring& system32)
{
    return executableDirectory + L";" + system32;
}

void HardenSearchPath()
{
    // Looked up rather than imported: systems without it still run the console.
    if (const HMODULE kernel32 = GetModuleHandleW(L"Kernel32.dll")) {
        const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
            reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
        if (setDefaultDllDirectories != nullptr)
            setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    }
    SetEnvironmentVariableW(L"PATH", HardenedPath(ExecutableDirectory(), SystemDirectory()).c_str());
}

}  // namespace dllguard

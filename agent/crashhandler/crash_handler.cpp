// cvch.dll: writes a minidump when the process crashes or aborts.
//
// EnableCrashHandler(a, b, c) installs an unhandled-exception filter; the
// three values are unused. Dumps go to the folder named by the settings file
// (a line "DumpFolder=<path>"), else %PRODUCT_CRASH_DUMP_DIR%, else
// %ProgramData%\ProductAgent\CrashDumps, as <exe name>_<pid>_<tick>.dmp.
#include "common/agent_folders.h"
#include "base/unique_resource.h"

#include <windows.h>

#include <dbghelp.h>

#include <csignal>
#include <cstdlib>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>

namespace {

std::mutex g_lock;
std::wstring g_settingsFolder;
bool g_enabled = false;

std::wstring DumpFolder()
{
    if (!g_settingsFolder.empty())
        return g_settingsFolder;
    std::wstring folder = standin::common::EnvironmentText(L"PRODUCT_CRASH_DUMP_DIR");
    if (!folder.empty())
        return folder;
    folder = standin::common::EnvironmentText(L"ProgramData");
    if (folder.empty())
        return {};
    return folder + L"\\ProductAgent\\CrashDumps";
}

bool WriteDump(EXCEPTION_POINTERS* exception)
{
    const std::wstring folder = DumpFolder();
    if (folder.empty())
        return false;
    standin::common::CreateDirectories(folder);
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring name(module);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    const std::wstring path = folder + L"\\" + name + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(GetTickCount64()) + L".dmp";
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    MINIDUMP_EXCEPTION_INFORMATION info{GetCurrentThreadId(), exception, FALSE};
    const BOOL written = MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file.get(), MiniDumpNormal,
                                           exception != nullptr ? &info : nullptr, nullptr, nullptr);
    file.reset();
    if (!written)
        DeleteFileW(path.c_str());
    return written != FALSE;
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception)
{
    WriteDump(exception);
    return EXCEPTION_EXECUTE_HANDLER;  // end the process without the system's dialog
}

}  // namespace

extern "C" {

__declspec(dllexport) int SetSettingsFile(const wchar_t* path)
{
    if (path == nullptr)
        return ERROR_INVALID_PARAMETER;
    std::ifstream settings(path);
    if (!settings)
        return ERROR_FILE_NOT_FOUND;
    std::string line;
    std::lock_guard<std::mutex> guard(g_lock);
    while (std::getline(settings, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("DumpFolder=", 0) == 0) {
            const std::string folder = line.substr(11);
            const int size = MultiByteToWideChar(CP_UTF8, 0, folder.c_str(), -1, nullptr, 0);
            std::wstring wide(size > 0 ? size - 1 : 0, L'\0');
            if (size > 1)
                MultiByteToWideChar(CP_UTF8, 0, folder.c_str(), -1, wide.data(), size);
            g_settingsFolder = wide;
        }
    }
    return 0;
}

__declspec(dllexport) int EnableCrashHandler(uintptr_t, uintptr_t, uintptr_t)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (DumpFolder().empty())
        return ERROR_PATH_NOT_FOUND;
    SetUnhandledExceptionFilter(&CrashFilter);
    g_enabled = true;
    return 0;
}

// Suitable as a SIGABRT handler: dump, then end the process as abort would.
__declspec(dllexport) void SignalHandler(int signal)
{
    if (g_enabled)
        WriteDump(nullptr);
    std::_Exit(signal == SIGABRT ? 3 : 1);
}

}  // extern "C"

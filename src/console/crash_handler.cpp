#include "console/crash_handler.h"

#include "base/module_path.h"
#include "base/unique_resource.h"

#include <shlwapi.h>

#include <csignal>
#include <mutex>
#include <string>

namespace {

using EnableCrashHandlerFunction = int (*)(uintptr_t, uintptr_t, uintptr_t);
using SetSettingsFileFunction = int (*)(const wchar_t*);
using SignalHandlerFunction = void (*)(int);

template <class Function>
Function Export(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

std::wstring CrashHandlerPath()
{
    std::wstring directory = FolderWithBackslash(ModuleFileName(nullptr));
    if (!directory.empty() && directory.back() != L'\\' && directory.back() != L'/')
        directory += L'\\';
    return directory + L"cvch.dll";
}

std::mutex& CrashHandlerLock()
{
    static std::mutex lock;
    return lock;
}

}  // namespace

HMODULE LoadCrashHandler(const wchar_t* settingsFile, HMODULE preloaded)
{
    // A library handed in stays the caller's; one loaded here is ours to unload.
    UniqueModule loadedHere;
    HMODULE library = preloaded;
    if (library == nullptr) {
        loadedHere.reset(LoadLibraryW(CrashHandlerPath().c_str()));
        library = loadedHere.get();
    }
    if (library == nullptr)
        return nullptr;

    const auto enable = Export<EnableCrashHandlerFunction>(library, "EnableCrashHandler");
    if (enable == nullptr)
        return nullptr;

    std::lock_guard<std::mutex> guard(CrashHandlerLock());
    if (settingsFile != nullptr && *settingsFile != L'\0') {
        const auto setSettings = Export<SetSettingsFileFunction>(library, "SetSettingsFile");
        if (setSettings == nullptr || setSettings(settingsFile) != 0)
            return nullptr;
    }

    bool signalInstalled = false;
    SignalHandlerFunction previousAbort = SIG_DFL;
    if (const auto signalHandler = Export<SignalHandlerFunction>(library, "SignalHandler")) {
        previousAbort = std::signal(SIGABRT, signalHandler);
        signalInstalled = previousAbort != SIG_ERR;
    }

    if (enable(0, 0, 0) == 0) {
        loadedHere.release();  // stays loaded for the life of the process
        return library;
    }
    // Never leave the abort handler pointing into a library about to unload.
    if (signalInstalled)
        std::signal(SIGABRT, previousAbort);
    return nullptr;
}

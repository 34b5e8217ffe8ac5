#pragma once
// The bridge to the agent's logging library: the library, held for the life
// of the object, and its entry points. Without the library (or without its
// write entry) every write goes to a do-nothing entry.
#include "base/log_abi.h"
#include "base/unique_resource.h"

#include <string>

namespace logging {

// What the do-nothing write returns (E_NOINTERFACE).
constexpr HRESULT NoLogWrite = static_cast<HRESULT>(0x80004002L);

class CLogDLL {
public:
    // log.dll as already loaded in the process, else beside the module that
    // holds the console's code.
    CLogDLL();
    // log.dll as already loaded in the process, else the given file.
    explicit CLogDLL(const std::wstring& libraryPath);
    ~CLogDLL();
    CLogDLL(const CLogDLL&) = delete;
    CLogDLL& operator=(const CLogDLL&) = delete;

    bool Loaded() const { return static_cast<bool>(library_); }
    HMODULE Library() const { return library_.get(); }

    HRESULT Write(WORD kind, const DWORD* level, HMODULE module, const wchar_t* function, const wchar_t* format,
                  va_list args) const
    {
        return logWrite_(kind, level, module, function, format, args);
    }

private:
    void Load(const std::wstring& libraryPath);
    void LookUpEntries();
    // Calls an export that is looked up only now ("LogInit", "LogDeinit").
    void CallIfExported(const char* name) const;

    UniqueModule library_;
    abi::LogApplySettingsFn logApplySettings_ = nullptr;
    abi::LogSetSettingsFileFn logSetSettingsFile_ = nullptr;
    abi::LogEnableFn logEnable_ = nullptr;
    abi::LogSetLevelFn logSetLevel_ = nullptr;
    abi::LogSetPathFn logSetPath_ = nullptr;
    abi::LogSetTypeFn logSetType_ = nullptr;
    abi::LogSetModeFn logSetMode_ = nullptr;
    abi::LogSetMaxSizeFn logSetMaxSize_ = nullptr;
    abi::LogSetDepthFn logSetDepth_ = nullptr;
    abi::LogWriteFn logWrite_ = nullptr;
    abi::LogIsEnabledFn logIsEnabled_ = nullptr;
    abi::LogMonitorSettingsFn logMonitorSettings_ = nullptr;
    abi::LogUninitDeskMetricsFn logUninitDeskMetrics_ = nullptr;
    abi::LogTrackEventFn logTrackEvent_ = nullptr;
    abi::LogTrackEventDataFn logTrackEventData_ = nullptr;
    abi::LogRemoveModuleFn logRemoveModule_ = nullptr;
    abi::LogGetLevelFn logGetLevel_ = nullptr;
};

// The module that holds the console's code (the executable, or a test
// program that links the same code).
HMODULE ConsoleModule();

// log.dll in the folder of `modulePath`; empty when the path has no
// backslash, so that a bare name is never looked up on the search path.
std::wstring LibraryPathBeside(const std::wstring& modulePath);

// log.dll beside ConsoleModule().
std::wstring DefaultLibraryPath();

}  // namespace logging

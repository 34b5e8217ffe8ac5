#include "base/log_library.h"
#include "base/module_path.h"

#include <vector>

namespace logging {
namespace {

constexpr wchar_t LibraryName[] = L"log.dll";

HRESULT WriteNothing(WORD, const DWORD*, HMODULE, const wchar_t*, const wchar_t*, va_list) { return NoLogWrite; }

template <class Function>
Function LookUp(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

HMODULE ConsoleModule() { return ModuleOfThisCode(); }

std::wstring LibraryPathBeside(const std::wstring& modulePath)
{
    const size_t slash = modulePath.rfind(L'\\');
    if (slash == std::wstring::npos)
        return {};
    return modulePath.substr(0, slash) + L"\\" + LibraryName;
}

std::wstring DefaultLibraryPath()
{
    const std::wstring library = ModuleFileName(ConsoleModule(), kLongestModulePath);
    if (library.empty())
        return {};
    return LibraryPathBeside(library);
}

CLogDLL::CLogDLL() : CLogDLL(DefaultLibraryPath()) {}

CLogDLL::CLogDLL(const std::wstring& libraryPath)
{
    Load(libraryPath);
    if (!library_) {
        logWrite_ = WriteNothing;
        return;
    }
    CallIfExported("LogInit");
    LookUpEntries();
    if (logWrite_ == nullptr)
        logWrite_ = WriteNothing;
}

CLogDLL::~CLogDLL()
{
    if (!library_)
        return;
    CallIfExported("LogDeinit");
    if (logUninitDeskMetrics_ != nullptr)
        logUninitDeskMetrics_();
    if (logRemoveModule_ != nullptr)
        logRemoveModule_(L"logging::CLogDLL::~CLogDLL");
    // library_ is freed after this body.
}

void CLogDLL::Load(const std::wstring& libraryPath)
{
    // A copy loaded by somebody else in the process is the one to use.
    if (GetModuleHandleExW(0, LibraryName, library_.put()))
        return;
    library_.reset();
    if (!libraryPath.empty())
        library_.reset(LoadLibraryW(libraryPath.c_str()));
}

void CLogDLL::LookUpEntries()
{
    HMODULE library = library_.get();
    logApplySettings_ = LookUp<abi::LogApplySettingsFn>(library, "LogApplySettings");
    logSetSettingsFile_ = LookUp<abi::LogSetSettingsFileFn>(library, "LogSetSettingsFile");
    logEnable_ = LookUp<abi::LogEnableFn>(library, "LogEnable");
    logSetLevel_ = LookUp<abi::LogSetLevelFn>(library, "LogSetLevel");
    logSetPath_ = LookUp<abi::LogSetPathFn>(library, "LogSetPath");
    logSetType_ = LookUp<abi::LogSetTypeFn>(library, "LogSetType");
    logSetMode_ = LookUp<abi::LogSetModeFn>(library, "LogSetMode");
    logSetMaxSize_ = LookUp<abi::LogSetMaxSizeFn>(library, "LogSetMaxSize");
    logSetDepth_ = LookUp<abi::LogSetDepthFn>(library, "LogSetDepth");
    logWrite_ = LookUp<abi::LogWriteFn>(library, "LogWrite");
    logIsEnabled_ = LookUp<abi::LogIsEnabledFn>(library, "LogIsEnabled");
    logMonitorSettings_ = LookUp<abi::LogMonitorSettingsFn>(library, "LogMonitorSettings");
    logUninitDeskMetrics_ = LookUp<abi::LogUninitDeskMetricsFn>(library, "LogUninitDeskMetrics");
    logTrackEvent_ = LookUp<abi::LogTrackEventFn>(library, "LogTrackEvent");
    logTrackEventData_ = LookUp<abi::LogTrackEventDataFn>(library, "LogTrackEventData");
    logRemoveModule_ = LookUp<abi::LogRemoveModuleFn>(library, "LogRemoveModule");
    logGetLevel_ = LookUp<abi::LogGetLevelFn>(library, "LogGetLevel");
}

void CLogDLL::CallIfExported(const char* name) const
{
    if (const auto entry = LookUp<abi::LogInitFn>(library_.get(), name))
        entry();
}

}  // namespace logging

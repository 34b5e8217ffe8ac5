// The library's entry points. Results: S_OK, S_FALSE when a line is left out
// by the settings, or the HRESULT of a failed file write.
#include "log_state.h"

#include <windows.h>

#include <cstdarg>

#define LOG_EXPORT extern "C" __declspec(dllexport)

using namespace standin::log;

LOG_EXPORT HRESULT LogInit()
{
    Initialize();
    return S_OK;
}

LOG_EXPORT HRESULT LogDeinit()
{
    Deinitialize();
    return S_OK;
}

LOG_EXPORT HRESULT LogApplySettings()
{
    ApplySettings();
    return S_OK;
}

LOG_EXPORT HRESULT LogSetSettingsFile(const wchar_t* path)
{
    SetSettingsFile(path);
    return S_OK;
}

LOG_EXPORT HRESULT LogEnable(BOOL enable)
{
    ChangeSettings([](LogSettings& settings, DWORD value) { settings.enabled = value != 0; }, enable);
    return S_OK;
}

LOG_EXPORT HRESULT LogSetLevel(DWORD levels)
{
    ChangeSettings([](LogSettings& settings, DWORD value) { settings.levels = value; }, levels);
    return S_OK;
}

LOG_EXPORT HRESULT LogSetPath(const wchar_t* folder)
{
    if (folder == nullptr || *folder == L'\0')
        return E_INVALIDARG;
    SetFolder(folder);
    return S_OK;
}

LOG_EXPORT HRESULT LogSetType(DWORD type)
{
    ChangeSettings([](LogSettings& settings, DWORD value) { settings.type = value; }, type);
    return S_OK;
}

LOG_EXPORT HRESULT LogSetMode(DWORD mode)
{
    if (mode != file_mode::PerProgram && mode != file_mode::PerProcess)
        return E_INVALIDARG;
    ChangeSettings([](LogSettings& settings, DWORD value) { settings.mode = value; }, mode);
    return S_OK;
}

LOG_EXPORT HRESULT LogSetMaxSize(DWORD bytes)
{
    ChangeSettings([](LogSettings& settings, DWORD value) { settings.maxSize = value; }, bytes);
    return S_OK;
}

LOG_EXPORT HRESULT LogSetDepth(DWORD depth)
{
    ChangeSettings([](LogSettings& settings, DWORD value) { settings.depth = value; }, depth);
    return S_OK;
}

LOG_EXPORT HRESULT LogWrite(WORD kind, const DWORD* level, HMODULE module, const wchar_t* function,
                            const wchar_t* format, va_list args)
{
    return WriteLine(kind, level != nullptr ? *level : 0, module, function, format, args);
}

LOG_EXPORT BOOL LogIsEnabled() { return CurrentSettings().enabled ? TRUE : FALSE; }

LOG_EXPORT HRESULT LogMonitorSettings(BOOL monitor)
{
    MonitorSettings(monitor != FALSE);
    return S_OK;
}

// Usage metrics are not collected here: nothing to hand over.
LOG_EXPORT HRESULT LogUninitDeskMetrics() { return S_OK; }

LOG_EXPORT HRESULT LogTrackEvent(const wchar_t* name) { return WriteEvent(name, nullptr); }

LOG_EXPORT HRESULT LogTrackEventData(const wchar_t* name, const wchar_t* data) { return WriteEvent(name, data); }

// Nothing is kept per calling module.
LOG_EXPORT HRESULT LogRemoveModule(const wchar_t*) { return S_OK; }

LOG_EXPORT DWORD LogGetLevel() { return CurrentSettings().levels; }

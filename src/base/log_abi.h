#pragma once
// Entry points of the agent's logging library (log.dll), shared by the
// console's bridge and the library itself. Every entry point returns an
// HRESULT unless noted; the console looks none of the results at.
#include <windows.h>

#include <cstdarg>

namespace logging {
namespace abi {

// The 16-bit value given with each line: what kind of line it is.
namespace line_kind {
constexpr WORD Plain = 0;
constexpr WORD FunctionEntry = 1;
constexpr WORD FunctionExit = 0xFFFF;
}  // namespace line_kind

using LogInitFn = HRESULT (*)();
using LogDeinitFn = HRESULT (*)();
using LogApplySettingsFn = HRESULT (*)();
using LogSetSettingsFileFn = HRESULT (*)(const wchar_t* path);
using LogEnableFn = HRESULT (*)(BOOL enable);
using LogSetLevelFn = HRESULT (*)(DWORD levels);  // bit mask of the levels written
using LogSetPathFn = HRESULT (*)(const wchar_t* folder);
using LogSetTypeFn = HRESULT (*)(DWORD type);
using LogSetModeFn = HRESULT (*)(DWORD mode);
using LogSetMaxSizeFn = HRESULT (*)(DWORD bytes);
using LogSetDepthFn = HRESULT (*)(DWORD depth);
// kind (line_kind), the level by address, the writer's module, its function
// name, a wide printf-style format (%s takes a wide string) and its arguments.
using LogWriteFn = HRESULT (*)(WORD kind, const DWORD* level, HMODULE module, const wchar_t* function,
                               const wchar_t* format, va_list args);
using LogIsEnabledFn = BOOL (*)();
using LogMonitorSettingsFn = HRESULT (*)(BOOL monitor);
using LogUninitDeskMetricsFn = HRESULT (*)();
using LogTrackEventFn = HRESULT (*)(const wchar_t* name);
using LogTrackEventDataFn = HRESULT (*)(const wchar_t* name, const wchar_t* data);
using LogRemoveModuleFn = HRESULT (*)(const wchar_t* caller);
using LogGetLevelFn = DWORD (*)();

}  // namespace abi
}  // namespace logging

#pragma once
// The library's state for the process: settings and where lines go. Every
// entry point may be called from any thread.
#include "log_settings.h"

#include <cstdarg>

namespace standin {
namespace log {

void Initialize();
void Deinitialize();

// Reads the settings file and the environment again.
void ApplySettings();
void SetSettingsFile(const wchar_t* path);
void MonitorSettings(bool monitor);
// Changes the current settings.
void ChangeSettings(void (*change)(LogSettings&, DWORD), DWORD value);
void SetFolder(const wchar_t* folder);
LogSettings CurrentSettings();

// Returns S_OK when written, S_FALSE when the settings leave the line out,
// or the error of the file write.
HRESULT WriteLine(WORD kind, DWORD level, HMODULE module, const wchar_t* function, const wchar_t* format,
                  va_list args);
HRESULT WriteEvent(const wchar_t* name, const wchar_t* data);

}  // namespace log
}  // namespace standin

#pragma once
// What the log writes and where: defaults, then the settings file, then
// PRODUCT_LOG_DIR for the folder; the Log* setters change them afterwards.
#include <windows.h>

#include <string>

namespace standin {
namespace log {

namespace output {
constexpr DWORD File = 1;
constexpr DWORD Debugger = 2;  // OutputDebugString
}  // namespace output

namespace file_mode {
constexpr DWORD PerProgram = 0;  // <program>.log, shared by its processes
constexpr DWORD PerProcess = 1;  // <program>-<pid>.log
}  // namespace file_mode

struct LogSettings {
    bool enabled = true;
    DWORD levels = 0xFFFFFFFF;  // bit mask: a line is written when its level has a bit in it
    std::wstring folder;        // default: %ProgramData%\ProductAgent\Logs
    DWORD type = output::File;  // bit mask of output
    DWORD mode = file_mode::PerProgram;
    DWORD maxSize = 10 * 1024 * 1024;  // bytes; a full file is renamed to <program>.old.log
    DWORD depth = 16;                  // nested function traces are indented up to this depth
};

// log.ini beside the module.
std::wstring DefaultSettingsFile(HMODULE module);

// Defaults, the [Log] section of the settings file (when it exists), then
// the environment.
LogSettings LoadSettings(const std::wstring& settingsFile);

// Last write time of the file, 0 when it does not exist.
ULONGLONG SettingsStamp(const std::wstring& settingsFile);

}  // namespace log
}  // namespace standin

#pragma once
// The trace log file: "<root>\CstLogs\<exe>\<start stamp>\DLLPROTECT.log",
// opened by the first line that needs it, between an opening and a closing
// banner. It is opened only when the handle is the file its path names
// below ProgramData; the folders it makes let in no other user.
#include "base/exact_path.h"
#include "base/unique_resource.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace dllguard::trace {

// Expands "%programdata%", or "%ALLUSERSPROFILE%\Application Data" when
// ProgramData does not expand: the folder the log's folders are made in.
std::wstring DefaultLogBase();
// The base and "\CVLogging".
std::wstring DefaultLogRoot();
// "2026-12-10_14_03_22__0042": the process's creation time (local) and id.
std::wstring FormatStartStamp(const SYSTEMTIME& time, uint32_t processId);
std::wstring ProcessStartStamp();
std::wstring LogFilePath(std::wstring_view root, std::wstring_view exeName, std::wstring_view startStamp);
// " ----- \n>Started at : ..." (with the version line) or ">Closed  at : ..."
// (without it, when `version` is null).
std::string FormatBanner(const char* label, const SYSTEMTIME& time, uint32_t tickCount, const std::string* version);

// The executable's file version, "1.0.0.1"; empty when it has none.
std::string ExecutableVersion();

struct LogFileSource {
    std::function<std::wstring()> path;  // asked once, when the file is first needed
    // Where the folders above the file start to be checked and made (taken
    // as it is); unset: the file's own folder.
    std::function<std::wstring()> base;
    std::function<std::string()> version;
    std::function<SYSTEMTIME()> localTime;
    std::function<uint32_t()> tickCount;
};

class TraceLogFile {
public:
    explicit TraceLogFile(LogFileSource source);
    ~TraceLogFile();
    TraceLogFile(const TraceLogFile&) = delete;
    TraceLogFile& operator=(const TraceLogFile&) = delete;

    // Appends bytes as they are, one writer at a time; the first call
    // creates the folders, opens the file and writes the opening banner.
    void Write(std::string_view bytes);
    // Writes the closing banner when the file was opened, and closes it.
    void Close();
    // Why the file was refused, once, after the write that tried to open it:
    // a link where it should be. Empty otherwise.
    std::wstring TakeRefusal();

private:
    void Open();
    void Append(std::string_view bytes);

    LogFileSource source_;
    std::once_flag opened_;
    CriticalSection lock_;  // re-entrant: closing appends its banner under it
    UniqueFile file_;
    std::wstring refusal_;
    std::atomic<bool> refused_{false};  // spares every later line the lock
};

}  // namespace dllguard::trace

#pragma once
// The guard's trace facility: settings read once, and the four outputs the
// level word selects. Lines are built and scrambled here; nothing is
// created or opened while the level word is 0.
#include "dllguard/trace/event_tracing_output.h"
#include "dllguard/trace/process_monitor_output.h"
#include "dllguard/trace/trace_log_file.h"
#include "dllguard/trace/trace_settings.h"

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace dllguard::trace {

// Everything the facility takes from its surroundings; tests replace parts.
struct TraceEnvironment {
    std::vector<std::wstring> settingsFiles;
    AccessWord accessCode{};
    LogFileSource logFile;
    std::function<UniqueFile()> openProcessMonitor;
};

TraceEnvironment DefaultTraceEnvironment();

class Tracer {
public:
    explicit Tracer(TraceEnvironment environment);
    Tracer(const Tracer&) = delete;
    Tracer& operator=(const Tracer&) = delete;

    // The level word (reading the settings on first use); 0 means tracing is off.
    uint32_t Level();
    bool Enabled() { return Level() != 0; }

    void Write(std::string_view prefix, std::string_view text);
    void Write(std::wstring_view prefix, std::wstring_view text);

    // Writes the log file's closing banner (if it was opened) and closes it.
    void Close() { logFile_.Close(); }

private:
    void LoadSettings();
    void Send(const std::string& narrow, const std::wstring& wide, bool wideLine);
    void Send(const std::string& narrow, const std::wstring& wide, bool wideLine, uint32_t outputs);
    void SendRefusal(const std::wstring& refusal);

    TraceEnvironment environment_;
    std::once_flag loaded_;
    TraceSettings settings_;
    uint8_t scramble_ = 0;
    TraceLogFile logFile_;
    ProcessMonitorOutput processMonitor_;
    EventTracingOutput eventTracing_;
};

// The process's tracer, or the one a test put in its place.
Tracer& CurrentTracer();
// Puts `tracer` in place of the process's own (null restores it); returns
// the previous replacement.
Tracer* ReplaceTracerForTesting(Tracer* tracer);

}  // namespace dllguard::trace

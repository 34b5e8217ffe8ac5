#include "dllguard/trace/tracer.h"

#include "dllguard/trace/trace_line.h"
#include "base/module_path.h"
#include "base/text_conversion.h"

#include <atomic>
#include <cstdlib>

namespace dllguard::trace {
namespace {

std::wstring ExecutableFileName()
{
    const std::wstring path = ModuleFileName(nullptr, MAX_PATH);
    if (path.empty())
        return {};
    return path.substr(path.find_last_of(L"\\/") + 1);
}

SYSTEMTIME LocalTimeNow()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return now;
}

std::atomic<Tracer*> g_replacement{nullptr};

Tracer* g_process = nullptr;

void CloseProcessTracer() { g_process->Close(); }

// Set while this thread is writing a line. Opening the log file or loading
// the tracing functions may load a library, whose hook traces again: that
// nested line is dropped instead of re-entering the one-time set-ups.
thread_local bool t_writing = false;

class WritingOnThisThread {
public:
    WritingOnThisThread() : nested_(t_writing) { t_writing = true; }
    ~WritingOnThisThread() { t_writing = nested_; }
    bool Nested() const { return nested_; }

private:
    bool nested_;
};

}  // namespace

TraceEnvironment DefaultTraceEnvironment()
{
    TraceEnvironment environment;
    environment.settingsFiles = DefaultSettingsFiles();
    environment.accessCode = ProgramAccessCode();
    environment.logFile.path = [] { return LogFilePath(DefaultLogRoot(), ExecutableFileName(), ProcessStartStamp()); };
    environment.logFile.base = DefaultLogBase;
    environment.logFile.version = ExecutableVersion;
    environment.logFile.localTime = LocalTimeNow;
    environment.logFile.tickCount = [] { return static_cast<uint32_t>(GetTickCount()); };
    environment.openProcessMonitor = OpenProcessMonitorDevice;
    return environment;
}

Tracer::Tracer(TraceEnvironment environment)
    : environment_(std::move(environment)),
      logFile_(environment_.logFile),
      processMonitor_(environment_.openProcessMonitor, environment_.logFile.tickCount)
{
}

void Tracer::LoadSettings()
{
    std::string text;
    if (!ReadSettingsFile(environment_.settingsFiles, text))
        return;
    settings_ = ParseTraceSettings(text, environment_.accessCode);
    scramble_ = ScrambleByte(settings_.access);
}

uint32_t Tracer::Level()
{
    std::call_once(loaded_, [this] { LoadSettings(); });
    return settings_.level;
}

void Tracer::Write(std::string_view prefix, std::string_view text)
{
    if (!Enabled())
        return;
    const WritingOnThisThread writing;
    if (writing.Nested())
        return;
    try {
        const std::string line =
            BuildLine(environment_.logFile.tickCount(), static_cast<uint32_t>(GetCurrentThreadId()), prefix, text);
        const bool wantsWide = settings_.level & (output::ProcessMonitor | output::EventTracing);
        Send(line, wantsWide ? Utf8ToWide(line) : std::wstring(), false);
    } catch (...) {
        // Tracing never disturbs the load it describes.
    }
}

void Tracer::Write(std::wstring_view prefix, std::wstring_view text)
{
    if (!Enabled())
        return;
    const WritingOnThisThread writing;
    if (writing.Nested())
        return;
    try {
        const std::wstring line =
            BuildLine(environment_.logFile.tickCount(), static_cast<uint32_t>(GetCurrentThreadId()), prefix, text);
        const bool wantsNarrow = settings_.level & output::LogFile;
        Send(wantsNarrow ? WideToUtf8(line) : std::string(), line, true);
    } catch (...) {
    }
}

// Each output gets the form of the line it takes, scrambled character by
// character; the debugger gets the line in the form it was written.
void Tracer::Send(const std::string& narrow, const std::wstring& wide, bool wideLine)
{
    Send(narrow, wide, wideLine, settings_.level);
    if (settings_.level & output::LogFile) {
        const std::wstring refusal = logFile_.TakeRefusal();
        if (!refusal.empty())
            SendRefusal(refusal);
    }
}

// Why the log file was refused goes to the outputs that are not the log.
void Tracer::SendRefusal(const std::wstring& refusal)
{
    const uint32_t others = settings_.level & ~output::LogFile;
    if (others == 0)
        return;
    const std::wstring line = BuildLine(environment_.logFile.tickCount(), static_cast<uint32_t>(GetCurrentThreadId()),
                                        L"[DLLPROTECT] :: OpenLogFile() - ", refusal);
    Send(std::string(), line, true, others);
}

void Tracer::Send(const std::string& narrow, const std::wstring& wide, bool wideLine, uint32_t level)
{
    const bool narrowDebugger = (level & output::Debugger) && !wideLine;
    const bool wideDebugger = (level & output::Debugger) && wideLine;
    if (narrowDebugger || (level & output::LogFile)) {
        std::string bytes = narrow;
        Scramble(bytes, scramble_);
        if (narrowDebugger)
            OutputDebugStringA(bytes.c_str());
        if (level & output::LogFile)
            logFile_.Write(bytes);
    }
    if (wideDebugger || (level & (output::ProcessMonitor | output::EventTracing))) {
        std::wstring characters = wide;
        Scramble(characters, scramble_);
        if (wideDebugger)
            OutputDebugStringW(characters.c_str());
        if (level & output::ProcessMonitor)
            processMonitor_.Send(characters);
        if (level & output::EventTracing)
            eventTracing_.Send(characters);
    }
}

Tracer& CurrentTracer()
{
    if (Tracer* replacement = g_replacement.load())
        return *replacement;
    // Never destroyed: load hooks on other threads may trace until the process
    // ends. The log file gets its closing banner at exit.
    static Tracer* const process = [] {
        g_process = new Tracer(DefaultTraceEnvironment());
        std::atexit(CloseProcessTracer);
        return g_process;
    }();
    return *process;
}

Tracer* ReplaceTracerForTesting(Tracer* tracer) { return g_replacement.exchange(tracer); }

}  // namespace dllguard::trace

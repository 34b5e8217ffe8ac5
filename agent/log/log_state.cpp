#include "log_state.h"

#include "log_line.h"

#include "common/agent_folders.h"
#include "common/locked_file.h"
#include "base/log_abi.h"
#include "base/unique_resource.h"

#include <cstdint>
#include <mutex>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace standin {
namespace log {
namespace {

struct State {
    State() : depthSlot(TlsAlloc()) {}
    ~State()
    {
        if (depthSlot != TLS_OUT_OF_INDEXES)
            TlsFree(depthSlot);
    }

    CriticalSection lock;
    DWORD depthSlot;  // per thread: depth of nested function traces
    bool loaded = false;
    std::wstring settingsFile;
    LogSettings settings;
    bool monitor = false;
    ULONGLONG settingsStamp = 0;
};

State& Shared()
{
    static State state;
    return state;
}

HMODULE ThisLibrary() { return reinterpret_cast<HMODULE>(&__ImageBase); }

// With the lock held.
void Reload(State& state)
{
    if (state.settingsFile.empty())
        state.settingsFile = DefaultSettingsFile(ThisLibrary());
    state.settings = LoadSettings(state.settingsFile);
    state.settingsStamp = SettingsStamp(state.settingsFile);
    state.loaded = true;
}

LogSettings SettingsForWrite()
{
    State& state = Shared();
    std::lock_guard<CriticalSection> guard(state.lock);
    if (!state.loaded || (state.monitor && SettingsStamp(state.settingsFile) != state.settingsStamp))
        Reload(state);
    return state.settings;
}

std::wstring ProgramName()
{
    std::wstring name = ModuleName(nullptr);
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? name : name.substr(0, dot);
}

// An entry line is indented by the depth before it, an exit line by the
// depth after it, so that both lines of one function align.
unsigned IndentFor(WORD kind, DWORD maxDepth)
{
    const DWORD slot = Shared().depthSlot;
    if (slot == TLS_OUT_OF_INDEXES)
        return 0;
    uintptr_t depth = reinterpret_cast<uintptr_t>(TlsGetValue(slot));
    const uintptr_t indent = kind == logging::abi::line_kind::FunctionExit && depth > 0 ? depth - 1 : depth;
    if (kind == logging::abi::line_kind::FunctionEntry)
        TlsSetValue(slot, reinterpret_cast<void*>(depth + 1));
    else if (kind == logging::abi::line_kind::FunctionExit && depth > 0)
        TlsSetValue(slot, reinterpret_cast<void*>(depth - 1));
    return static_cast<unsigned>(indent < maxDepth ? indent : maxDepth);
}

HRESULT Emit(const LogSettings& settings, LineParts& parts)
{
    GetLocalTime(&parts.time);
    parts.processId = GetCurrentProcessId();
    parts.threadId = GetCurrentThreadId();
    const std::string line = ComposeLine(parts);
    if (settings.type & output::Debugger) {
        const std::wstring text = parts.function + L": " + parts.message + L"\n";
        OutputDebugStringW(text.c_str());
    }
    if (!(settings.type & output::File))
        return S_OK;

    common::CreateDirectories(settings.folder);
    std::wstring base = settings.folder + L"\\" + ProgramName();
    if (settings.mode == file_mode::PerProcess)
        base += L"-" + std::to_wstring(GetCurrentProcessId());
    const DWORD error = common::AppendLocked(base + L".log", line, settings.maxSize, base + L".old.log");
    return error == 0 ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace

void Initialize()
{
    State& state = Shared();
    std::lock_guard<CriticalSection> guard(state.lock);
    Reload(state);
}

void Deinitialize()
{
    State& state = Shared();
    std::lock_guard<CriticalSection> guard(state.lock);
    state.monitor = false;
}

void ApplySettings() { Initialize(); }

void SetSettingsFile(const wchar_t* path)
{
    State& state = Shared();
    std::lock_guard<CriticalSection> guard(state.lock);
    state.settingsFile = path != nullptr ? path : L"";
    Reload(state);
}

void MonitorSettings(bool monitor)
{
    State& state = Shared();
    std::lock_guard<CriticalSection> guard(state.lock);
    if (!state.loaded)
        Reload(state);
    state.monitor = monitor;
}

void ChangeSettings(void (*change)(LogSettings&, DWORD), DWORD value)
{
    State& state = Shared();
    std::lock_guard<CriticalSection> guard(state.lock);
    if (!state.loaded)
        Reload(state);
    change(state.settings, value);
}

void SetFolder(const wchar_t* folder)
{
    State& state = Shared();
    std::lock_guard<CriticalSection> guard(state.lock);
    if (!state.loaded)
        Reload(state);
    if (folder != nullptr && *folder != L'\0')
        state.settings.folder = folder;
}

LogSettings CurrentSettings() { return SettingsForWrite(); }

HRESULT WriteLine(WORD kind, DWORD level, HMODULE module, const wchar_t* function, const wchar_t* format,
                  va_list args)
{
    const LogSettings settings = SettingsForWrite();
    const unsigned indent = IndentFor(kind, settings.depth);
    if (!settings.enabled || (level & settings.levels) == 0)
        return S_FALSE;
    LineParts parts;
    parts.level = LevelName(level);
    parts.module = ModuleName(module);
    parts.function = function != nullptr ? function : L"";
    parts.indent = indent;
    parts.message = FormatMessageText(format, args);
    return Emit(settings, parts);
}

HRESULT WriteEvent(const wchar_t* name, const wchar_t* data)
{
    const LogSettings settings = SettingsForWrite();
    if (!settings.enabled)
        return S_FALSE;
    LineParts parts;
    parts.level = L"EVENT";
    parts.module = ModuleName(nullptr);
    parts.function = name != nullptr ? name : L"";
    parts.message = data != nullptr ? data : L"";
    return Emit(settings, parts);
}

}  // namespace log
}  // namespace standin

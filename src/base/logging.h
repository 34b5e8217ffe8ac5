#pragma once
// Diagnostics (never console output) go to the agent's logging library
// through a process-wide, reference-counted bridge. When the library is
// absent every call returns at once.
#include "base/log_library.h"

#include <cstdarg>
#include <cstdint>
#include <string>

namespace logging {

// Levels handed to the logging library with each line.
namespace level {
constexpr uint32_t Failure = 4;
constexpr uint32_t Detail = 8;
constexpr uint32_t Info = 16;
constexpr uint32_t Dump = 32;
}  // namespace level

// A holder's share of the process-wide bridge. The bridge (and with it the
// logging library) lives while any holder has a reference; the last release
// destroys it. Any thread may acquire and release.
class BridgeReference {
public:
    BridgeReference() = default;
    ~BridgeReference() { Release(); }
    BridgeReference(const BridgeReference&) = delete;
    BridgeReference& operator=(const BridgeReference&) = delete;

    // Points this holder at the shared bridge, creating it if nobody holds it.
    void Acquire();
    // Gives back every reference this holder took.
    void Release();

    const CLogDLL* Bridge() const { return bridge_; }
    unsigned Count() const { return count_; }

private:
    CLogDLL* bridge_ = nullptr;
    unsigned count_ = 0;
};

// Holds one bridge reference for its own lifetime.
class ScopedBridgeReference {
public:
    ScopedBridgeReference() { reference_.Acquire(); }
    const CLogDLL* Bridge() const { return reference_.Bridge(); }

private:
    BridgeReference reference_;
};

// True while anybody holds a reference on the bridge (the log is active).
bool BridgeAvailable();

// Hands one line to the library's write entry, arguments unchanged.
HRESULT WriteLine(const CLogDLL* bridge, WORD kind, const DWORD* level, HMODULE module, const wchar_t* function,
                  const wchar_t* format, ...);
HRESULT WriteLineV(const CLogDLL* bridge, WORD kind, const DWORD* level, HMODULE module, const wchar_t* function,
                   const wchar_t* format, va_list args);

// Writes one line when the log is active (taking a reference for the write).
// The format is wide printf-style; %s takes a wide string.
void Diagnostic(uint32_t level, const wchar_t* function, const wchar_t* format, ...);

namespace test_hooks {
// Bridges created from now on load this file instead of log.dll beside the
// console (empty: back to the default). Tests only.
void SetLibraryPath(const std::wstring& path);
}  // namespace test_hooks

}  // namespace logging

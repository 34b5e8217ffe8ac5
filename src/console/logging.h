#pragma once
// Diagnostics (never console output) go to the agent's logging library
// through a process-wide, reference-counted bridge. When the library is
// absent every call returns at once.
#include <cstdint>

namespace logging {

// Levels handed to the logging library with each line.
namespace level {
constexpr uint32_t Failure = 4;
constexpr uint32_t Detail = 8;
constexpr uint32_t Info = 16;
constexpr uint32_t Dump = 32;
}  // namespace level

// True while anybody holds a reference on the bridge (the log is active).
bool BridgeAvailable();

// Writes one line when the log is active (taking a reference for the write).
// The format is wide printf-style; %s takes a wide string.
void Diagnostic(uint32_t level, const wchar_t* function, const wchar_t* format, ...);

}  // namespace logging

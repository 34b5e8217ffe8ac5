#pragma once
// Settings of the guard's trace log: which outputs are on, and whether lines
// are written readable. Read from an optional "dbg_trace.ini".
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dllguard::trace {

// Bits of the level word: one per output.
namespace output {
constexpr uint32_t Debugger = 0x1;
constexpr uint32_t LogFile = 0x2;
constexpr uint32_t ProcessMonitor = 0x4;
constexpr uint32_t EventTracing = 0x8;
}  // namespace output

// Four bytes that start as the program's code; a "key" line that carries the
// same code turns them to zero, which makes the lines readable.
using AccessWord = std::array<uint8_t, 4>;

struct TraceSettings {
    uint32_t level = 0;
    AccessWord access{};
};

// Applies the lines of a settings file (each cut to 511 characters) to
// settings whose access word starts as `code`.
TraceSettings ParseTraceSettings(std::string_view text, const AccessWord& code);

// The byte every character of a line is XOR-combined with; 0 leaves lines as
// they are (always so for a zero access word).
uint8_t ScrambleByte(const AccessWord& access);

// The program's own code.
const AccessWord& ProgramAccessCode();

// "\dbg_trace.ini" on the current drive, then "dbg_trace.ini" beside the
// executable (left out when that path would reach 260 characters).
std::vector<std::wstring> DefaultSettingsFiles();

// The content of the first candidate that can be opened; false when none can.
bool ReadSettingsFile(const std::vector<std::wstring>& candidates, std::string& text);

}  // namespace dllguard::trace

#pragma once
// One trace line: "[tick][thread] x ", the caller's prefix, the text and a
// line feed, cut to the size one output call may carry.
#include <cstdint>
#include <string>
#include <string_view>

namespace dllguard::trace {

// Longest line, line feed included.
constexpr size_t kMaxLineLength = 8191;

std::string BuildLine(uint32_t tickCount, uint32_t threadId, std::string_view prefix, std::string_view text);
std::wstring BuildLine(uint32_t tickCount, uint32_t threadId, std::wstring_view prefix, std::wstring_view text);

// XOR-combines every character with `key` (0 leaves the text as it is).
void Scramble(std::string& text, uint8_t key);
void Scramble(std::wstring& text, uint8_t key);

}  // namespace dllguard::trace

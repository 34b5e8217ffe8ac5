#pragma once
// All console output goes through here. Commands and notification handlers on
// other threads write whole pieces of text under one lock, so two lines never
// mix within a line.
//
// A pipe or file gets the wide output stream's bytes (UTF-8, "\n" as CR LF).
// A console gets the same characters through WriteConsoleW: the runtime's
// per-character wide output shows nothing on some consoles.
#include <string_view>

namespace console {

// Writes text as it is (no line end added) and flushes.
void Write(std::wstring_view text);
// Writes text to standard error the same way (for tools; the console itself
// writes nothing there).
void WriteError(std::wstring_view text);
// Writes text followed by a line end, as one piece.
void WriteLine(std::wstring_view text = {});

}  // namespace console

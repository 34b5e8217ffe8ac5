#pragma once
// All console output goes through the wide standard output stream. Commands
// and notification handlers on other threads write whole pieces of text under
// one lock, so two lines never mix within a line.
#include <string_view>

namespace console {

// Writes text as it is (no line end added) and flushes.
void Write(std::wstring_view text);
// Writes text followed by a line end, as one piece.
void WriteLine(std::wstring_view text = {});

}  // namespace console

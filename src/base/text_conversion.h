#pragma once
// Conversions between the UTF-16 text of the console and the UTF-8 text of
// the agent's documents (code page 65001).
#include <string>
#include <string_view>

// A failed or empty conversion gives an empty string.
std::string WideToUtf8(std::wstring_view text);
// Invalid bytes become replacement characters (U+FFFD).
std::wstring Utf8ToWide(std::string_view text);
// Invalid bytes make the whole result empty.
std::wstring Utf8ToWideStrict(std::string_view text);

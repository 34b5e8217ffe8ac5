#pragma once
// Where the worker's text goes: a file, standard output, standard error.
#include <windows.h>

#include <string>
#include <string_view>

namespace standin {
namespace history {

// Replaces the file with the UTF-8 text. Returns the system error code.
DWORD WriteTextFile(const std::wstring& path, std::string_view utf8);

// Writes UTF-8 text to a standard handle (STD_OUTPUT_HANDLE or
// STD_ERROR_HANDLE): as wide text to a console, as bytes to a file or pipe.
// Returns the system error code; ERROR_INVALID_HANDLE when the process has
// no such handle.
DWORD WriteStandard(DWORD which, std::string_view utf8);

// A message line for the administrator on standard error.
void ReportError(const std::wstring& message);

// The system's text for an error code, ending in "(error <n>)".
std::wstring ErrorText(DWORD error);

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

}  // namespace history
}  // namespace standin

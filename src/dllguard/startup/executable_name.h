#pragma once
// The running executable's file name and directory, as the guard's start-up
// and switches use them.
#include <windows.h>

#include <string>

namespace dllguard {

constexpr DWORD kExecutableNameUnavailable = 1627;  // ERROR_FUNCTION_FAILED

// 0 and the final component of the executable's module path (for example
// "Product.Console.exe"); kExecutableNameUnavailable and an empty name when
// the path cannot be read or fills the whole 260-character buffer.
DWORD ExecutableFileName(std::wstring& name);

// The directory part of the module path; empty when it cannot be read.
std::wstring ExecutableDirectory();

}  // namespace dllguard

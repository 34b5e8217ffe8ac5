#pragma once
// The entry through which the guard itself loads libraries: the system's
// LoadLibraryExW, until the load hooks put their trampoline here so that the
// guard's own loads bypass its checks.
#include <windows.h>

namespace dllguard {

using LoadLibraryExWFunction = HMODULE(WINAPI*)(LPCWSTR name, HANDLE file, DWORD flags);

LoadLibraryExWFunction TrueLoadLibraryExW();
// Null puts the system's function back.
void SetTrueLoadLibraryExW(LoadLibraryExWFunction function);

}  // namespace dllguard

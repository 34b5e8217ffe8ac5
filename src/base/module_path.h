#pragma once
// The file name of a loaded module, asked of the system once for every caller.
#include <windows.h>

#include <string>

// The longest path the system hands out, in characters, without its null.
constexpr DWORD kLongestModulePath = 32767;

// The full path of `module` (null: the executable). Empty when the system
// gives none or when the path needs `limit` characters or more: a caller
// that keeps to MAX_PATH passes MAX_PATH and gets no cut-off path.
std::wstring ModuleFileName(HMODULE module, DWORD limit = kLongestModulePath + 1);

// The folder part of a path, without its last separator ("\" or "/");
// empty when there is none.
std::wstring FolderOf(const std::wstring& path);

// The folder of `path` with a trailing backslash, as PathRemoveFileSpecW and
// PathAddBackslashW leave it.
std::wstring FolderWithBackslash(std::wstring path);

// The module that holds this code (the executable, or the library it is linked into).
HMODULE ModuleOfThisCode();

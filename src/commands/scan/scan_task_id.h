#pragma once
// Task identifiers of on-demand scans: 36 lower-case hexadecimal characters
// in five groups, made from a new GUID.
#include <windows.h>

#include <string>

// Groups 1 to 3 are Data1, Data2 and Data3; groups 4 and 5 are the top 16 and
// the low 48 bits of the eight Data4 bytes read as one little-endian number.
std::wstring FormatTaskId(const GUID& guid);

// False when no GUID could be made; `taskId` is then left as it was.
[[nodiscard]] bool NewTaskId(std::wstring& taskId);

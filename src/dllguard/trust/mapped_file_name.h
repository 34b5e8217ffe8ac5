#pragma once
// The device path of the file mapped at an address, asked for with a buffer
// that starts at 200 characters and doubles, up to 32767, while the answer
// is "insufficient buffer".
#include <windows.h>

#include <functional>
#include <string>

namespace dllguard {

constexpr DWORD kMappedNameFirstSize = 200;
constexpr DWORD kMappedNameMaxSize = 32767;

// K32GetMappedFileNameW's contract: the length written, or 0 with the last error set.
using MappedFileNameQuery = std::function<DWORD(void* address, wchar_t* buffer, DWORD size)>;

DWORD QueryMappedFileNameOfProcess(void* address, wchar_t* buffer, DWORD size);

// False (with the last error of the final attempt) when no answer came.
bool MappedFileName(void* address, std::wstring& name,
                    const MappedFileNameQuery& query = QueryMappedFileNameOfProcess);

}  // namespace dllguard

#pragma once
// The wide form of a narrow file name as the system's own narrow file
// functions read it: in the process's ANSI code page, or in the OEM code
// page after SetFileApisToOEM.
#include <string>

namespace dllguard {

// False when the name cannot be converted (then only the system's own
// narrow function can give the caller its answer).
bool FileApiNameToWide(const char* name, std::wstring& wide);

}  // namespace dllguard

#pragma once
// The four directories the trust checks compare against, resolved once
// before the guard starts and only read afterwards.
#include <string>

namespace dllguard {

struct GuardDirectories {
    std::wstring system32;
    std::wstring windows;
    std::wstring executable;    // directory part of the running executable's path
    std::wstring programFiles;  // "ProgramFiles"; empty when unset
};

GuardDirectories ResolveGuardDirectories();

}  // namespace dllguard

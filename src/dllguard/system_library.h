#pragma once
// Functions of system libraries the guard itself uses (trust verification,
// version resources). They are loaded from System32 only, at first use,
// rather than imported: an import would be resolved through the search
// path, beside the executable first, before the guard could look at it.
#include <windows.h>

namespace dllguard {

// Null when the library or the function is missing.
FARPROC LookupSystemLibraryFunction(const wchar_t* library, const char* function);

template <class Function>
Function SystemLibraryFunction(const wchar_t* library, const char* function)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(LookupSystemLibraryFunction(library, function)));
}

}  // namespace dllguard

#include "dllguard/system_library.h"

namespace dllguard {

FARPROC LookupSystemLibraryFunction(const wchar_t* library, const char* function)
{
    // Left loaded for the life of the process: the guard's checks may run
    // until it ends. A load with exactly this flag passes the load hooks untouched.
    const HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? GetProcAddress(module, function) : nullptr;
}

}  // namespace dllguard

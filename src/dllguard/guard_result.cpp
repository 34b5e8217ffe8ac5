#include "dllguard/guard_result.h"

#include <iterator>

namespace dllguard {

const char* GuardResultName(int code)
{
    static const char* const names[] = {
        "SUCCESS",
        "INIT_DETOUR_FAILED",
        "LOAD_FAILED",
        "GETPATH_FAILED",
        "GETMAPPEDFILE_FAILED",
        "VULNERABLE_PATH",
        "VULNERABLE_PATH_NTCREATE_SECTION",
        "INVALID_SIGNATURE",
        "RECURSIVE_DLL_LOAD_LOADLIBRARY",
        "RECURSIVE_DLL_LOAD_NTCREATESECTION",
        "DLL_BLOCKED",
    };
    if (code < 0 || code >= static_cast<int>(std::size(names)))
        return "UNKNOWN";
    return names[code];
}

}  // namespace dllguard

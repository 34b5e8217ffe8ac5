#include "dllguard/startup/executable_name.h"

#include "base/module_path.h"

namespace dllguard {
namespace {

bool ExecutablePath(std::wstring& path)
{
    // A path that fills MAX_PATH counts as none.
    path = ModuleFileName(nullptr, MAX_PATH);
    return !path.empty();
}

}  // namespace

DWORD ExecutableFileName(std::wstring& name)
{
    name.clear();
    std::wstring path;
    if (!ExecutablePath(path))
        return kExecutableNameUnavailable;
    const size_t separator = path.find_last_of(L"\\/");
    name = separator == std::wstring::npos ? path : path.substr(separator + 1);
    return 0;
}

std::wstring ExecutableDirectory()
{
    std::wstring path;
    if (!ExecutablePath(path))
        return {};
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

}  // namespace dllguard

#include "dllguard/startup/executable_name.h"

namespace dllguard {
namespace {

bool ExecutablePath(std::wstring& path)
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    path.assign(buffer, length);
    return true;
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

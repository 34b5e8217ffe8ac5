#include "base/module_path.h"

#include <shlwapi.h>

#include <cwchar>
#include <vector>

std::wstring ModuleFileName(HMODULE module, DWORD limit)
{
    std::vector<wchar_t> buffer(limit);
    const DWORD length = GetModuleFileNameW(module, buffer.data(), limit);
    if (length == 0 || length >= limit)
        return {};
    return std::wstring(buffer.data(), length);
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

std::wstring FolderWithBackslash(std::wstring path)
{
    path.append(2, L'\0');  // room for the backslash and its null
    PathRemoveFileSpecW(path.data());
    PathAddBackslashW(path.data());
    path.resize(std::wcslen(path.c_str()));
    return path;
}

HMODULE ModuleOfThisCode()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleOfThisCode), &module);
    return module;
}

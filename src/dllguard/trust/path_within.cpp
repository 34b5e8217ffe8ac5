#include "dllguard/trust/path_within.h"

#include "base/system_text.h"

#include <windows.h>

namespace dllguard {
namespace {

// "\\?\C:\x" and "\??\C:\x" become "C:\x"; "\\?\UNC\s\x" becomes "\\s\x".
std::wstring WithoutNamespacePrefix(std::wstring_view path)
{
    for (std::wstring_view prefix : {std::wstring_view(L"\\\\?\\"), std::wstring_view(L"\\??\\")}) {
        if (path.substr(0, prefix.size()) != prefix)
            continue;
        path.remove_prefix(prefix.size());
        if (path.size() >= 4 && CompareStringOrdinal(path.data(), 4, L"UNC\\", 4, TRUE) == CSTR_EQUAL)
            return L"\\\\" + std::wstring(path.substr(4));
        return std::wstring(path);
    }
    return std::wstring(path);
}

bool IsDirectory(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Both normalised.
bool Continues(const std::wstring& candidate, const std::wstring& base)
{
    if (base.empty() || candidate.size() <= base.size())
        return false;
    if (CompareStringOrdinal(candidate.data(), static_cast<int>(base.size()), base.data(),
                             static_cast<int>(base.size()), TRUE) != CSTR_EQUAL)
        return false;
    // The next character must start a new component ("C:\\Windows2" is not in "C:\\Windows").
    return base.back() == L'\\' || candidate[base.size()] == L'\\';
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::wstring NormalisePath(std::wstring_view path)
{
    const std::wstring plain = WithoutNamespacePrefix(path);
    if (plain.empty())
        return {};
    std::wstring full =
        SystemText([&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(plain.c_str(), size, buffer, nullptr); });
    if (full.empty())
        return {};
    for (wchar_t& c : full) {
        if (c == L'/')
            c = L'\\';
    }
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return full;
}

bool LiesWithin(std::wstring_view file, std::wstring_view directory)
{
    const std::wstring base = NormalisePath(directory);
    return Continues(NormalisePath(file), base) && IsDirectory(base);
}

bool PathContinues(std::wstring_view file, std::wstring_view directory)
{
    return Continues(NormalisePath(file), NormalisePath(directory));
}

bool IsFullyQualifiedPath(std::wstring_view path)
{
    if (path.size() >= 2 && IsSeparator(path[0])) {
        const bool device = path.size() >= 4 && (path[2] == L'?' || path[2] == L'.') && IsSeparator(path[3]);
        return IsSeparator(path[1]) && !device;
    }
    const wchar_t drive = static_cast<wchar_t>(path.empty() ? 0 : path[0] | 0x20);
    return path.size() >= 3 && drive >= L'a' && drive <= L'z' && path[1] == L':' && IsSeparator(path[2]);
}

std::wstring LongPathForm(const std::wstring& path)
{
    if (path.find(L'~') == std::wstring::npos)
        return path;
    return SystemText([&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(path.c_str(), buffer, size); });
}

}  // namespace dllguard

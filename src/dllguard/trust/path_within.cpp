#include "dllguard/trust/path_within.h"

#include "base/system_text.h"

#include <windows.h>

#include <algorithm>

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

namespace {

bool IsCanonicalComponent(std::wstring_view component)
{
    if (component.empty() || component == L"." || component == L".." || component.back() == L'.' ||
        component.back() == L' ')
        return false;
    for (wchar_t c : component) {
        if (c < 0x20 || std::wstring_view(L"<>:\"/|?*").find(c) != std::wstring_view::npos)
            return false;
    }
    return true;
}

// Where the components after the root begin: "C:\" or "\\server\share\"
// (server and share being components themselves); npos for any other start.
size_t ComponentsStart(std::wstring_view path)
{
    const wchar_t drive = static_cast<wchar_t>(path.empty() ? 0 : path[0] | 0x20);
    if (path.size() >= 3 && drive >= L'a' && drive <= L'z' && path[1] == L':' && path[2] == L'\\')
        return 3;
    if (path.size() < 2 || path[0] != L'\\' || path[1] != L'\\')
        return std::wstring_view::npos;
    const size_t server = path.find(L'\\', 2);
    const size_t share = server == std::wstring_view::npos ? server : path.find(L'\\', server + 1);
    if (share == std::wstring_view::npos || !IsCanonicalComponent(path.substr(2, server - 2)) ||
        !IsCanonicalComponent(path.substr(server + 1, share - server - 1)))
        return std::wstring_view::npos;
    return share + 1;
}

}  // namespace

bool IsCanonicalPath(std::wstring_view path)
{
    size_t at = ComponentsStart(path);
    if (at == std::wstring_view::npos || at == path.size())
        return false;
    while (at <= path.size()) {
        const size_t end = std::min(path.find(L'\\', at), path.size());
        if (!IsCanonicalComponent(path.substr(at, end - at)))
            return false;
        at = end + 1;
    }
    const std::wstring whole(path);
    if (NormalisePath(whole) != whole)
        return false;
    if (whole.find(L'~') == std::wstring::npos)
        return true;
    const std::wstring longForm = LongPathForm(whole);
    return !longForm.empty() && CompareStringOrdinal(longForm.c_str(), -1, whole.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring LongPathForm(const std::wstring& path)
{
    if (path.find(L'~') == std::wstring::npos)
        return path;
    return SystemText([&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(path.c_str(), buffer, size); });
}

}  // namespace dllguard

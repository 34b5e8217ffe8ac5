#include "base/text_conversion.h"

#include <windows.h>

#include <climits>

namespace {

std::wstring Utf8ToWideWithFlags(std::string_view text, DWORD flags)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
    if (needed <= 0)
        return {};
    std::wstring result(static_cast<size_t>(needed), L'\0');
    if (MultiByteToWideChar(CP_UTF8, flags, text.data(), size, result.data(), needed) != needed)
        return {};
    return result;
}

}  // namespace

std::string WideToUtf8(std::wstring_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string result(static_cast<size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), needed, nullptr, nullptr) != needed)
        return {};
    return result;
}

std::wstring Utf8ToWide(std::string_view text) { return Utf8ToWideWithFlags(text, 0); }

std::wstring Utf8ToWideStrict(std::string_view text) { return Utf8ToWideWithFlags(text, MB_ERR_INVALID_CHARS); }

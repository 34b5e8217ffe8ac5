#include "report_output.h"

#include "base/unique_resource.h"

namespace standin {
namespace history {

std::string ToUtf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                            nullptr);
    return utf8;
}

std::wstring FromUtf8(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<size_t>(size) : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

DWORD WriteTextFile(const std::wstring& path, std::string_view utf8)
{
    UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return GetLastError();
    DWORD written = 0;
    if (!WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr))
        return GetLastError();
    return written == utf8.size() ? 0 : ERROR_WRITE_FAULT;
}

DWORD WriteStandard(DWORD which, std::string_view utf8)
{
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return ERROR_INVALID_HANDLE;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = FromUtf8(utf8);
        DWORD written = 0;
        return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)
                   ? 0
                   : GetLastError();
    }
    DWORD written = 0;
    if (!WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr))
        return GetLastError();
    return written == utf8.size() ? 0 : ERROR_WRITE_FAULT;
}

void ReportError(const std::wstring& message) { WriteStandard(STD_ERROR_HANDLE, ToUtf8(message + L"\r\n")); }

std::wstring ErrorText(DWORD error)
{
    wchar_t buffer[1024] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        buffer, 1024, nullptr);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (!text.empty())
        text += L" ";
    return text + L"(error " + std::to_wstring(error) + L")";
}

}  // namespace history
}  // namespace standin

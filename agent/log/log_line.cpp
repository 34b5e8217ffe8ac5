#include "log_line.h"

#include <cstdio>
#include <vector>

namespace standin {
namespace log {

std::wstring LevelName(DWORD level)
{
    switch (level) {
    case 4:
        return L"ERROR";
    case 8:
        return L"DETAIL";
    case 16:
        return L"INFO";
    case 32:
        return L"TRACE";
    default:
        return L"L" + std::to_wstring(level);
    }
}

std::wstring FormatMessageText(const wchar_t* format, va_list args)
{
    if (format == nullptr)
        return {};
    // The C runtime's own formatter: %s in a wide format takes a wide string.
    va_list counting;
    va_copy(counting, args);
    const int length = _vscwprintf(format, counting);
    va_end(counting);
    if (length < 0)
        return format;
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    va_list formatting;
    va_copy(formatting, args);
    _vsnwprintf(text.data(), text.size(), format, formatting);
    va_end(formatting);
    text.back() = L'\0';

    std::wstring message(text.data());
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
        message.pop_back();
    std::wstring flat;
    flat.reserve(message.size());
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] == L'\r' && i + 1 < message.size() && message[i + 1] == L'\n')
            continue;
        if (message[i] == L'\r' || message[i] == L'\n')
            flat += L" | ";
        else
            flat += message[i];
    }
    return flat;
}

std::string ComposeLine(const LineParts& parts)
{
    wchar_t head[96];
    std::swprintf(head, 96, L"%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu:%lu] %-6ls ", parts.time.wYear,
                  parts.time.wMonth, parts.time.wDay, parts.time.wHour, parts.time.wMinute, parts.time.wSecond,
                  parts.time.wMilliseconds, static_cast<unsigned long>(parts.processId),
                  static_cast<unsigned long>(parts.threadId), parts.level.c_str());
    std::wstring line = head;
    line += parts.module.empty() ? L"-" : parts.module;
    line += L' ';
    line += parts.function.empty() ? L"-" : parts.function;
    line += L": ";
    line.append(parts.indent * 2, L' ');
    line += parts.message;
    line += L"\r\n";

    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(), size, nullptr,
                            nullptr);
    return utf8;
}

std::wstring ModuleName(HMODULE module)
{
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return {};
    std::wstring name(path.data(), length);
    const size_t slash = name.find_last_of(L"\\/");
    return slash == std::wstring::npos ? name : name.substr(slash + 1);
}

}  // namespace log
}  // namespace standin

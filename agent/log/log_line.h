#pragma once
// One log line:
//   2026-12-10 09:30:00.123 [1234:5678] INFO   Product.Console.exe CommandGetHistory::CreateWorkerProcess: StartProcess [...]
// local time, process and thread, level, the writer's module, its function
// and the message (indented by the depth of nested function traces).
#include <windows.h>

#include <cstdarg>
#include <string>

namespace standin {
namespace log {

struct LineParts {
    SYSTEMTIME time{};
    DWORD processId = 0;
    DWORD threadId = 0;
    std::wstring level;  // LevelName
    std::wstring module;
    std::wstring function;
    unsigned indent = 0;
    std::wstring message;
};

// "ERROR" (4), "DETAIL" (8), "INFO" (16), "TRACE" (32), else "L<n>".
std::wstring LevelName(DWORD level);

// The wide printf-style format with its arguments (%s takes a wide string).
// Line breaks inside become " | " and trailing ones are dropped, so one
// write stays one line.
std::wstring FormatMessageText(const wchar_t* format, va_list args);

// The line as UTF-8, ending in CR LF.
std::string ComposeLine(const LineParts& parts);

// The file name of a module without its folder ("Product.Console.exe").
std::wstring ModuleName(HMODULE module);

}  // namespace log
}  // namespace standin

#include "base/console_output.h"

#include <windows.h>

#include <iostream>
#include <mutex>
#include <string>

namespace console {
namespace {

std::mutex& OutputLock()
{
    static std::mutex lock;
    return lock;
}

// The standard handle when it is a console, else null. Decided once per
// stream: the standard handles do not change while the program runs.
HANDLE ConsoleOf(DWORD standardHandle)
{
    HANDLE handle = GetStdHandle(standardHandle);
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

HANDLE ConsoleOutput()
{
    static const HANDLE console = ConsoleOf(STD_OUTPUT_HANDLE);
    return console;
}

HANDLE ConsoleError()
{
    static const HANDLE console = ConsoleOf(STD_ERROR_HANDLE);
    return console;
}

// The characters a pipe receives: every "\n" becomes CR LF, as the runtime's
// text mode does.
std::wstring WithCrLf(std::wstring_view text)
{
    std::wstring translated;
    translated.reserve(text.size() + 8);
    for (const wchar_t c : text) {
        if (c == L'\n')
            translated += L'\r';
        translated += c;
    }
    return translated;
}

void WriteToConsole(HANDLE console, std::wstring_view text)
{
    const std::wstring translated = WithCrLf(text);
    const wchar_t* next = translated.data();
    size_t left = translated.size();
    while (left > 0) {
        // Large pieces in bounded calls, never splitting a surrogate pair.
        DWORD count = left > 8192 ? 8192 : static_cast<DWORD>(left);
        if (count < left && IS_HIGH_SURROGATE(next[count - 1]))
            --count;
        DWORD written = 0;
        if (!WriteConsoleW(console, next, count, &written, nullptr) || written == 0)
            return;  // nowhere else to report it
        next += written;
        left -= written;
    }
}

void WriteTo(HANDLE console, std::wostream& stream, std::wstring_view text)
{
    std::lock_guard<std::mutex> guard(OutputLock());
    if (console != nullptr) {
        WriteToConsole(console, text);
        return;
    }
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    stream.flush();
}

}  // namespace

void Write(std::wstring_view text) { WriteTo(ConsoleOutput(), std::wcout, text); }

void WriteError(std::wstring_view text) { WriteTo(ConsoleError(), std::wcerr, text); }

void WriteLine(std::wstring_view text)
{
    std::wstring line(text);
    line += L'\n';
    Write(line);
}

}  // namespace console

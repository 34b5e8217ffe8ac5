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

// The standard output handle when it is a console, else null. Decided once:
// the standard handles do not change while the program runs.
HANDLE ConsoleOutput()
{
    static const HANDLE console = [] {
        HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD mode = 0;
        return output != INVALID_HANDLE_VALUE && GetConsoleMode(output, &mode) ? output : nullptr;
    }();
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

}  // namespace

void Write(std::wstring_view text)
{
    std::lock_guard<std::mutex> guard(OutputLock());
    if (HANDLE console = ConsoleOutput()) {
        WriteToConsole(console, text);
        return;
    }
    std::wcout.write(text.data(), static_cast<std::streamsize>(text.size()));
    std::wcout.flush();
}

void WriteLine(std::wstring_view text)
{
    std::wstring line(text);
    line += L'\n';
    Write(line);
}

}  // namespace console

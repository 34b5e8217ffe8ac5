// with_environment NAME=VALUE ... -- <program> [arguments]: runs the program
// with those variables set in its environment, on this process's standard
// streams, and exits with its exit code. Wine sets ProgramData and a few
// others from its own registry for a process started from Linux; a child of
// a Windows process gets what its parent set, so a test can give the
// console a ProgramData of its own.
#include "base/unique_resource.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// One argument as CommandLineToArgvW reads it back.
void AppendQuoted(std::wstring& line, const std::wstring& argument)
{
    if (!line.empty())
        line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

HANDLE InheritableStandardHandle(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return handle;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int i = 1;
    for (; i < argc && std::wcscmp(argv[i], L"--") != 0; ++i) {
        const wchar_t* equals = std::wcschr(argv[i], L'=');
        if (equals == nullptr || equals == argv[i]) {
            std::fwprintf(stderr, L"with_environment: not NAME=VALUE: %ls\n", argv[i]);
            return 120;
        }
        const std::wstring name(argv[i], static_cast<size_t>(equals - argv[i]));
        SetEnvironmentVariableW(name.c_str(), equals + 1);
    }
    if (i + 1 >= argc) {
        std::fwprintf(stderr, L"usage: with_environment NAME=VALUE ... -- <program> [arguments]\n");
        return 120;
    }
    std::wstring line;
    for (int a = i + 1; a < argc; ++a)
        AppendQuoted(line, argv[a]);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = InheritableStandardHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = InheritableStandardHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = InheritableStandardHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(argv[i + 1], line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::fwprintf(stderr, L"with_environment: cannot start %ls: error %lu\n", argv[i + 1], GetLastError());
        return 121;
    }
    const UniqueHandle child(process.hProcess);
    const UniqueHandle thread(process.hThread);
    WaitForSingleObject(child.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.get(), &code);
    return static_cast<int>(code);
}

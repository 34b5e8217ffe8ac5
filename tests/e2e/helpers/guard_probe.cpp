// guard_probe: starts the DLL load guard exactly as the console does (its
// switches come from the environment and from the Image File Execution
// Options key of this executable's name), then runs the steps its arguments
// name and prints one line for each:
//   load <name>              LoadLibraryW
//   loadex <name> <flags>    LoadLibraryExW, flags in hexadecimal
//   loada <name>             LoadLibraryA
//   loadexa <name> <flags>   LoadLibraryExA
//   nested <name>            what the loaded library <name> saw when it loaded itself
//   env <name>               the value of an environment variable
//   report                   the report file the guard writes to
//   gate <file>              waits until <file> exists (to start several probes' loads at once)
// Each load starts with the last-error value kUntouchedError, so that a
// load refused without touching it shows that value.
#include "base/console_output.h"
#include "dllguard/report/event_reporting.h"
#include "dllguard/startup/guard_startup.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <cwchar>
#include <string>

namespace {

constexpr DWORD kUntouchedError = 4660;

std::wstring Outcome(HMODULE module)
{
    if (module == nullptr)
        return L"null, error " + std::to_wstring(GetLastError());
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return L"loaded " + std::wstring(path, length);
}

std::wstring EnvironmentValue(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return L"(unset)";
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

std::wstring Nested(const wchar_t* name)
{
    using NestedFunction = int (*)();
    const HMODULE module = GetModuleHandleW(name);
    const auto nested =
        module ? reinterpret_cast<NestedFunction>(reinterpret_cast<void*>(GetProcAddress(module, "GuardProbeNested")))
               : nullptr;
    if (nested == nullptr)
        return L"not loaded";
    return nested() ? L"same module" : L"failed";
}

std::string AnsiName(const wchar_t* name)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, name, -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

DWORD Flags(const wchar_t* text) { return std::wcstoul(text, nullptr, 16); }

HMODULE Load(const std::wstring& step, const wchar_t* name, const wchar_t* flags)
{
    // As a program built for the ANSI code page passes it.
    const std::string narrow = AnsiName(name);
    SetLastError(kUntouchedError);
    if (step == L"load")
        return LoadLibraryW(name);
    if (step == L"loada")
        return LoadLibraryA(narrow.c_str());
    if (step == L"loadex")
        return LoadLibraryExW(name, nullptr, Flags(flags));
    return LoadLibraryExA(narrow.c_str(), nullptr, Flags(flags));
}

// Runs the step at argv[i]; returns how many arguments it took, 0 for an unknown step.
int Step(int i, int argc, wchar_t** argv)
{
    const std::wstring step = argv[i];
    const bool hasName = i + 1 < argc;
    const bool hasFlags = i + 2 < argc;
    if (((step == L"load" || step == L"loada") && hasName) || ((step == L"loadex" || step == L"loadexa") && hasFlags)) {
        const bool withFlags = step == L"loadex" || step == L"loadexa";
        const HMODULE module = Load(step, argv[i + 1], withFlags ? argv[i + 2] : nullptr);
        console::WriteLine(step + L" " + argv[i + 1] + L": " + Outcome(module));
        return withFlags ? 3 : 2;
    }
    if (step == L"nested" && hasName) {
        console::WriteLine(L"nested: " + Nested(argv[i + 1]));
        return 2;
    }
    if (step == L"env" && hasName) {
        console::WriteLine(std::wstring(argv[i + 1]) + L": " + EnvironmentValue(argv[i + 1]));
        return 2;
    }
    if (step == L"gate" && hasName) {
        while (GetFileAttributesW(argv[i + 1]) == INVALID_FILE_ATTRIBUTES)
            Sleep(1);
        console::WriteLine(L"gate open");
        return 2;
    }
    if (step == L"report") {
        console::WriteLine(L"report: " + dllguard::GuardEvents().ReportFile());
        return 1;
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    GuardStartupState guard;
    StartDllGuard(guard);
    _setmode(_fileno(stdout), _O_U8TEXT);

    console::WriteLine(std::wstring(L"started: ") + (guard.started ? L"1" : L"0"));
    int exitCode = 0;
    for (int i = 1; i < argc;) {
        const int taken = Step(i, argc, argv);
        if (taken == 0) {
            console::WriteLine(L"unknown step: " + std::wstring(argv[i]));
            exitCode = 2;
            break;
        }
        i += taken;
    }
    StopDllGuard(guard);
    return exitCode;
}

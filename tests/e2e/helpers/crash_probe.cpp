// A test build that enables crash reporting the way the console does, then
// crashes on purpose: "access" (an access violation) or "abort".
#include "console/crash_handler.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    const bool enabled = LoadCrashHandler(nullptr, nullptr) != nullptr;
    std::wprintf(L"crash reporting %ls\n", enabled ? L"on" : L"off");
    std::fflush(stdout);
    if (argc > 1 && std::wcscmp(argv[1], L"abort") == 0)
        std::abort();
    if (argc > 1 && std::wcscmp(argv[1], L"access") == 0) {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
    return 0;
}

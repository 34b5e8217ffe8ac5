// ConsoleCancel.exe: asks every running Product.Console on this machine to
// cancel the command it is running, through the consoles' machine-wide named
// event. Each console acts on it once in its life.
//
//   ConsoleCancel.exe          set the event, then clear it again
//   ConsoleCancel.exe --keep   leave it set (consoles starting later cancel too)
//
// Exit codes: 0 done (or no console running), otherwise the Windows error.
#include "console/instance_observer.h"

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--keep") == 0) {
            keep = true;
        } else {
            std::fwprintf(stderr, L"usage: ConsoleCancel.exe [--keep]\n");
            return ERROR_INVALID_PARAMETER;
        }
    }
    UniqueHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, Product::InstanceControl::ConsoleEventName));
    if (!event) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            std::wprintf(L"No console is running.\n");
            return 0;
        }
        std::fwprintf(stderr, L"Cannot open the consoles' event (error %lu).\n", error);
        return static_cast<int>(error);
    }
    if (!SetEvent(event.get())) {
        const DWORD error = GetLastError();
        std::fwprintf(stderr, L"Cannot set the consoles' event (error %lu).\n", error);
        return static_cast<int>(error);
    }
    if (!keep) {
        // A manual-reset event releases every waiting console at once; clear it
        // so that consoles started later are not cancelled as they start.
        Sleep(500);
        ResetEvent(event.get());
    }
    std::wprintf(L"Cancel requested.\n");
    return 0;
}

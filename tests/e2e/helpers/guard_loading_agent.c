/* An agent integration library (tesdk.dll) for the guard's end-to-end
 * tests: asked for an instance, it loads the libraries named in
 * GUARD_AGENT_LOADS ("|" between names) with LoadLibraryW, one after the
 * other, and appends one UTF-8 line per load to the file GUARD_AGENT_LOG
 * names: "<name>: loaded <path>" or "<name>: null, error <n>". The last
 * error is set to 4660 before each load, so that a load refused without
 * touching it shows that value. Then it refuses the instance with 1, and the
 * console ends with that code: what its guard did is all the tests look at. */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <wchar.h>

#define UNTOUCHED_ERROR 4660
#define MAX_NAMES 8192

static void Append(HANDLE log, const wchar_t* line)
{
    char text[3 * MAX_NAMES];
    const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, text, sizeof text, NULL, NULL);
    DWORD written = 0;
    if (size > 1)
        WriteFile(log, text, (DWORD)(size - 1), &written, NULL);
}

static void LoadEach(wchar_t* names, HANDLE log)
{
    for (wchar_t* name = names; *name != L'\0';) {
        wchar_t* const end = name + wcscspn(name, L"|");
        const int last = *end == L'\0';
        *end = L'\0';
        wchar_t line[2 * MAX_NAMES];
        SetLastError(UNTOUCHED_ERROR);
        const HMODULE module = LoadLibraryW(name);
        if (module != NULL) {
            wchar_t path[MAX_PATH] = L"";
            GetModuleFileNameW(module, path, MAX_PATH);
            swprintf(line, sizeof line / sizeof line[0], L"%ls: loaded %ls\n", name, path);
        } else {
            swprintf(line, sizeof line / sizeof line[0], L"%ls: null, error %lu\n", name, GetLastError());
        }
        Append(log, line);
        name = last ? end : end + 1;
    }
}

__declspec(dllexport) uint32_t TESDK_GetInstance(void** instance, const void* params)
{
    (void)params;
    *instance = NULL;
    wchar_t names[MAX_NAMES];
    wchar_t logPath[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"GUARD_AGENT_LOADS", names, MAX_NAMES);
    if (length == 0 || length >= MAX_NAMES || GetEnvironmentVariableW(L"GUARD_AGENT_LOG", logPath, MAX_PATH) == 0)
        return 1;
    const HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return 1;
    LoadEach(names, log);
    CloseHandle(log);
    return 1;
}

__declspec(dllexport) void TESDK_ReleaseInstance(void* instance) { (void)instance; }

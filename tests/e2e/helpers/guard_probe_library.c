/* Libraries for the guard's end-to-end tests: a plain unsigned one and, built
   with LOAD_ITSELF, one that loads itself again, by its own path, while it is
   being loaded. */
#include <windows.h>

static HMODULE self;
static HMODULE nested;

__declspec(dllexport) int GuardProbeAnswer(void) { return 42; }

/* 1 when the nested load gave this very module. */
__declspec(dllexport) int GuardProbeNested(void) { return nested != NULL && nested == self; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    self = instance;
#ifdef LOAD_ITSELF
    {
        wchar_t path[MAX_PATH];
        const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            nested = LoadLibraryW(path); /* kept: the module stays until the process ends */
    }
#endif
    return TRUE;
}

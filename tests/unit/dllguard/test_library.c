/* A library for the trust-check tests: loadable, with nothing to run. */
#include <windows.h>

__declspec(dllexport) int GuardTestAnswer(void) { return 42; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

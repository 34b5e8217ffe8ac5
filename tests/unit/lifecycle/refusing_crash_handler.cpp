// A crash-handler library that offers an abort handler but refuses to enable
// itself (or, when built with ACCEPTS, enables itself).
#include <cstdint>

extern "C" {

__declspec(dllexport) int EnableCrashHandler(uintptr_t, uintptr_t, uintptr_t)
{
#ifdef ACCEPTS
    return 0;
#else
    return 1;
#endif
}

__declspec(dllexport) void SignalHandler(int) {}

}  // extern "C"

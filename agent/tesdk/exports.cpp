// The library's exports.
#include "hub.h"

extern "C" {

__declspec(dllexport) uint32_t TESDK_GetInstance(cv::tesdk::ISdkInstance** instance,
                                                 const cv::tesdk::SdkInitParams* params)
{
    if (instance == nullptr || params == nullptr || params->size != sizeof(cv::tesdk::SdkInitParams))
        return 87;  // ERROR_INVALID_PARAMETER
    return standin::Hub::Get().CreateInstance(instance);
}

__declspec(dllexport) void TESDK_ReleaseInstance(cv::tesdk::ISdkInstance* instance)
{
    standin::Hub::Get().ReleaseInstance(instance);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    // Unloaded by FreeLibrary (not process exit): no thread of ours runs any
    // more, since the delivery thread keeps the library loaded while it lives.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        standin::Hub::Destroy();
    return TRUE;
}

}  // extern "C"

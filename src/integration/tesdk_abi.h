#pragma once
// The binary contract of the agent's integration library (tesdk.dll). The
// library is a closed component; these declarations are what the console
// passes and relies on. All text crossing it is UTF-8, NUL-terminated.
#include <cstdint>

namespace cv {
namespace tesdk {

struct SdkInitParams {
    uint64_t size;              // 16
    const char* configuration;  // always empty text
};

// Callbacks the library calls on its own threads, context first.
using NotificationCallback = void (*)(void* context, const char* name, const char* data);
using ResponseCallback = void (*)(void* context, const char* requestId, uint32_t result, const char* response);

struct SdkCallbacks {
    uint32_t size;  // 24
    NotificationCallback onNotification;
    ResponseCallback onResponse;
};

// The library's instance; slots 0 and 1 are never called by the console.
class ISdkInstance {
public:
    virtual void Reserved0() = 0;
    virtual void Reserved1() = 0;
    // 0: *response points at library-owned text, valid until the next call.
    virtual uint32_t Request(const char* request, const char** response, uint32_t timeoutMs) = 0;
    // The answer arrives later through onResponse with the same identifier.
    virtual uint32_t Post(const char* request, const char* requestId) = 0;
    virtual uint32_t RegisterCallbacks(const SdkCallbacks* callbacks, void* context) = 0;
    virtual uint32_t UnregisterCallbacks(const SdkCallbacks* callbacks) = 0;

protected:
    ~ISdkInstance() = default;
};

using GetInstanceFunction = uint32_t (*)(ISdkInstance** instance, const SdkInitParams* params);
using ReleaseInstanceFunction = void (*)(ISdkInstance* instance);

constexpr const char* GetInstanceExport = "TESDK_GetInstance";
constexpr const char* ReleaseInstanceExport = "TESDK_ReleaseInstance";

}  // namespace tesdk
}  // namespace cv

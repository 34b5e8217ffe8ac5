// An agent library that remembers every registration it was ever given and
// calls back on request with any of them, also one that has ended: the
// callbacks of an instance released before a reload, or unregistered, that
// the library delivers late. It keeps to the contract, which says nothing
// about callbacks after UnregisterCallbacks.
#include "integration/tesdk_abi.h"

#include <windows.h>

#include <mutex>
#include <vector>

using cv::tesdk::ISdkInstance;
using cv::tesdk::SdkCallbacks;
using cv::tesdk::SdkInitParams;

namespace {

struct Registration {
    SdkCallbacks callbacks{};
    void* context = nullptr;
};

std::mutex g_lock;
std::vector<Registration> g_registrations;

bool Registered(int index, Registration& registration)
{
    std::lock_guard<std::mutex> guard(g_lock);
    if (index < 0 || static_cast<size_t>(index) >= g_registrations.size())
        return false;
    registration = g_registrations[static_cast<size_t>(index)];
    return true;
}

class Instance final : public ISdkInstance {
public:
    void Reserved0() override {}
    void Reserved1() override {}
    uint32_t Request(const char*, const char** response, uint32_t) override
    {
        *response = "{}";
        return 0;
    }
    uint32_t Post(const char*, const char*) override { return 0; }
    uint32_t RegisterCallbacks(const SdkCallbacks* callbacks, void* context) override
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_registrations.push_back({*callbacks, context});
        return 0;
    }
    uint32_t UnregisterCallbacks(const SdkCallbacks*) override { return 0; }
};

}  // namespace

extern "C" {

__declspec(dllexport) uint32_t TESDK_GetInstance(ISdkInstance** instance, const SdkInitParams*)
{
    *instance = new Instance();
    return 0;
}

__declspec(dllexport) void TESDK_ReleaseInstance(ISdkInstance* instance) { delete static_cast<Instance*>(instance); }

// Registrations so far, in the order they were made.
__declspec(dllexport) int ReplayAgent_Registrations()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return static_cast<int>(g_registrations.size());
}

// Calls back with the registration `index`: an event, then a posted answer.
__declspec(dllexport) void ReplayAgent_Deliver(int index, const char* name, const char* requestId)
{
    Registration registration;
    if (!Registered(index, registration))
        return;
    registration.callbacks.onNotification(registration.context, name, "{}");
    registration.callbacks.onResponse(registration.context, requestId, 0, "{}");
}

}  // extern "C"

#pragma once
// One connection to the agent's integration library: loads it from a path,
// obtains an instance, routes the library's callbacks into the object's two
// virtual slots, and undoes all of it.
#include "base/result_codes.h"
#include "base/unique_resource.h"
#include "integration/callback_gate.h"
#include "integration/tesdk_abi.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace cv {
namespace tesdk {

struct SdkLoadOptions {
    std::string configuration;         // handed to the library; always empty
    bool requireSignedLibrary = false;
};

class Integration {
public:
    Integration();
    Integration(const Integration&) = delete;
    Integration& operator=(const Integration&) = delete;

    // Slot 0 and slot 1: called on the library's threads, without the lock,
    // and only between registering and unregistering the callbacks.
    virtual void OnNotification(std::string_view name, std::string_view data);
    virtual void OnResponse(std::string_view requestId, ResultCode result, std::string_view response);
    virtual ~Integration();

    // Loads the library at `path` (UTF-8) and connects; a second call reloads.
    // 0, 2 (bad path), the load error, 87 (missing export), the library's own
    // refusal, or 5023 (success without an instance). Only a successful
    // TESDK_GetInstance gives an instance, whatever a refusal wrote.
    ResultCode Initialize(const std::string& path, const SdkLoadOptions& options);
    // Returns once no callback runs in the object any more.
    void Uninitialize();

    // Calls into the instance under the lock, held for the whole call. Without
    // an instance the library is not touched and 2250 (no connection) comes back.
    ResultCode RequestUnderLock(const std::string& request, std::string& response, uint32_t timeoutMs);
    ResultCode PostUnderLock(const std::string& request, const std::string& requestId);

    // A copy, taken under the lock that a reload holds while it assigns them.
    SdkLoadOptions Options() const;

protected:
    // Re-entrant: a load unloads first, and a reload reads the options, under it.
    std::recursive_mutex& Lock() { return lock_; }

private:
    static void ForwardNotification(void* context, const char* name, const char* data);
    static void ForwardResponse(void* context, const char* requestId, uint32_t result, const char* response);

    SdkLoadOptions options_;
    UniqueModule library_;
    ISdkInstance* instance_ = nullptr;
    mutable std::recursive_mutex lock_;
    SdkCallbacks callbacks_{};
    GetInstanceFunction getInstance_ = nullptr;
    ReleaseInstanceFunction releaseInstance_ = nullptr;
    CallbackGate callbackGate_;
};

}  // namespace tesdk
}  // namespace cv

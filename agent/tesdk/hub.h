#pragma once
// The process-wide state of the stand-in library: every live instance, the
// responder, the request log, and the delivery thread that hands events and
// answers to posts to every instance with registered callbacks.
#include "request_log.h"
#include "responder.h"

#include "integration/tesdk_abi.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace standin {

class Hub final : public Scheduler {
public:
    static Hub& Get();
    // Called when the library is unloaded (not at process exit).
    static void Destroy();

    uint32_t CreateInstance(cv::tesdk::ISdkInstance** instance);
    void ReleaseInstance(cv::tesdk::ISdkInstance* instance);

    uint32_t Request(int instanceId, const char* request, std::string& response, uint32_t timeoutMs);
    uint32_t Post(int instanceId, const char* request, const char* requestId);
    void Register(int instanceId, const cv::tesdk::SdkCallbacks* callbacks, void* context);
    void Unregister(int instanceId);

    void Schedule(Delivery delivery) override;
    void Schedule(std::vector<Delivery> deliveries);

private:
    Hub();
    void EnsureDeliveryThread();  // with lock_ held
    static DWORD WINAPI DeliveryThread(void*);
    void DeliveryLoop();
    void Deliver(const std::vector<Delivery>& batch);
    std::shared_ptr<Responder> CurrentResponder();
    std::shared_ptr<RequestLog> CurrentLog();

    struct Registration {
        cv::tesdk::SdkCallbacks callbacks{};
        void* context = nullptr;
        bool registered = false;
    };

    using Clock = std::chrono::steady_clock;
    std::mutex lock_;                 // instances, queue, thread state
    std::condition_variable wake_;
    std::map<int, Registration> instances_;
    struct Queued {
        uint64_t epoch;
        Delivery delivery;
    };
    std::multimap<Clock::time_point, Queued> queue_;
    // A new responder (another script or log named in the environment) starts
    // a new epoch; what the old one scheduled is dropped.
    uint64_t epoch_ = 0;
    std::wstring environmentKey_;
    bool threadRunning_ = false;
    int nextInstanceId_ = 1;
    // Held while callbacks run; unregistering waits for it, so no callback
    // reaches an instance after UnregisterCallbacks has returned.
    std::recursive_mutex delivering_;
    // Chosen afresh whenever the first instance connects, so a process can
    // switch scripts between connections.
    std::shared_ptr<Responder> responder_;
    std::shared_ptr<RequestLog> log_;
};

}  // namespace standin

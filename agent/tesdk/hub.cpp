#include "hub.h"

#include "common/agent_folders.h"
#include "base/unique_resource.h"
#include "scripted_responder.h"
#include "simulated_agent.h"

#include <vector>

namespace standin {
namespace {

Hub* g_hub = nullptr;
std::once_flag g_hubOnce;

// The library's instance as the console sees it.
class SdkInstance final : public cv::tesdk::ISdkInstance {
public:
    SdkInstance(Hub& hub, int id) : hub_(hub), id_(id) {}
    int Id() const { return id_; }

    void Reserved0() override {}
    void Reserved1() override {}

    uint32_t Request(const char* request, const char** response, uint32_t timeoutMs) override
    {
        const uint32_t status = hub_.Request(id_, request, lastResponse_, timeoutMs);
        if (status == 0 && response != nullptr)
            *response = lastResponse_.c_str();
        return status;
    }

    uint32_t Post(const char* request, const char* requestId) override { return hub_.Post(id_, request, requestId); }

    uint32_t RegisterCallbacks(const cv::tesdk::SdkCallbacks* callbacks, void* context) override
    {
        hub_.Register(id_, callbacks, context);
        return 0;
    }

    uint32_t UnregisterCallbacks(const cv::tesdk::SdkCallbacks*) override
    {
        hub_.Unregister(id_);
        return 0;
    }

private:
    Hub& hub_;
    int id_;
    std::string lastResponse_;  // owned here until the next request
};

HMODULE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

std::string Text(const char* text) { return text != nullptr ? text : ""; }


}  // namespace

Hub& Hub::Get()
{
    std::call_once(g_hubOnce, [] { g_hub = new Hub(); });
    return *g_hub;
}

void Hub::Destroy()
{
    delete g_hub;
    g_hub = nullptr;
}

Hub::Hub() = default;

std::shared_ptr<Responder> Hub::CurrentResponder()
{
    std::lock_guard<std::mutex> guard(lock_);
    return responder_;
}

std::shared_ptr<RequestLog> Hub::CurrentLog()
{
    std::lock_guard<std::mutex> guard(lock_);
    return log_;
}

uint32_t Hub::CreateInstance(cv::tesdk::ISdkInstance** instance)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        // The responder outlives reloads; only a change of script or log (a
        // test switching scenarios) replaces it.
        const std::wstring key =
            common::EnvironmentText(L"PRODUCT_TESDK_SCRIPT") + L"|" + common::EnvironmentText(L"PRODUCT_TESDK_LOG");
        if (!responder_ || (instances_.empty() && key != environmentKey_)) {
            environmentKey_ = key;
            ++epoch_;
            log_ = std::make_shared<RequestLog>();
            std::shared_ptr<Responder> script = ScriptedResponder::FromEnvironment();
            responder_ = script ? script : std::shared_ptr<Responder>(CreateSimulatedAgent(*this));
        }
    }
    const auto log = CurrentLog();
    const InstanceOutcome outcome = CurrentResponder()->OnCreateInstance();
    if (outcome.status != 0 || outcome.nullInstance) {
        *instance = nullptr;
        Json::Value entry;
        entry["status"] = outcome.status;
        log->Write("instance_refused", entry);
        return outcome.status;
    }
    int id;
    {
        std::lock_guard<std::mutex> guard(lock_);
        id = nextInstanceId_++;
        instances_[id];
    }
    *instance = new SdkInstance(*this, id);
    Json::Value entry;
    entry["instance"] = id;
    log->Write("instance_created", entry);
    return 0;
}

void Hub::ReleaseInstance(cv::tesdk::ISdkInstance* instance)
{
    if (instance == nullptr)
        return;
    auto* sdkInstance = static_cast<SdkInstance*>(instance);
    const int id = sdkInstance->Id();
    Unregister(id);
    const auto log = CurrentLog();
    {
        std::lock_guard<std::mutex> guard(lock_);
        instances_.erase(id);
    }
    wake_.notify_all();
    delete sdkInstance;
    Json::Value entry;
    entry["instance"] = id;
    log->Write("instance_released", entry);
}

uint32_t Hub::Request(int instanceId, const char* request, std::string& response, uint32_t timeoutMs)
{
    const std::string text = Text(request);
    Json::Value entry;
    entry["instance"] = instanceId;
    entry["timeout_ms"] = timeoutMs;
    entry["document"] = DocumentOrText(text);
    CurrentLog()->Write("request", entry);

    RequestOutcome outcome = CurrentResponder()->OnRequest(text);
    Schedule(std::move(outcome.followUps));
    if (outcome.delayMs > timeoutMs) {
        Sleep(timeoutMs);
        return 1460;  // ERROR_TIMEOUT: the agent did not answer in time
    }
    if (outcome.delayMs > 0)
        Sleep(static_cast<DWORD>(outcome.delayMs));
    if (outcome.status == 0)
        response = std::move(outcome.response);
    return outcome.status;
}

uint32_t Hub::Post(int instanceId, const char* request, const char* requestId)
{
    const std::string text = Text(request);
    Json::Value entry;
    entry["instance"] = instanceId;
    entry["requestId"] = Text(requestId);
    entry["document"] = DocumentOrText(text);
    CurrentLog()->Write("post", entry);

    PostOutcome outcome = CurrentResponder()->OnPost(text, Text(requestId));
    Schedule(std::move(outcome.deliveries));
    return outcome.status;
}

void Hub::Register(int instanceId, const cv::tesdk::SdkCallbacks* callbacks, void* context)
{
    std::lock_guard<std::recursive_mutex> delivering(delivering_);
    std::lock_guard<std::mutex> guard(lock_);
    auto found = instances_.find(instanceId);
    if (found == instances_.end() || callbacks == nullptr)
        return;
    found->second.callbacks = *callbacks;
    found->second.context = context;
    found->second.registered = true;
}

void Hub::Unregister(int instanceId)
{
    std::lock_guard<std::recursive_mutex> delivering(delivering_);
    std::lock_guard<std::mutex> guard(lock_);
    auto found = instances_.find(instanceId);
    if (found != instances_.end())
        found->second.registered = false;
}

void Hub::Schedule(Delivery delivery)
{
    std::vector<Delivery> one;
    one.push_back(std::move(delivery));
    Schedule(std::move(one));
}

void Hub::Schedule(std::vector<Delivery> deliveries)
{
    if (deliveries.empty())
        return;
    std::lock_guard<std::mutex> guard(lock_);
    const auto now = Clock::now();
    for (auto& delivery : deliveries) {
        const auto due = now + std::chrono::milliseconds(delivery.delayMs);
        queue_.emplace(due, Queued{epoch_, std::move(delivery)});
    }
    EnsureDeliveryThread();
    wake_.notify_all();
}

void Hub::EnsureDeliveryThread()
{
    if (threadRunning_)
        return;
    // The thread keeps the library loaded until it has nothing left to do.
    UniqueModule pinned;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ThisModule),
                            pinned.put()))
        return;
    const UniqueHandle thread(CreateThread(nullptr, 0, &Hub::DeliveryThread, pinned.get(), 0, nullptr));
    if (!thread)
        return;
    pinned.release();  // the thread frees it as it ends
    threadRunning_ = true;
}

DWORD WINAPI Hub::DeliveryThread(void* pinnedModule)
{
    Hub::Get().DeliveryLoop();
    FreeLibraryAndExitThread(static_cast<HMODULE>(pinnedModule), 0);
}

void Hub::DeliveryLoop()
{
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        if (queue_.empty()) {
            // Nobody connected and nothing due: end, so the library can unload.
            if (instances_.empty()) {
                threadRunning_ = false;
                return;
            }
            wake_.wait(guard, [this] { return !queue_.empty() || instances_.empty(); });
            continue;
        }
        const auto now = Clock::now();
        if (now < queue_.begin()->first) {
            wake_.wait_until(guard, queue_.begin()->first);
            continue;
        }
        // Everything due goes out together, so events sent at the same moment
        // reach the same set of connected instances.
        std::vector<Delivery> batch;
        while (!queue_.empty() && queue_.begin()->first <= now) {
            if (queue_.begin()->second.epoch == epoch_)
                batch.push_back(std::move(queue_.begin()->second.delivery));
            queue_.erase(queue_.begin());
        }
        guard.unlock();
        std::vector<Delivery> ready;
        for (auto& delivery : batch) {
            if (!delivery.prepare || delivery.prepare(delivery))
                ready.push_back(std::move(delivery));
        }
        Deliver(ready);
        guard.lock();
    }
}

void Hub::Deliver(const std::vector<Delivery>& batch)
{
    std::lock_guard<std::recursive_mutex> delivering(delivering_);
    std::vector<Registration> targets;
    Json::Value deliveredTo(Json::arrayValue);
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const auto& [id, registration] : instances_) {
            if (registration.registered) {
                targets.push_back(registration);
                deliveredTo.append(id);
            }
        }
    }
    const auto log = CurrentLog();
    for (const auto& delivery : batch) {
        Json::Value entry;
        entry["delivered_to"] = deliveredTo;
        if (delivery.kind == Delivery::Kind::Notification) {
            entry["name"] = delivery.name;
            entry["data"] = delivery.data;
            for (const auto& target : targets) {
                if (target.callbacks.onNotification != nullptr)
                    target.callbacks.onNotification(target.context, delivery.name.c_str(), delivery.data.c_str());
            }
            log->Write("notification", entry);
        } else {
            entry["requestId"] = delivery.name;
            entry["result"] = delivery.result;
            entry["response"] = DocumentOrText(delivery.data);
            for (const auto& target : targets) {
                if (target.callbacks.onResponse != nullptr) {
                    target.callbacks.onResponse(target.context, delivery.name.c_str(), delivery.result,
                                                delivery.data.c_str());
                }
            }
            log->Write("response", entry);
        }
    }
}

}  // namespace standin

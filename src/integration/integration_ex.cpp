#include "integration/integration_ex.h"

#include <climits>

namespace cv {
namespace tesdk {

IntegrationEx::~IntegrationEx() { Shutdown(); }

uint32_t IntegrationEx::Initialize(const std::string& path, const SdkLoadOptions& options)
{
    Shutdown();
    {
        std::lock_guard<std::mutex> guard(lifecycle_);
        stopping_ = false;
        path_ = path;
        stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        reloadSemaphore_.reset(CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr));
        reloadThread_.reset(CreateThread(nullptr, 0, &IntegrationEx::ReloadThread, this, 0, nullptr));
    }
    return Integration::Initialize(path, options);
}

void IntegrationEx::Shutdown()
{
    stopping_ = true;
    Integration::Uninitialize();

    std::lock_guard<std::mutex> guard(lifecycle_);
    if (stopEvent_)
        SetEvent(stopEvent_.get());
    if (reloadThread_)
        WaitForSingleObject(reloadThread_.get(), INFINITE);
    reloadThread_.reset();
    reloadSemaphore_.reset();
    stopEvent_.reset();
}

void IntegrationEx::OnNotification(std::string_view name, std::string_view data)
{
    if (name != "Tesdk.UpdateFinished")
        return;
    if (data.find("reloadOptional") == std::string_view::npos && data.find("reloadRequired") == std::string_view::npos)
        return;
    // Callbacks run only while the library is connected (the callback gate),
    // and the handle is closed only after the connection has been undone.
    if (reloadSemaphore_)
        ReleaseSemaphore(reloadSemaphore_.get(), 1, nullptr);
}

DWORD WINAPI IntegrationEx::ReloadThread(void* self)
{
    static_cast<IntegrationEx*>(self)->ReloadLoop();
    return 0;
}

void IntegrationEx::ReloadLoop()
{
    // Stop first: it wins when both are signalled.
    const HANDLE waits[] = {stopEvent_.get(), reloadSemaphore_.get()};
    for (;;) {
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0 + 1) {
            std::lock_guard<CriticalSection> guard(Lock());
            if (!stopping_) {
                const SdkLoadOptions options = Options();
                Integration::Initialize(path_, options);
            }
            continue;
        }
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED)
            return;  // stopped, or the handles are unusable: never spin
    }
}

}  // namespace tesdk
}  // namespace cv

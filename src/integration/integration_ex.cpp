#include "integration/integration_ex.h"

#include <climits>

namespace cv {
namespace tesdk {

IntegrationEx::~IntegrationEx() { Shutdown(); }

ResultCode IntegrationEx::Initialize(const std::string& path, const SdkLoadOptions& options)
{
    Shutdown();
    {
        std::lock_guard<std::mutex> guard(lifecycle_);
        stopping_ = false;
        path_ = path;
        reloadSemaphore_.reset(CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr));
        // Without the thread the connection still serves; only its reloads are lost.
        static_cast<void>(reloadThread_.Start([this](HANDLE stop) { ReloadLoop(stop); }));
    }
    return Integration::Initialize(path, options);
}

void IntegrationEx::Shutdown()
{
    stopping_ = true;
    Integration::Uninitialize();

    std::lock_guard<std::mutex> guard(lifecycle_);
    reloadThread_.Stop();
    reloadSemaphore_.reset();
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

void IntegrationEx::ReloadLoop(HANDLE stop)
{
    // Stop first: it wins when both are signalled.
    const HANDLE waits[] = {stop, reloadSemaphore_.get()};
    for (;;) {
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0 + 1) {
            std::lock_guard<std::recursive_mutex> guard(Lock());
            if (!stopping_) {
                const SdkLoadOptions options = Options();
                // A failed reload leaves no instance: the next request answers 2250.
                static_cast<void>(Integration::Initialize(path_, options));
            }
            continue;
        }
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED)
            return;  // stopped, or the handles are unusable: never spin
    }
}

}  // namespace tesdk
}  // namespace cv

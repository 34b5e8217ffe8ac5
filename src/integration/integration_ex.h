#pragma once
// A connection with a reload thread: when the agent reports that its library
// was updated and asks for a reload, the thread unloads and re-initialises it.
#include "base/stoppable_thread.h"
#include "integration/integration.h"

#include <atomic>
#include <mutex>

namespace cv {
namespace tesdk {

class IntegrationEx : public Integration {
public:
    IntegrationEx() = default;
    ~IntegrationEx() override;

    // Starts afresh: stops what runs, starts the reload thread, loads the library.
    ResultCode Initialize(const std::string& path, const SdkLoadOptions& options);
    // Unloads the library and stops the reload thread. Safe to call twice and
    // from two threads at once.
    void Shutdown();

    void OnNotification(std::string_view name, std::string_view data) override;

    const std::string& LibraryPath() const { return path_; }

private:
    void ReloadLoop(HANDLE stop);

    UniqueHandle reloadSemaphore_;
    StoppableThread reloadThread_;
    std::string path_;
    // Serialises starting and stopping the reload thread.
    std::mutex lifecycle_;
    // Raised while stopping, so a reload that was already due does not load
    // the library again behind the stop.
    std::atomic<bool> stopping_{false};
};

}  // namespace tesdk
}  // namespace cv

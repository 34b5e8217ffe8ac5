#pragma once
// Trace lines to the Process Monitor debug-logger device. When the device
// cannot be opened (the monitor is not running), opening is tried again at
// most once every 10 seconds.
#include "base/unique_resource.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace dllguard::trace {

constexpr uint32_t kDeviceReopenIntervalMs = 10000;

UniqueFile OpenProcessMonitorDevice();

class ProcessMonitorOutput {
public:
    ProcessMonitorOutput(std::function<UniqueFile()> open, std::function<uint32_t()> tickCount);

    void Send(std::wstring_view line);

private:
    std::function<UniqueFile()> open_;
    std::function<uint32_t()> tickCount_;
    CriticalSection lock_;
    UniqueFile device_;
    bool tried_ = false;
    uint32_t lastTry_ = 0;
};

}  // namespace dllguard::trace

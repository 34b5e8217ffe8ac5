#include "dllguard/trace/process_monitor_output.h"

#include <mutex>

namespace dllguard::trace {
namespace {

constexpr DWORD kLogDebugOutput = 0x95358204;

}  // namespace

UniqueFile OpenProcessMonitorDevice()
{
    return UniqueFile(CreateFileW(L"\\\\.\\Global\\ProcmonDebugLogger", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
}

ProcessMonitorOutput::ProcessMonitorOutput(std::function<UniqueFile()> open, std::function<uint32_t()> tickCount)
    : open_(std::move(open)), tickCount_(std::move(tickCount))
{
}

void ProcessMonitorOutput::Send(std::wstring_view line)
{
    std::lock_guard<CriticalSection> guard(lock_);
    if (!device_) {
        const uint32_t now = tickCount_();
        if (tried_ && now - lastTry_ < kDeviceReopenIntervalMs)
            return;
        tried_ = true;
        lastTry_ = now;
        device_ = open_();
        if (!device_)
            return;
    }
    DWORD returned = 0;
    if (!DeviceIoControl(device_.get(), kLogDebugOutput, const_cast<wchar_t*>(line.data()),
                         static_cast<DWORD>(line.size() * sizeof(wchar_t)), nullptr, 0, &returned, nullptr))
        device_.reset();  // the monitor went away; look for it again later
}

}  // namespace dllguard::trace

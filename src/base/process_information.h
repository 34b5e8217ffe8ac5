#pragma once
// The process and the thread that CreateProcess hands back, owned together.
#include "base/unique_resource.h"

class ProcessInformation {
public:
    ProcessInformation() noexcept = default;
    // Takes ownership of both handles of `created` and keeps its identifiers.
    explicit ProcessInformation(const PROCESS_INFORMATION& created) noexcept
        : process_(created.hProcess), thread_(created.hThread), processId_(created.dwProcessId),
          threadId_(created.dwThreadId)
    {
    }

    HANDLE Process() const noexcept { return process_.get(); }
    HANDLE Thread() const noexcept { return thread_.get(); }
    DWORD ProcessId() const noexcept { return processId_; }
    DWORD ThreadId() const noexcept { return threadId_; }
    explicit operator bool() const noexcept { return static_cast<bool>(process_); }

private:
    UniqueHandle process_;
    UniqueHandle thread_;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
};

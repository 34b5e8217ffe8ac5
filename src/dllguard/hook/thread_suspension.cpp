#include "dllguard/hook/thread_suspension.h"

namespace hooking {

ThreadSuspension::ThreadSuspension(const std::vector<HANDLE>& threads) : threads_(threads) {}

ThreadSuspension::~ThreadSuspension() { ResumeAll(); }

DWORD ThreadSuspension::SuspendAll()
{
    for (HANDLE thread : threads_) {
        if (::SuspendThread(thread) == static_cast<DWORD>(-1)) {
            const DWORD error = ::GetLastError();
            ResumeAll();
            return error ? error : ERROR_INVALID_HANDLE;
        }
        ++suspended_;
    }
    return ERROR_SUCCESS;
}

void ThreadSuspension::ResumeAll()
{
    while (suspended_ > 0)
        ::ResumeThread(threads_[--suspended_]);
}

}  // namespace hooking

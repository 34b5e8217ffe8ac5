#include "dllguard/hook/thread_suspension.h"

namespace hooking {

ThreadSuspension::ThreadSuspension(const std::vector<HANDLE>& threads) : threads_(threads)
{
    suspended_.reserve(threads.size());
}

ThreadSuspension::~ThreadSuspension() { ResumeAll(); }

DWORD ThreadSuspension::SuspendAll()
{
    for (HANDLE thread : threads_) {
        if (::SuspendThread(thread) != static_cast<DWORD>(-1)) {
            suspended_.push_back(thread);
            continue;
        }
        const DWORD error = ::GetLastError();
        if (::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0)
            continue;  // ended: runs none of the code about to change
        ResumeAll();
        return error ? error : ERROR_INVALID_HANDLE;
    }
    return ERROR_SUCCESS;
}

void ThreadSuspension::ResumeAll()
{
    while (!suspended_.empty()) {
        ::ResumeThread(suspended_.back());
        suspended_.pop_back();
    }
}

}  // namespace hooking

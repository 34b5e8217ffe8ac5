#pragma once
// Keeps a set of threads suspended for the lifetime of the object.
#include <windows.h>

#include <vector>

namespace hooking {

class ThreadSuspension {
public:
    // Takes its room now: nothing is allocated while the threads are stopped
    // (one of them may hold the heap lock).
    explicit ThreadSuspension(const std::vector<HANDLE>& threads);
    ThreadSuspension(const ThreadSuspension&) = delete;
    ThreadSuspension& operator=(const ThreadSuspension&) = delete;
    ~ThreadSuspension();  // resumes the threads it suspended

    // Suspends every thread that is still running (one that has ended since
    // it was enlisted is left out); on failure resumes those already
    // suspended and returns the error.
    DWORD SuspendAll();
    const std::vector<HANDLE>& Suspended() const { return suspended_; }

private:
    void ResumeAll();

    const std::vector<HANDLE>& threads_;
    std::vector<HANDLE> suspended_;
};

}  // namespace hooking

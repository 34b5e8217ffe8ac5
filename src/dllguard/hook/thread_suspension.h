#pragma once
// Keeps a set of threads suspended for the lifetime of the object.
#include <windows.h>

#include <vector>

namespace hooking {

class ThreadSuspension {
public:
    // Works on the caller's list: nothing is allocated while the threads are
    // stopped (one of them may hold the heap lock).
    explicit ThreadSuspension(const std::vector<HANDLE>& threads);
    ThreadSuspension(const ThreadSuspension&) = delete;
    ThreadSuspension& operator=(const ThreadSuspension&) = delete;
    ~ThreadSuspension();  // resumes the threads it suspended

    // Suspends every thread; on failure resumes those already suspended and
    // returns the error.
    DWORD SuspendAll();

private:
    void ResumeAll();

    const std::vector<HANDLE>& threads_;
    size_t suspended_ = 0;
};

}  // namespace hooking

#pragma once
// Per-thread load state of the hooks: the libraries whose load is under way
// on this thread, and whether the thread is writing a recursion record.
//
// Each pass through the hooks' common path links a frame of its own for as
// long as it runs, so the set lives on the thread's stack: nothing to
// allocate under the loader lock and nothing to free when a thread ends.
#include <string>
#include <vector>

namespace dllguard {

class LoadInProgress {
public:
    // Adds `name` (which must outlive the object) to this thread's set.
    explicit LoadInProgress(const wchar_t* name);
    ~LoadInProgress();  // removes it again
    LoadInProgress(const LoadInProgress&) = delete;
    LoadInProgress& operator=(const LoadInProgress&) = delete;

    // Whether a load of `name` is under way on this thread (case-insensitive).
    static bool Contains(const wchar_t* name);
    // The names in the order their loads began.
    static std::vector<std::wstring> Names();

private:
    const wchar_t* name_;
    LoadInProgress* outer_;
};

// Raised for its lifetime: a recursion record is being written on this thread.
class WritingRecursionRecord {
public:
    WritingRecursionRecord();
    ~WritingRecursionRecord();
    WritingRecursionRecord(const WritingRecursionRecord&) = delete;
    WritingRecursionRecord& operator=(const WritingRecursionRecord&) = delete;

    static bool IsSet();
};

}  // namespace dllguard

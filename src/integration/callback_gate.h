#pragma once
// Lets the library's callbacks into a connection only while it is registered,
// and lets the connection wait for those already inside before it closes what
// they touch: the library need not wait for a running callback when it
// unregisters. Callbacks never wait here; closing waits only for callbacks,
// which take no lock of the connection. The slim lock and the condition
// variable need no clean-up, so a gate left behind stays closed.
#include <windows.h>

namespace cv {
namespace tesdk {

class CallbackGate {
public:
    CallbackGate() = default;
    CallbackGate(const CallbackGate&) = delete;
    CallbackGate& operator=(const CallbackGate&) = delete;

    void Open()
    {
        AcquireSRWLockExclusive(&lock_);
        open_ = true;
        ReleaseSRWLockExclusive(&lock_);
    }

    // Lets no further callback in, then waits until those inside have left.
    void Close()
    {
        AcquireSRWLockExclusive(&lock_);
        open_ = false;
        while (inside_ != 0)
            SleepConditionVariableSRW(&left_, &lock_, INFINITE, 0);
        ReleaseSRWLockExclusive(&lock_);
    }

    // One callback's passage: it runs only when `Entered()`.
    class Pass {
    public:
        explicit Pass(CallbackGate& gate) : gate_(gate)
        {
            AcquireSRWLockExclusive(&gate_.lock_);
            entered_ = gate_.open_;
            if (entered_)
                ++gate_.inside_;
            ReleaseSRWLockExclusive(&gate_.lock_);
        }
        ~Pass()
        {
            if (!entered_)
                return;
            AcquireSRWLockExclusive(&gate_.lock_);
            if (--gate_.inside_ == 0)
                WakeAllConditionVariable(&gate_.left_);
            ReleaseSRWLockExclusive(&gate_.lock_);
        }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

        bool Entered() const { return entered_; }

    private:
        CallbackGate& gate_;
        bool entered_ = false;
    };

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE left_ = CONDITION_VARIABLE_INIT;
    unsigned inside_ = 0;
    bool open_ = false;
};

}  // namespace tesdk
}  // namespace cv

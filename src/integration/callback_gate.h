#pragma once
// Lets the library's callbacks into a connection only for the registration
// they belong to, and lets the connection wait for those already inside
// before it closes what they touch: the library need not wait for a running
// callback when it unregisters.
//
// Each registration has an identity of its own, handed to the library as the
// callbacks' context and never used again in the process. A callback that
// carries the identity of a registration that has ended (a late callback of
// the instance released before a reload, or of a connection that is gone)
// finds nothing and is dropped, without touching the connection. Callbacks
// never wait here; closing waits only for callbacks, which take no lock of
// the connection. The slim lock and the condition variable need no clean-up.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace cv {
namespace tesdk {

class CallbackGate {
public:
    CallbackGate() = default;
    CallbackGate(const CallbackGate&) = delete;
    CallbackGate& operator=(const CallbackGate&) = delete;
    ~CallbackGate() { Close(); }

    // Closes the current registration, if any, and returns the identity of a
    // new one whose callbacks reach `owner`.
    void* Open(void* owner)
    {
        Close();
        Registrations& all = TheRegistrations();
        AcquireSRWLockExclusive(&all.lock);
        identity_ = ++all.last;
        all.open.push_back({identity_, owner, 0});
        ReleaseSRWLockExclusive(&all.lock);
        return reinterpret_cast<void*>(identity_);
    }

    // Lets no further callback of the current registration in, then waits
    // until those inside have left.
    void Close()
    {
        if (identity_ == 0)
            return;
        Registrations& all = TheRegistrations();
        AcquireSRWLockExclusive(&all.lock);
        Registration* registration = all.Find(identity_);
        registration->owner = nullptr;
        while (registration->inside != 0) {
            SleepConditionVariableSRW(&all.left, &all.lock, INFINITE, 0);
            registration = all.Find(identity_);  // the list may have moved meanwhile
        }
        all.open.erase(all.open.begin() + (registration - all.open.data()));
        ReleaseSRWLockExclusive(&all.lock);
        identity_ = 0;
    }

    // One callback's passage: it runs only when `Owner()` is not null.
    class Pass {
    public:
        explicit Pass(void* context) : identity_(reinterpret_cast<uintptr_t>(context))
        {
            Registrations& all = TheRegistrations();
            AcquireSRWLockExclusive(&all.lock);
            Registration* registration = all.Find(identity_);
            if (registration != nullptr && registration->owner != nullptr) {
                owner_ = registration->owner;
                ++registration->inside;
            }
            ReleaseSRWLockExclusive(&all.lock);
        }
        ~Pass()
        {
            if (owner_ == nullptr)
                return;
            Registrations& all = TheRegistrations();
            AcquireSRWLockExclusive(&all.lock);
            if (--all.Find(identity_)->inside == 0)
                WakeAllConditionVariable(&all.left);
            ReleaseSRWLockExclusive(&all.lock);
        }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

        // The connection the callback belongs to; null when its context names
        // no open registration.
        void* Owner() const { return owner_; }

    private:
        uintptr_t identity_;
        void* owner_ = nullptr;
    };

private:
    struct Registration {
        uintptr_t identity;
        void* owner;      // null once closing began
        unsigned inside;  // callbacks that passed and have not left
    };

    // Every open registration of the process. Never destroyed: a library's
    // thread may still call back while the process ends.
    struct Registrations {
        SRWLOCK lock = SRWLOCK_INIT;
        CONDITION_VARIABLE left = CONDITION_VARIABLE_INIT;
        uintptr_t last = 0;
        std::vector<Registration> open;

        Registration* Find(uintptr_t identity)
        {
            const auto found = std::find_if(open.begin(), open.end(),
                                            [&](const Registration& r) { return r.identity == identity; });
            return found == open.end() ? nullptr : &*found;
        }
    };

    static Registrations& TheRegistrations()
    {
        static Registrations* const registrations = new Registrations();
        return *registrations;
    }

    uintptr_t identity_ = 0;  // 0 while no registration is open
};

}  // namespace tesdk
}  // namespace cv

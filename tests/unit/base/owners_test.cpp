#include "base/event.h"
#include "base/stoppable_thread.h"
#include "base/unique_resource.h"

#include <gtest/gtest.h>

#include <atomic>

TEST(UniqueResource, ResetKeepsTheLastError)
{
    // A value the traits take for a handle but the system does not: closing
    // it fails and would set the last error of its own.
    UniqueHandle bogus(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7ffc)));
    SetLastError(1234);
    bogus.reset();
    EXPECT_EQ(GetLastError(), 1234u);

    // The use it is for: reset to what a failed Create returned, then ask why.
    const UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"Local\\base_tests_owner_name"));
    ASSERT_TRUE(mutex);
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    event.reset(CreateEventW(nullptr, TRUE, FALSE, L"Local\\base_tests_owner_name"));  // the name is the mutex's
    EXPECT_FALSE(event);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Event, SetClearWait)
{
    const Event manual(Event::Reset::Manual, false);
    ASSERT_TRUE(manual);
    EXPECT_FALSE(manual.IsSet());
    EXPECT_EQ(manual.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(manual.Set());
    EXPECT_TRUE(manual.IsSet());
    EXPECT_TRUE(manual.IsSet());  // stays set
    EXPECT_TRUE(manual.Clear());
    EXPECT_FALSE(manual.IsSet());

    const Event automatic(Event::Reset::Automatic, true);
    EXPECT_TRUE(automatic.IsSet());
    EXPECT_FALSE(automatic.IsSet());  // the first wait took it
}

TEST(StoppableThread, BodyWaitsForTheStopAndIsJoined)
{
    std::atomic<int> state{0};
    StoppableThread thread;
    EXPECT_FALSE(thread.IsRunning());
    ASSERT_TRUE(thread.Start([&](HANDLE stop) {
        state = 1;
        if (WaitForSingleObject(stop, 30000) == WAIT_OBJECT_0)
            state = 2;
    }));
    EXPECT_TRUE(thread.IsRunning());
    thread.Stop();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(state.load(), 2);  // joined after it saw the stop, not after the 30 s
    thread.Stop();               // twice is harmless

    // Started again, it gets a fresh stop event, not the one already set.
    const Event started(Event::Reset::Manual, false);
    ASSERT_TRUE(thread.Start([&](HANDLE stop) {
        state = WaitForSingleObject(stop, 0) == WAIT_TIMEOUT ? 3 : 4;
        started.Set();
        WaitForSingleObject(stop, 30000);
    }));
    ASSERT_EQ(started.Wait(30000), static_cast<DWORD>(WAIT_OBJECT_0));
    thread.Stop();
    EXPECT_EQ(state.load(), 3);
}

TEST(StoppableThread, BodyThatEndsByItself)
{
    std::atomic<bool> ran{false};
    StoppableThread thread;
    ASSERT_TRUE(thread.Start([&](HANDLE) { ran = true; }));
    thread.Stop();
    EXPECT_TRUE(ran.load());
}

// Callbacks reach a connection only for the registration they were given:
// a library that calls back late with a registration that has ended (the
// instance before a reload, or one unregistered) reaches nothing.
#include "connection_requests.h"
#include "result_code_printer.h"

#include "base/text_conversion.h"
#include "base/unique_resource.h"
#include "integration/integration.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

namespace {

// Everything the library delivered to the connection, in order.
class Recording final : public cv::tesdk::Integration {
public:
    void OnNotification(std::string_view name, std::string_view) override { seen.emplace_back(name); }
    void OnResponse(std::string_view requestId, ResultCode, std::string_view) override
    {
        seen.push_back("answer " + std::string(requestId));
    }
    std::vector<std::string> seen;
};

class CallbackIdentityTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Held by the test too, so that its registrations outlive the connection's unloads.
        library_.reset(LoadLibraryW(BesideTest(L"replaying_agent.dll").c_str()));
        ASSERT_TRUE(library_);
        deliver_ = reinterpret_cast<DeliverFunction>(
            reinterpret_cast<void*>(GetProcAddress(library_.get(), "ReplayAgent_Deliver")));
        registrations_ = reinterpret_cast<RegistrationsFunction>(
            reinterpret_cast<void*>(GetProcAddress(library_.get(), "ReplayAgent_Registrations")));
        ASSERT_NE(deliver_, nullptr);
        ASSERT_NE(registrations_, nullptr);
    }

    // Connects once more; the index of the registration that made.
    int Connect(Recording& connection)
    {
        EXPECT_EQ(connection.Initialize(WideToUtf8(BesideTest(L"replaying_agent.dll")), Signed()), result::Success);
        return registrations_() - 1;
    }

    using DeliverFunction = void (*)(int, const char*, const char*);
    using RegistrationsFunction = int (*)();
    UniqueModule library_;
    DeliverFunction deliver_ = nullptr;
    RegistrationsFunction registrations_ = nullptr;
};

TEST_F(CallbackIdentityTest, OnlyTheCurrentRegistrationIsHeard)
{
    Recording connection;
    const int first = Connect(connection);
    deliver_(first, "first", "1");
    const int reloaded = Connect(connection);  // a reload: the first instance is released
    ASSERT_NE(first, reloaded);
    deliver_(first, "before the reload", "2");
    deliver_(reloaded, "after the reload", "3");
    connection.Uninitialize();
    deliver_(reloaded, "after unregistering", "4");
    EXPECT_EQ(connection.seen,
              (std::vector<std::string>{"first", "answer 1", "after the reload", "answer 3"}));
}

TEST_F(CallbackIdentityTest, TwoConnectionsHearOnlyTheirOwn)
{
    Recording one, other;
    const int mine = Connect(one);
    const int theirs = Connect(other);
    deliver_(mine, "to one", "1");
    deliver_(theirs, "to the other", "2");
    other.Uninitialize();
    deliver_(theirs, "late", "3");
    EXPECT_EQ(one.seen, (std::vector<std::string>{"to one", "answer 1"}));
    EXPECT_EQ(other.seen, (std::vector<std::string>{"to the other", "answer 2"}));
}

// Another connection made in the storage of one that is gone (as the heap
// hands it out again) hears nothing of the first one's registration.
TEST_F(CallbackIdentityTest, ANewConnectionInTheOldOnesPlaceHearsNothingOfIt)
{
    alignas(Recording) static unsigned char storage[sizeof(Recording)];
    auto* gone = new (storage) Recording();
    const int old = Connect(*gone);
    gone->~Recording();
    auto* next = new (storage) Recording();
    const int current = Connect(*next);
    deliver_(old, "late", "1");
    deliver_(current, "current", "2");
    EXPECT_EQ(next->seen, (std::vector<std::string>{"current", "answer 2"}));
    next->~Recording();
}

}  // namespace

// The connection against agent libraries that keep to the contract but not to
// the habits of our stand-in: one that writes its out-pointer when it refuses
// an instance, one whose UnregisterCallbacks does not wait for a callback that
// is running.
#include "connection_requests.h"
#include "result_code_printer.h"

#include "base/unique_resource.h"
#include "integration/integration_ex.h"
#include "integration/notification_receiver.h"
#include "base/text_conversion.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <new>
#include <string>
#include <vector>

using cv::tesdk::Integration;
using cv::tesdk::IntegrationEx;
using cv::tesdk::SdkLoadOptions;

namespace {

class RefusedInstanceTest : public testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        logPath_ = std::wstring(temp) + L"refusing-agent-" + std::to_wstring(GetCurrentProcessId()) + L".log";
        DeleteFileW(logPath_.c_str());
        SetEnvironmentVariableW(L"REFUSING_AGENT_LOG", logPath_.c_str());
        SetEnvironmentVariableW(L"REFUSING_AGENT_GRANTED", nullptr);
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"REFUSING_AGENT_LOG", nullptr);
        SetEnvironmentVariableW(L"REFUSING_AGENT_GRANTS", nullptr);
        DeleteFileW(logPath_.c_str());
    }

    static void Grant(int instances)
    {
        SetEnvironmentVariableW(L"REFUSING_AGENT_GRANTS", std::to_wstring(instances).c_str());
    }

    std::vector<std::string> Calls() const
    {
        std::vector<std::string> lines;
        std::ifstream file(logPath_.c_str());
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    bool WaitForCall(const std::string& call) const
    {
        for (int i = 0; i < 1000; ++i) {
            for (const auto& line : Calls()) {
                if (line == call)
                    return true;
            }
            Sleep(10);
        }
        return false;
    }

    static std::string Library() { return WideToUtf8(BesideTest(L"refusing_agent.dll")); }

    std::wstring logPath_;
};

TEST_F(RefusedInstanceTest, ARefusalLeavesNoInstanceWhateverTheLibraryWrote)
{
    Grant(0);
    {
        Integration connection;
        EXPECT_EQ(connection.Initialize(Library(), Signed()), ResultCode(1359));
        std::string response;
        EXPECT_EQ(connection.RequestUnderLock(GetStatusRequest, response, 5000), result::NoConnection);
        EXPECT_EQ(connection.PostUnderLock(GetStatusRequest, "id"), result::NoConnection);
        connection.Uninitialize();
    }
    EXPECT_EQ(Calls(), std::vector<std::string>{"refused"});
}

TEST_F(RefusedInstanceTest, ARefusedReloadLeavesNoInstance)
{
    Grant(1);
    {
        IntegrationEx connection;
        ASSERT_EQ(connection.Initialize(Library(), Signed()), result::Success);
        std::string response;
        // The answer comes with an update event asking for a reload.
        ASSERT_EQ(connection.RequestUnderLock(GetStatusRequest, response, 5000), result::Success);
        ASSERT_TRUE(WaitForCall("refused"));
        // The reload holds the lock until it is done, so these come after it.
        EXPECT_EQ(connection.RequestUnderLock(GetStatusRequest, response, 5000), result::NoConnection);
        EXPECT_EQ(connection.PostUnderLock(GetStatusRequest, "id"), result::NoConnection);
        connection.Shutdown();
    }
    EXPECT_EQ(Calls(), (std::vector<std::string>{"granted", "request", "released", "refused"}));
}

// The late-callback library, held loaded by the test so that its counters
// can be read.
class LateCallbackTest : public testing::Test {
protected:
    void SetUp() override
    {
        library_.reset(LoadLibraryW(BesideTest(L"late_callback_agent.dll").c_str()));
        ASSERT_TRUE(library_);
        configure_ = reinterpret_cast<ConfigureFunction>(
            reinterpret_cast<void*>(GetProcAddress(library_.get(), "LateAgent_Configure")));
        running_ = reinterpret_cast<RunningFunction>(
            reinterpret_cast<void*>(GetProcAddress(library_.get(), "LateAgent_Running")));
        outlived_ = reinterpret_cast<OutlivedFunction>(
            reinterpret_cast<void*>(GetProcAddress(library_.get(), "LateAgent_Outlived")));
        ASSERT_NE(configure_, nullptr);
        ASSERT_NE(running_, nullptr);
        ASSERT_NE(outlived_, nullptr);
        outlivedBefore_ = outlived_();
    }

    // No callback went on in the connection's code after it released its instance.
    void TearDown() override
    {
        if (outlived_ == nullptr)
            return;
        EXPECT_TRUE(WaitUntilQuiet());
        EXPECT_EQ(outlived_() - outlivedBefore_, 0);
    }

    // Until no callback of the library is running any more.
    bool WaitUntilQuiet() const
    {
        for (int i = 0; i < 2000 && running_() != 0; ++i)
            Sleep(5);
        return running_() == 0;
    }

    static std::string Library() { return WideToUtf8(BesideTest(L"late_callback_agent.dll")); }

    using ConfigureFunction = void (*)(const char*, const char*, const char*, const char*);
    using RunningFunction = int (*)();
    using OutlivedFunction = long long (*)();
    UniqueModule library_;
    ConfigureFunction configure_ = nullptr;
    RunningFunction running_ = nullptr;
    OutlivedFunction outlived_ = nullptr;
    long long outlivedBefore_ = 0;
};

// Counts the callbacks inside the connection's own handler.
template <class Connection>
class Watched : public Connection {
public:
    void OnNotification(std::string_view name, std::string_view data) override
    {
        ++inside;
        Connection::OnNotification(name, data);
        --inside;
    }
    std::atomic<int> inside{0};
};

// New kernel objects that take the values of handles just closed: one that
// gets signalled shows that a late callback used a closed handle.
class ReusedHandleDetector {
public:
    ReusedHandleDetector()
    {
        for (auto& event : events_)
            event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    }
    bool AnySignalled() const
    {
        for (const auto& event : events_) {
            if (WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0)
                return true;
        }
        return false;
    }

private:
    UniqueHandle events_[4];
};

// The reload event with a long tail in front of its word, so that the
// runner's handler takes a while over every delivery (each also reloads).
TEST_F(LateCallbackTest, ShutdownWaitsForTheReloadHandler)
{
    const std::string data = std::string(8 << 20, 'x') + "reloadRequired";
    configure_("Tesdk.UpdateFinished", data.c_str(), "", "");
    for (int round = 0; round < 40; ++round) {
        Watched<IntegrationEx> connection;
        ASSERT_EQ(connection.Initialize(Library(), Signed()), result::Success);
        Sleep(round % 4);
        connection.Shutdown();
        ASSERT_EQ(connection.inside.load(), 0) << "round " << round;
        ReusedHandleDetector detector;
        ASSERT_TRUE(WaitUntilQuiet());
        ASSERT_FALSE(detector.AnySignalled()) << "round " << round;
    }
}

// A policy event and a posted answer for the receiver's (empty) identifiers,
// the event padded so that parsing it takes a while.
class LateArrivalTest : public LateCallbackTest {
protected:
    void SetUp() override
    {
        LateCallbackTest::SetUp();
        const std::string policy = R"({"taskid":"","pad":")" + std::string(4 << 20, 'x') + "\"}";
        configure_("FileScan.OnDemand.ScanLog.Policy", policy.c_str(), "", "{}");
    }
};

TEST_F(LateArrivalTest, ShutdownWaitsForTheReceiversHandlers)
{
    for (int round = 0; round < 30; ++round) {
        Watched<IntegrationNotificationReceiver> receiver;
        ASSERT_EQ(receiver.Initialize(Library(), Signed()), result::Success);
        ASSERT_EQ(WaitForMultipleObjects(2, receiver.ArrivalEvents(), TRUE, 10000), WAIT_OBJECT_0);
        receiver.Shutdown();
        ASSERT_EQ(receiver.inside.load(), 0) << "round " << round;
    }
}

TEST_F(LateArrivalTest, DestroyingTheReceiverWaitsForItsHandlers)
{
    // Each receiver's storage outlives it: a delivery that the library began
    // before UnregisterCallbacks but that reaches the connection only after
    // its destruction must find it closed, not freed memory.
    constexpr int Rounds = 30;
    struct alignas(IntegrationNotificationReceiver) Storage {
        unsigned char bytes[sizeof(IntegrationNotificationReceiver)];
    };
    static Storage storage[Rounds];
    for (int round = 0; round < Rounds; ++round) {
        auto* receiver = new (storage[round].bytes) IntegrationNotificationReceiver();
        ASSERT_EQ(receiver->Initialize(Library(), Signed()), result::Success);
        Sleep(round % 5);
        receiver->~IntegrationNotificationReceiver();
        ReusedHandleDetector detector;
        ASSERT_TRUE(WaitUntilQuiet());
        ASSERT_FALSE(detector.AnySignalled()) << "round " << round;
    }
}

}  // namespace

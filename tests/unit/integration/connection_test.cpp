// The agent connection against the real tesdk.dll stand-in.
#include "agent_fixture.h"
#include "captured_output.h"
#include "connection_requests.h"
#include "result_code_printer.h"

#include "commands/product/product_status.h"
#include "integration/integration_ex.h"
#include "integration/tesdk_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using cv::tesdk::Integration;
using cv::tesdk::IntegrationEx;
using cv::tesdk::SdkLoadOptions;

namespace {

class ConnectionTest : public testing::Test {
protected:
    AgentFixture agent;
};

struct InitializeCase {
    const char* name;
    std::string path;   // empty: the stand-in
    std::string script;
    int32_t expected;
};

class InitializeResultTest : public ConnectionTest, public testing::WithParamInterface<InitializeCase> {};

TEST_P(InitializeResultTest, ReturnsTheCause)
{
    if (!GetParam().script.empty())
        agent.SetScript(GetParam().script);
    Integration connection;
    const std::string path = GetParam().path.empty() ? AgentFixture::LibraryPath() : GetParam().path;
    EXPECT_EQ(connection.Initialize(path, Signed()), ResultCode(GetParam().expected));
    // Without an instance nothing reaches the library.
    std::string response;
    if (GetParam().expected != 0) {
        EXPECT_EQ(connection.RequestUnderLock(GetStatusRequest, response, 5000), result::NoConnection);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Causes, InitializeResultTest,
    testing::Values(InitializeCase{"connected", "", "", 0},
                    InitializeCase{"invalid_utf8_path", "C:\\\xFF.dll", "", 2},
                    InitializeCase{"missing_library", "Z:\\nowhere\\tesdk.dll", "", 126},
                    // A library without the two exports stays loaded and answers 87.
                    InitializeCase{"missing_exports", "TesJson.dll", "", 87},
                    InitializeCase{"library_refuses", "", R"({"instance": {"status": 1234}})", 1234},
                    InitializeCase{"success_without_instance", "", R"({"instance": {"null": true}})", 5023}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(ConnectionTest, EmptyPathIsNotFound)
{
    Integration connection;
    EXPECT_EQ(connection.Initialize("", Signed()), ResultCode(2));
}

TEST_F(ConnectionTest, SecondInitializeReloads)
{
    Integration connection;
    ASSERT_EQ(connection.Initialize(AgentFixture::LibraryPath(), Signed()), result::Success);
    ASSERT_EQ(connection.Initialize(AgentFixture::LibraryPath(), Signed()), result::Success);
    connection.Uninitialize();
    std::vector<std::string> events;
    for (const auto& entry : agent.LogEntries())
        events.push_back(entry["event"].asString());
    EXPECT_EQ(events, (std::vector<std::string>{"instance_created", "instance_released", "instance_created",
                                                "instance_released"}));
}

TEST_F(ConnectionTest, RequestReturnsTheLibrarysTextAndResult)
{
    agent.SetScript(R"({"answers": {"Product/GetStatus": [{"output": {"v": 1}}, {"status": 1460}]}})");
    Integration connection;
    ASSERT_EQ(connection.Initialize(AgentFixture::LibraryPath(), Signed()), result::Success);
    std::string response = "untouched";
    ASSERT_EQ(connection.RequestUnderLock(GetStatusRequest, response, 5000), result::Success);
    EXPECT_NE(response.find("\"v\":1"), std::string::npos) << response;
    std::string second = "untouched";
    EXPECT_EQ(connection.RequestUnderLock(GetStatusRequest, second, 5000), result::ResponseTimeout);
    EXPECT_EQ(second, "untouched");
}

// Two reload requests in quick succession reload twice; an update without
// either word does not reload.
struct ReloadCase {
    const char* name;
    const char* firstData;
    const char* secondData;
    size_t reloads;
};

class ReloadTest : public ConnectionTest, public testing::WithParamInterface<ReloadCase> {};

TEST_P(ReloadTest, ReloadsOncePerRequest)
{
    agent.SetScript(std::string(R"({"answers": {"Product/GetStatus": {"output": {}, "notifications": [
        {"name": "Tesdk.UpdateFinished", "data": ")") + GetParam().firstData + R"("},
        {"name": "Tesdk.UpdateFinished", "data": ")" + GetParam().secondData + R"("}]}}})");
    IntegrationEx connection;
    ASSERT_EQ(connection.Initialize(AgentFixture::LibraryPath(), Signed()), result::Success);
    std::string response;
    ASSERT_EQ(connection.RequestUnderLock(GetStatusRequest, response, 5000), result::Success);
    ASSERT_TRUE(agent.WaitForEntries("notification", 2));
    ASSERT_TRUE(agent.WaitForEntries("instance_created", 1 + GetParam().reloads));
    Sleep(300);  // time for a reload that should not happen
    connection.Shutdown();
    EXPECT_EQ(agent.LogEntries("instance_created").size(), 1 + GetParam().reloads);
}

INSTANTIATE_TEST_SUITE_P(Updates, ReloadTest,
                         testing::Values(ReloadCase{"two_required", "{\\\"reloadRequired\\\":true}", "reloadRequired", 2},
                                         ReloadCase{"optional_and_required", "x reloadOptional y", "reloadRequired", 2},
                                         ReloadCase{"neither_word", "{\\\"reload\\\":false}", "nothing", 0}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(ConnectionTest, OtherEventsDoNotReload)
{
    agent.SetScript(R"({"answers": {"Product/GetStatus": {"output": {}, "notifications": [
        {"name": "Tesdk.UpdateFinishedX", "data": "reloadRequired"},
        {"name": "tesdk.updatefinished", "data": "reloadRequired"}]}}})");
    IntegrationEx connection;
    ASSERT_EQ(connection.Initialize(AgentFixture::LibraryPath(), Signed()), result::Success);
    std::string response;
    ASSERT_EQ(connection.RequestUnderLock(GetStatusRequest, response, 5000), result::Success);
    ASSERT_TRUE(agent.WaitForEntries("notification", 2));
    Sleep(300);
    EXPECT_EQ(agent.LogEntries("instance_created").size(), 1u);
}

TEST_F(ConnectionTest, RequestAfterShutdownNeverReachesTheLibrary)
{
    IntegrationEx connection;
    ASSERT_EQ(connection.Initialize(AgentFixture::LibraryPath(), Signed()), result::Success);
    connection.Shutdown();
    connection.Shutdown();  // twice is harmless
    std::string response;
    EXPECT_EQ(connection.RequestUnderLock(GetStatusRequest, response, 5000), result::NoConnection);
    EXPECT_EQ(connection.PostUnderLock(GetStatusRequest, "id"), result::NoConnection);
    EXPECT_TRUE(agent.LogEntries("request").empty());
    EXPECT_TRUE(agent.LogEntries("post").empty());
}

TEST_F(ConnectionTest, ShutdownFromTwoThreadsAtOnce)
{
    for (int round = 0; round < 20; ++round) {
        IntegrationEx connection;
        ASSERT_EQ(connection.Initialize(AgentFixture::LibraryPath(), Signed()), result::Success);
        std::thread other([&] { connection.Shutdown(); });
        connection.Shutdown();
        other.join();
    }
    EXPECT_EQ(agent.LogEntries("instance_created").size(), agent.LogEntries("instance_released").size());
}

// Requests under the lock, reloads on the reload thread and callbacks on the
// library's thread, all at once for a few seconds.
TEST_F(ConnectionTest, RequestsReloadsAndCallbacksTogether)
{
    agent.SetScript(R"({"answers": {"Product/GetStatus": {"output": {}, "notifications": [
        {"name": "Tesdk.UpdateFinished", "data": "reloadRequired"},
        {"name": "Product.Support.State", "data": "{}"}]}}})");
    class Counting : public IntegrationEx {
    public:
        void OnNotification(std::string_view name, std::string_view data) override
        {
            ++seen;
            IntegrationEx::OnNotification(name, data);
        }
        std::atomic<int> seen{0};
    } connection;
    ASSERT_EQ(connection.Initialize(AgentFixture::LibraryPath(), Signed()), result::Success);

    std::atomic<bool> stop{false};
    std::atomic<int> answered{0}, refused{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i) {
        workers.emplace_back([&] {
            while (!stop) {
                std::string response;
                const ResultCode status = connection.RequestUnderLock(GetStatusRequest, response, 5000);
                if (status == result::Success && response.find("GetStatus") != std::string::npos)
                    ++answered;
                else if (status == result::NoConnection)
                    ++refused;
                else
                    ADD_FAILURE() << "status " << testing::PrintToString(status);
            }
        });
    }
    Sleep(3000);
    stop = true;
    for (auto& worker : workers)
        worker.join();
    connection.Shutdown();
    EXPECT_GT(answered.load(), 10);
    // A reload holds the lock from the unload to the end of the load.
    EXPECT_EQ(refused.load(), 0);
    EXPECT_GT(connection.seen.load(), 10);
    EXPECT_GT(agent.LogEntries("instance_created").size(), 2u);
    EXPECT_EQ(agent.LogEntries("instance_created").size(), agent.LogEntries("instance_released").size());
}

// A Ctrl+C reaches a command with the default cancel while its request is in
// flight: the stop waits for the answer, and every later request finds no
// connection.
TEST_F(ConnectionTest, DefaultCancelWaitsForTheRequestInFlight)
{
    agent.SetScript(R"({"answers": {"Product/GetStatus": {"output": {"Locations": {"Product": {"Version": "9"}}},
                                                        "delay_ms": 1000}}})");
    TesdkRunner runner;
    ASSERT_EQ(runner.Initialize(AgentFixture::LibraryPath(), Signed()), result::Success);
    CommandGetVersion command(&runner);

    ResultCode result{-1};
    std::wstring output;
    std::thread execute([&] {
        CapturedOutput captured;
        result = command.Execute({"product"});
        output = captured.Text();
    });
    ASSERT_TRUE(agent.WaitForEntries("request", 1));
    const ULONGLONG cancelled = GetTickCount64();
    EXPECT_FALSE(command.Cancel());
    EXPECT_GE(GetTickCount64() - cancelled, 500u) << "the stop did not wait for the agent's answer";
    execute.join();
    EXPECT_EQ(result, result::Success);
    EXPECT_EQ(output, L"9");

    std::string response;
    EXPECT_EQ(runner.RequestUnderLock(GetStatusRequest, response, 5000), result::NoConnection);
    EXPECT_EQ(command.Execute({"product"}), result::NoConnection);
    EXPECT_EQ(agent.LogEntries("request").size(), 1u);
}

}  // namespace

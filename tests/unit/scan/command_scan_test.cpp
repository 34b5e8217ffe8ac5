// The scan command against the scripted tesdk.dll stand-in. The arrival waits
// are scripted, so no test waits out the real one-second steps.
#include "agent_fixture.h"
#include "captured_output.h"
#include "result_code_printer.h"

#include "commands/scan/command_scan.h"
#include "integration/tesdk_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr char PolicyEvent[] =
    R"({"name": "FileScan.OnDemand.ScanLog.Policy", "data": {"taskid": "${input:customScanTask/taskId}",
        "logfilepath": "C:\\logs\\scan.log", "runstatus": 0, "extraData": {"summary": {"totalscanned": 10,
        "stillinfected": 1, "stillsuspicious": 2, "disinfected": 3, "deleted": 4, "moved": 5}}}})";

constexpr char ScanAnswerOutput[] =
    R"({"scanSummary": {"IOErrors": 1, "archiveBombs": 2, "archivePasswordProtected": 4}})";

constexpr wchar_t SummaryLines[] =
    L"Status: finished\n"
    L"Log path: C:\\logs\\scan.log\n"
    L"Scanned items: 10\n"
    L"Remaining issues: 3\n"
    L"Resolved issues: 12\n"
    L"Objects that were not scanned: 7\n";

// A scan that answers and reports at once, unless the parts are replaced.
std::string Script(const std::string& runScanTask = std::string(R"({"output": )") + ScanAnswerOutput +
                                                    R"(, "notifications": [)" + PolicyEvent + "]}",
                   int progressError = 0, const std::string& extra = "")
{
    return R"({"answers": {"FileScan.OnDemand/RunScanTask": )" + runScanTask +
           R"(, "FileScan.OnDemand/GetScanProgress": {"output": {"progress": [{"progressError": )" +
           std::to_string(progressError) + R"(}]}}, "FileScan.OnDemand/StopScanTask": {"no_answer": true}})" +
           extra + "}";
}

const std::string SilentScan = R"({"no_answer": true})";

struct RunOutcome {
    int code;
    std::wstring output;
};

class CommandScanTest : public testing::Test {
protected:
    void Connect(const std::string& script)
    {
        agent.SetScript(script);
        cv::tesdk::SdkLoadOptions options;
        options.requireSignedLibrary = true;
        ASSERT_EQ(runner.Initialize(AgentFixture::LibraryPath(), options), result::Success);
    }

    // The first `timeouts` waits time out at once; later ones really wait.
    ArrivalWait TimeoutsThenWait(unsigned timeouts)
    {
        return [this, timeouts](const HANDLE* events, DWORD timeoutMs) -> DWORD {
            waitTimeouts.push_back(timeoutMs);
            if (onWait)
                onWait(waitTimeouts.size());
            if (waitTimeouts.size() <= timeouts)
                return WAIT_TIMEOUT;
            return WaitForBothArrivals(events, timeoutMs);
        };
    }

    RunOutcome Run(CommandScan& command, const ArgumentTokens& args)
    {
        CapturedOutput captured;
        // As a number, so the tables of cases read like the codes they expect.
        const int32_t code = static_cast<int32_t>(command.Execute(args));
        return {code, captured.Text()};
    }

    // Inputs of one method as the agent received them, posted or sent.
    std::vector<Json::Value> Inputs(const std::string& event, const std::string& method) const
    {
        std::vector<Json::Value> inputs;
        for (const Json::Value& entry : agent.LogEntries(event)) {
            for (const Json::Value& call : entry["document"]["data"]["FileScan.OnDemand"]) {
                if (call["@name"] == method)
                    inputs.push_back(call["input"]);
            }
        }
        return inputs;
    }

    AgentFixture agent;
    TesdkRunner runner;
    std::vector<DWORD> waitTimeouts;
    std::function<void(size_t)> onWait;
};

TEST_F(CommandScanTest, WithoutArgumentsNothingIsAsked)
{
    Connect(Script());
    CommandScan command(&runner);
    const RunOutcome outcome = Run(command, {});
    EXPECT_EQ(outcome.code, 160);
    EXPECT_EQ(outcome.output, L"No parameters found! \n");
    const RunOutcome withoutCustom = Run(command, {"scanMemory=true"});
    EXPECT_EQ(withoutCustom.code, 160);
    EXPECT_EQ(withoutCustom.output, L"");
    EXPECT_TRUE(agent.LogEntries("post").empty());
    EXPECT_EQ(agent.LogEntries("instance_created").size(), 1u);  // the runner's only
}

TEST_F(CommandScanTest, FinishedScanPrintsItsSummaryAndClosesTheReceiver)
{
    Connect(Script());
    CommandScan command(&runner);
    const RunOutcome outcome = Run(command, {"custom", "path=C:\\a"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.output, SummaryLines);

    const auto posts = agent.LogEntries("post");
    ASSERT_EQ(posts.size(), 1u);
    const Json::Value& input = posts[0]["document"]["data"]["FileScan.OnDemand"][0]["input"];
    EXPECT_EQ(posts[0]["requestId"], input["customScanTask"]["taskId"]);
    EXPECT_EQ(input["customScanTask"]["scanSettings"]["pathsToBeScanned"][0]["path"], "C:\\a");
    EXPECT_TRUE(Inputs("request", "GetScanProgress").empty());
    EXPECT_EQ(agent.LogEntries("instance_created").size(), 2u);
    EXPECT_EQ(agent.LogEntries("instance_released").size(), 1u);
}

TEST_F(CommandScanTest, TheAnswersResultIsTheCommandsResult)
{
    Connect(Script(std::string(R"({"result": 5, "output": )") + ScanAnswerOutput + R"(, "notifications": [)" +
                   PolicyEvent + "]}"));
    CommandScan command(&runner);
    const RunOutcome outcome = Run(command, {"custom"});
    EXPECT_EQ(outcome.code, 5);
    EXPECT_EQ(outcome.output, SummaryLines);
}

TEST_F(CommandScanTest, IncompleteSummaryIsAnError)
{
    std::string policy = PolicyEvent;
    policy.replace(policy.find("\"totalscanned\": 10"), 18, "\"totalscanned\": -10");
    Connect(Script(std::string(R"({"output": )") + ScanAnswerOutput + R"(, "notifications": [)" + policy + "]}"));
    CommandScan command(&runner);
    const RunOutcome outcome = Run(command, {"custom"});
    EXPECT_EQ(outcome.code, 1359);
    EXPECT_EQ(outcome.output, L"error: 1359\n");
}

TEST_F(CommandScanTest, PollsAfterEveryTenWaits)
{
    Connect(Script());
    CommandScan command(&runner, TimeoutsThenWait(24));
    const RunOutcome outcome = Run(command, {"custom"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.output, SummaryLines);
    EXPECT_EQ(waitTimeouts, std::vector<DWORD>(25, 1000));

    const auto polls = Inputs("request", "GetScanProgress");
    ASSERT_EQ(polls.size(), 2u);
    const Json::Value taskId = Inputs("post", "RunScanTask").at(0)["customScanTask"]["taskId"];
    for (const Json::Value& poll : polls) {
        EXPECT_EQ(poll["tasks"][0]["taskId"], taskId);
        EXPECT_EQ(poll["tasks"][0]["userSid"], "");
    }
    for (const Json::Value& request : agent.LogEntries("request"))
        EXPECT_EQ(request["timeout_ms"], 5000);
}

TEST_F(CommandScanTest, ProgressErrorLeavesTheScanFiveSecondsToFinish)
{
    Connect(Script(std::string(R"({"output": )") + ScanAnswerOutput + R"(, "notifications": [)" + PolicyEvent + "]}",
                   3));
    CommandScan command(&runner, TimeoutsThenWait(10));
    const RunOutcome outcome = Run(command, {"custom"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.output, SummaryLines);
    std::vector<DWORD> expected(10, 1000);
    expected.push_back(5000);
    EXPECT_EQ(waitTimeouts, expected);
    EXPECT_EQ(Inputs("request", "GetScanProgress").size(), 1u);
}

TEST_F(CommandScanTest, ProgressErrorThenSilenceIsAnInterruption)
{
    Connect(Script(SilentScan, 3));
    CommandScan command(&runner, TimeoutsThenWait(1000));
    const RunOutcome outcome = Run(command, {"custom"});
    EXPECT_EQ(outcome.code, 1223);
    EXPECT_EQ(outcome.output, L"error: 1359\ndescription: Scan interrupted.\n");
    EXPECT_TRUE(Inputs("post", "StopScanTask").empty());
}

TEST_F(CommandScanTest, CancelDuringTheWaitStopsTheTask)
{
    Connect(Script(SilentScan));
    CommandScan command(&runner, TimeoutsThenWait(1000));
    onWait = [&command](size_t wait) {
        if (wait == 3)
            command.Cancel();
    };
    const RunOutcome outcome = Run(command, {"custom"});
    EXPECT_EQ(outcome.code, 1223);
    EXPECT_EQ(outcome.output, L"error: 1223\ndescription: Scan interrupted.\n");
    EXPECT_EQ(waitTimeouts.size(), 3u);

    const auto posts = agent.LogEntries("post");
    ASSERT_EQ(posts.size(), 2u);
    const std::string taskId = posts[0]["requestId"].asString();
    EXPECT_EQ(posts[1]["requestId"], taskId);
    Json::Value stop;
    stop["userSid"] = "";
    stop["taskId"] = taskId;
    EXPECT_EQ(Inputs("post", "StopScanTask"), std::vector<Json::Value>{stop});
}

// A Ctrl+C that comes after both arrivals, before the command has looked:
// the summary is printed, the result is still "cancelled", and the finished
// task is not asked to stop.
TEST_F(CommandScanTest, CancelAfterBothArrivalsPrintsTheSummaryAndCancels)
{
    Connect(Script());
    CommandScan* running = nullptr;
    CommandScan command(&runner, [&running](const HANDLE* events, DWORD timeoutMs) {
        const DWORD woke = WaitForBothArrivals(events, timeoutMs);
        if (woke != WAIT_TIMEOUT)
            running->Cancel();
        return woke;
    });
    running = &command;
    const RunOutcome outcome = Run(command, {"custom"});
    EXPECT_EQ(outcome.code, 1223);
    EXPECT_EQ(outcome.output, SummaryLines);
    EXPECT_TRUE(Inputs("post", "StopScanTask").empty());
}

TEST_F(CommandScanTest, CancelWhileIdleDoesNotStopTheNextScan)
{
    Connect(Script());
    CommandScan command(&runner);
    EXPECT_TRUE(command.Cancel());
    const RunOutcome outcome = Run(command, {"custom"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.output, SummaryLines);
    EXPECT_TRUE(Inputs("post", "StopScanTask").empty());
}

TEST_F(CommandScanTest, EachRunHasItsOwnTaskIdentifier)
{
    Connect(Script());
    CommandScan command(&runner);
    for (int run = 0; run < 2; ++run) {
        const RunOutcome outcome = Run(command, {"custom"});
        EXPECT_EQ(outcome.code, 0);
        EXPECT_EQ(outcome.output, SummaryLines);
    }
    const auto runs = Inputs("post", "RunScanTask");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_NE(runs[0]["customScanTask"]["taskId"], runs[1]["customScanTask"]["taskId"]);
}

TEST_F(CommandScanTest, FailedPostClosesTheReceiver)
{
    Connect(Script(R"({"post_status": 1460})"));
    CommandScan command(&runner);
    const RunOutcome outcome = Run(command, {"custom"});
    EXPECT_EQ(outcome.code, 1359);
    EXPECT_EQ(outcome.output, L"Excute command failed! \n");
    EXPECT_EQ(agent.LogEntries("instance_released").size(), 1u);
}

TEST_F(CommandScanTest, RefusedReceiverConnectionPostsNothing)
{
    // The runner's instance is created, the receiver's refused.
    Connect(Script(SilentScan, 0, R"(, "instance": [{"status": 0}, {"status": 5}])"));
    CommandScan command(&runner);
    const RunOutcome outcome = Run(command, {"custom"});
    EXPECT_EQ(outcome.code, 2250);
    EXPECT_EQ(outcome.output, L"Failed to connect! \n");
    EXPECT_TRUE(agent.LogEntries("post").empty());
}

}  // namespace

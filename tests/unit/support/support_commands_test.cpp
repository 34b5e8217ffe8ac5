// The seven support commands against the scripted tesdk.dll stand-in: what
// they send, what they print, what they return. The waits run with a sleeper
// of a few real milliseconds, so scripted events still arrive in time.
#include "agent_fixture.h"
#include "captured_output.h"
#include "result_code_printer.h"

#include "commands/support/session_queries.h"
#include "commands/support/session_start_commands.h"
#include "commands/support/session_stop_commands.h"
#include "commands/support/support_state.h"
#include "integration/tesdk_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct RunOutcome {
    int code;
    std::wstring output;
};

// A method's answer as a script entry.
std::string Answer(int error, const std::string& output = "", const std::string& extra = "")
{
    std::string answer = "{\"error\": " + std::to_string(error);
    if (!output.empty())
        answer += ", \"output\": " + output;
    return answer + extra + "}";
}

std::string Event(const char* name, const std::string& data, int delayMs)
{
    return std::string("{\"name\": \"") + name + "\", \"data\": " + data + ", \"delay_ms\": " +
           std::to_string(delayMs) + "}";
}

std::string WithEvents(const std::vector<std::string>& events)
{
    std::string list = ", \"notifications\": [";
    for (size_t i = 0; i < events.size(); ++i)
        list += (i == 0 ? "" : ", ") + events[i];
    return list + "]";
}

class SupportCommandTest : public testing::Test {
protected:
    // `answers`: the members of the script's "answers" object.
    void Connect(const std::string& answers, const std::string& extra = "")
    {
        agent.SetScript("{\"answers\": {" + answers + "}" + extra + "}");
        cv::tesdk::SdkLoadOptions options;
        options.requireSignedLibrary = true;
        ASSERT_EQ(runner.Initialize(AgentFixture::LibraryPath(), options), result::Success);
    }

    // Sleeps a few real milliseconds per step, so the stand-in's events come
    // within the first steps.
    WaitSleeper Sleeper(DWORD realMs = 5)
    {
        return [this, realMs](DWORD ms) {
            EXPECT_EQ(ms, 1000u);
            const unsigned step = ++steps;
            if (onStep)
                onStep(step);
            if (realMs != 0)
                Sleep(realMs);
        };
    }

    RunOutcome Run(ICommand& command, const ArgumentTokens& args)
    {
        CapturedOutput captured;
        // As a number, so the tables of cases read like the codes they expect.
        const int32_t code = static_cast<int32_t>(command.Execute(args));
        return {code, captured.Text()};
    }

    // Inputs of one "Product.Support" method, as the agent received them.
    std::vector<Json::Value> Inputs(const std::string& method) const
    {
        std::vector<Json::Value> inputs;
        for (const Json::Value& entry : agent.LogEntries("request")) {
            for (const Json::Value& call : entry["document"]["data"]["Product.Support"]) {
                if (call["@name"] == method)
                    inputs.push_back(call["input"]);
            }
        }
        return inputs;
    }

    // Every request went through the runner (the first instance) within `timeoutMs`.
    void ExpectRequestsThroughRunner(unsigned timeoutMs) const
    {
        const Json::Value runnerInstance = agent.LogEntries("instance_created").at(0)["instance"];
        for (const Json::Value& request : agent.LogEntries("request")) {
            EXPECT_EQ(request["instance"], runnerInstance);
            EXPECT_EQ(request["timeout_ms"].asUInt(), timeoutMs);
        }
    }

    AgentFixture agent;
    TesdkRunner runner;
    std::atomic<unsigned> steps{0};
    std::function<void(unsigned)> onStep;
};

const std::string Active = Event("Product.Support.State", R"({"state": "active"})", 100);
const std::string Pending = Event("Product.Support.State", R"({"state": "pending"})", 30);

constexpr wchar_t Waiting[] = L"Waiting for operation to complete...\n";
constexpr wchar_t Success[] = L"Operation completed.\nStatus: success\n";

TEST_F(SupportCommandTest, StartSessionSendsTheScenarioAndWaitsUntilActive)
{
    Connect("\"Product.Support/StartSession\": " + Answer(0, "{}", WithEvents({Pending, Active})));
    CommandStartSession command(&runner, Sleeper());
    const RunOutcome outcome = Run(command, {"scenario=a", "scenarioId=b", "unknown=1"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.output, std::wstring(Waiting) + Success);

    Json::Value expected;
    expected["scenarios"].append("a");
    expected["deliverTo"][0]["type"] = "local";
    expected["deliverTo"][0]["folder"] = "";
    expected["troubleshoot"]["stopWhen"]["timeExceeds"] = 864000;
    EXPECT_EQ(Inputs("StartSession"), std::vector<Json::Value>{expected});
    ExpectRequestsThroughRunner(30000);
    // The command listens on a connection of its own.
    EXPECT_EQ(agent.LogEntries("instance_created").size(), 2u);
}

TEST_F(SupportCommandTest, StartSessionArguments)
{
    Connect("\"Product.Support/StartSession\": " + Answer(0, "{}", WithEvents({Active})));
    CommandStartSession command(&runner, Sleeper());
    const struct {
        ArgumentTokens args;
        const char* scenarios;
        const char* folder;
        Json::Int64 seconds;
    } cases[] = {
        {{"scenario=a", "-scenario=b"}, R"(["a", "b"])", "", 864000},
        {{"--scenarioId=x", "timeout=1"}, R"(["x"])", "", 3600},
        {{"scenarioId=x", "timeout=596523", "timeout=bad"}, R"(["x"])", "", 2147482800},
        {{"scenario=", "outputPath=\"C:\\my \"dir\"\"", "outputPath=D:\\"}, R"([""])", "C:\\my dir", 864000},
    };
    for (const auto& run : cases) {
        const RunOutcome outcome = Run(command, run.args);
        EXPECT_EQ(outcome.code, 0);
        Json::Value scenarios;
        Json::Reader().parse(run.scenarios, scenarios);
        const Json::Value input = Inputs("StartSession").back();
        EXPECT_EQ(input["scenarios"], scenarios);
        EXPECT_EQ(input["deliverTo"][0]["folder"], run.folder);
        EXPECT_EQ(input["troubleshoot"]["stopWhen"]["timeExceeds"].asInt64(), run.seconds);
    }
}

TEST_F(SupportCommandTest, StartSessionRejectsArgumentsBeforeSending)
{
    Connect("\"Product.Support/StartSession\": " + Answer(0));
    CommandStartSession command(&runner, Sleeper());
    const struct {
        ArgumentTokens args;
        const wchar_t* printed;
    } cases[] = {
        {{}, L"Parameter scenario not found.\n"},
        {{"outputPath=C:\\a", "timeout=1"}, L"Parameter scenario not found.\n"},
        {{"scenario=a", "timeout=0"}, L"Invalid value for timeout parameter.\n"},
        {{"scenario=a", "timeout=-1"}, L"Invalid value for timeout parameter.\n"},
        {{"scenario=a", "timeout=1h"}, L"Invalid value for timeout parameter.\n"},
        {{"scenario=a", "timeout=+5"}, L"Invalid value for timeout parameter.\n"},
        {{"scenario=a", "timeout="}, L"Invalid value for timeout parameter.\n"},
        {{"scenario=a", "timeout"}, L"Invalid value for timeout parameter.\n"},
        {{"scenario=a", "timeout=596524"}, L"Invalid value for timeout parameter.\n"},
    };
    for (const auto& run : cases) {
        const RunOutcome outcome = Run(command, run.args);
        EXPECT_EQ(outcome.code, 87);
        EXPECT_EQ(outcome.output, run.printed);
    }
    EXPECT_TRUE(Inputs("StartSession").empty());
}

struct CodeCase {
    std::string answer;
    const wchar_t* printed;
    int code;
};

TEST_F(SupportCommandTest, StartSessionExplainsTheAgentsRefusals)
{
    const std::vector<CodeCase> cases = {
        {Answer(288), L"Administrative privileges are required!\n", 740},
        {Answer(-1056), L"A support session is already in progress. Please wait until it is finished.\n", -1056},
        {Answer(-13), L"The given scenario is invalid.\n", -13},
        {Answer(-161), L"\"C:\\bad dir\" is an invalid or inaccessible path. Please try again with another one.\n",
         -161},
        {Answer(-112, R"({"diskSpaceNeeded": 5368709120})"),
         L"There is not enough space on the system partition, 5GB needed.\n", -112},
        {Answer(-112, R"({"diskSpaceNeeded": 1073741823})"),
         L"There is not enough space on the system partition, 0GB needed.\n", -112},
        {Answer(-112, R"({"diskSpaceNeeded": "5368709120"})"), L"There is not enough space on the system partition.\n",
         -112},
        {Answer(-112), L"There is not enough space on the system partition.\n", -112},
        {Answer(-5023), L"", -5023},
        {Answer(5), L"", 5},
        {R"({"status": 1460})", L"", 1460},
        {R"({"raw": "{\"response\": {\"data\": {\"Product.Support\": []}}}"})", L"", 1627},
    };
    std::string answers;
    for (const CodeCase& refusal : cases)
        answers += (answers.empty() ? "" : ", ") + refusal.answer;
    Connect("\"Product.Support/StartSession\": [" + answers + "]");
    CommandStartSession command(&runner, Sleeper(0));
    for (const CodeCase& refusal : cases) {
        const RunOutcome outcome = Run(command, {"scenario=a", "outputPath=\"C:\\bad dir\""});
        EXPECT_EQ(outcome.output, refusal.printed) << refusal.answer;
        EXPECT_EQ(outcome.code, refusal.code) << refusal.answer;
    }
    EXPECT_EQ(steps.load(), 0u);
}

TEST_F(SupportCommandTest, CollectExplainsFewerRefusals)
{
    const std::vector<CodeCase> cases = {
        {Answer(288), L"Administrative privileges are required!\n", 740},
        {Answer(-1056), L"A support session is already in progress. Please wait until it is finished.\n", -1056},
        {Answer(-161), L"\"\" is an invalid or inaccessible path. Please try again with another one.\n", -161},
        {Answer(-13), L"", -13},
        {Answer(-112, R"({"diskSpaceNeeded": 5368709120})"), L"", -112},
    };
    std::string answers;
    for (const CodeCase& refusal : cases)
        answers += (answers.empty() ? "" : ", ") + refusal.answer;
    Connect("\"Product.Support/StartSession\": [" + answers + "]");
    CommandStartCollect command(&runner, Sleeper(0));
    for (const CodeCase& refusal : cases) {
        const RunOutcome outcome = Run(command, {});
        EXPECT_EQ(outcome.output, refusal.printed) << refusal.answer;
        EXPECT_EQ(outcome.code, refusal.code) << refusal.answer;
    }
}

TEST_F(SupportCommandTest, StartSessionPollsEachMinuteForTheActiveState)
{
    Connect("\"Product.Support/StartSession\": " + Answer(0) +
            R"(, "Product.Support/GetState": [{"output": {"state": "pending"}}, {"output": {"state": "active"}}])");
    CommandStartSession command(&runner, Sleeper(0));
    const RunOutcome outcome = Run(command, {"scenario=a"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.output, std::wstring(Waiting) + Success);
    EXPECT_EQ(steps.load(), 119u);
    EXPECT_EQ(Inputs("GetState").size(), 2u);
}

TEST_F(SupportCommandTest, StartSessionGivesUpAfterFifteenMinutes)
{
    Connect("\"Product.Support/StartSession\": " + Answer(0) +
            R"(, "Product.Support/GetState": {"output": {"state": "pending"}})");
    CommandStartSession command(&runner, Sleeper(0));
    const RunOutcome outcome = Run(command, {"scenario=a"});
    EXPECT_EQ(outcome.code, 1460);
    EXPECT_EQ(outcome.output, std::wstring(Waiting) + L"15 minutes time limit exceeded!\n");
    EXPECT_EQ(steps.load(), 900u);
    EXPECT_EQ(Inputs("GetState").size(), 15u);
}

TEST_F(SupportCommandTest, OtherStateEndsTheStartSilently)
{
    Connect("\"Product.Support/StartSession\": " +
            Answer(0, "", WithEvents({Pending, Event("Product.Support.State", R"({"state": "idle"})", 100)})));
    CommandStartSession command(&runner, Sleeper());
    const RunOutcome outcome = Run(command, {"scenario=a"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.output, Waiting);
}

TEST_F(SupportCommandTest, CancelEndsTheWaitAndPrintsEachTime)
{
    // The second run's answer brings the session's start.
    Connect("\"Product.Support/StartSession\": [" + Answer(0) + ", " + Answer(0, "", WithEvents({Active})) + "]");
    CommandStartSession command(&runner, Sleeper());
    onStep = [&command](unsigned step) {
        if (step == 3) {
            command.Cancel();
            command.Cancel();
        }
    };
    const RunOutcome outcome = Run(command, {"scenario=a"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.output,
              std::wstring(Waiting) + L"The wait was interrupted. Exiting...\nThe wait was interrupted. Exiting...\n");
    EXPECT_EQ(steps.load(), 3u);

    // A cancel between runs does not cut the next wait short.
    onStep = nullptr;
    {
        CapturedOutput captured;
        EXPECT_TRUE(command.Cancel());
    }
    steps = 0;
    const RunOutcome next = Run(command, {"scenario=a"});
    EXPECT_EQ(next.output, std::wstring(Waiting) + Success);
    EXPECT_GT(steps.load(), 0u);
}

TEST_F(SupportCommandTest, CollectSendsNoLimitAndReportsEachDelivery)
{
    const std::string ended = Event("Product.Support.SessionEnded", R"({"status": "finished", "deliveredTo": [
        {"type": "local", "path": "C:\\out\\a.zip", "error": 0},
        {"type": "networkShare", "path": "\\\\srv\\s", "error": 53}]})", 100);
    Connect("\"Product.Support/StartSession\": " +
            Answer(0, "", WithEvents({Event("Product.Support.State", R"({"state": "active"})", 20), ended})));
    CommandStartCollect command(&runner, Sleeper());
    const RunOutcome outcome = Run(command, {});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.output, std::wstring(Waiting) +
                                  L"Operation completed.\nPath: C:\\out\\a.zip\nStatus: success\n"
                                  L"Operation completed.\nPath: \\\\srv\\s\nStatus: fail\n");
    Json::Value expected;
    expected["scenarios"] = Json::Value(Json::arrayValue);
    expected["deliverTo"][0]["type"] = "local";
    expected["deliverTo"][0]["folder"] = "";
    EXPECT_EQ(Inputs("StartSession"), std::vector<Json::Value>{expected});
    ExpectRequestsThroughRunner(30000);
}

TEST_F(SupportCommandTest, CollectPollsEveryFiveMinutesForIdle)
{
    Connect("\"Product.Support/StartSession\": " + Answer(0) +
            R"(, "Product.Support/GetState": [{"output": {"state": "active"}}, {"output": {"state": "idle"}}])");
    CommandStartCollect command(&runner, Sleeper(0));
    const RunOutcome outcome = Run(command, {"scenario=a", "outputPath=C:\\x"});
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.output, std::wstring(Waiting) + Success);
    EXPECT_EQ(steps.load(), 599u);
    const Json::Value input = Inputs("StartSession").at(0);
    EXPECT_EQ(input["scenarios"][0], "a");
    EXPECT_EQ(input["deliverTo"][0]["folder"], "C:\\x");
    EXPECT_FALSE(input.isMember("troubleshoot"));
}

// A reload assigns the runner's load options under the runner's lock; the
// listening connection copies them under that lock too, so it opens only
// once the lock is free.
TEST_F(SupportCommandTest, ListeningConnectionReadsTheRunnersOptionsUnderItsLock)
{
    agent.SetScript(R"({"answers": {"Product.Support/AbortSession": {"error": -5023}}})");
    class LockableRunner : public TesdkRunner {
    public:
        using cv::tesdk::Integration::Lock;
    } lockable;
    cv::tesdk::SdkLoadOptions options;
    options.requireSignedLibrary = true;
    ASSERT_EQ(lockable.Initialize(AgentFixture::LibraryPath(), options), result::Success);
    CommandAbortSession command(&lockable, Sleeper(0));

    RunOutcome outcome{};
    std::unique_lock<std::recursive_mutex> held(lockable.Lock());
    std::thread run([&] { outcome = Run(command, {}); });
    Sleep(300);
    EXPECT_EQ(agent.LogEntries("instance_created").size(), 1u) << "opened while the runner was locked";
    held.unlock();
    run.join();
    EXPECT_EQ(outcome.code, -5023);
    EXPECT_EQ(agent.LogEntries("instance_created").size(), 2u);
}

TEST_F(SupportCommandTest, RefusedListeningConnectionSendsNothing)
{
    Connect("", R"(, "instance": [{"status": 0}, {"status": 5}])");
    std::vector<std::unique_ptr<ICommand>> commands;
    commands.push_back(std::make_unique<CommandStartSession>(&runner, Sleeper(0)));
    commands.push_back(std::make_unique<CommandStartCollect>(&runner, Sleeper(0)));
    commands.push_back(std::make_unique<CommandAbortSession>(&runner, Sleeper(0)));
    commands.push_back(std::make_unique<CommandForceAbortSession>(&runner, Sleeper(0)));
    commands.push_back(std::make_unique<CommandEndSession>(&runner, Sleeper(0)));
    for (const auto& command : commands) {
        const RunOutcome outcome = Run(*command, {"scenario=a"});
        EXPECT_EQ(outcome.code, 1627);
        EXPECT_EQ(outcome.output, L"Failed to initialize integration module.\n");
    }
    EXPECT_TRUE(agent.LogEntries("request").empty());
}

struct StopCase {
    const char* command;
    std::function<std::unique_ptr<ICommand>(TesdkRunner*, WaitSleeper)> make;
    const char* method;
    unsigned limitMs;
    std::vector<CodeCase> refusals;
};

std::vector<StopCase> StopCases()
{
    return {
        {"Support.AbortSession",
         [](TesdkRunner* r, WaitSleeper s) { return std::make_unique<CommandAbortSession>(r, std::move(s)); },
         "AbortSession",
         900000,
         {{Answer(288), L"Administrative privileges are required!\n", 740},
          {Answer(-5023), L"There is no support session in progress.\n", -5023},
          {Answer(-1056), L"An abort operation is already in progress. Please wait until it is finished.\n", -1056},
          {Answer(-170), L"", -170},
          {Answer(2250), L"", 2250}}},
        {"Support.ForceAbortSession",
         [](TesdkRunner* r, WaitSleeper s) { return std::make_unique<CommandForceAbortSession>(r, std::move(s)); },
         "ForceAbortSession",
         900000,
         {{Answer(288), L"Administrative privileges are required!\n", 740},
          {Answer(-5023), L"Session in invalid state, session not in cancelling nor forceCancelling state.\n", -5023},
          {Answer(-170),
           L"The force cancel command minimal time did not elapsed from the last abort/forceAbort command.\n", -170},
          {Answer(2250), L"There is no connection with Tessaro Services.\n", 2250},
          {Answer(-1056), L"", -1056}}},
        {"Support.EndSession",
         [](TesdkRunner* r, WaitSleeper s) { return std::make_unique<CommandEndSession>(r, std::move(s)); },
         "EndTroubleshoot",
         30000,
         {{Answer(288), L"Administrative privileges are required!\n", 740},
          {Answer(-1168), L"There is no support session in progress.\n", -1168},
          {Answer(-5023), L"", -5023}}},
    };
}

TEST_F(SupportCommandTest, StopCommandsSendTheirMethodAndExplainRefusals)
{
    for (const StopCase& stop : StopCases()) {
        SCOPED_TRACE(stop.command);
        std::string answers;
        for (const CodeCase& refusal : stop.refusals)
            answers += (answers.empty() ? "" : ", ") + refusal.answer;
        agent.SetScript(std::string("{\"answers\": {\"Product.Support/") + stop.method + "\": [" + answers + "]}}");
        TesdkRunner stopRunner;
        cv::tesdk::SdkLoadOptions options;
        ASSERT_EQ(stopRunner.Initialize(AgentFixture::LibraryPath(), options), result::Success);
        const auto command = stop.make(&stopRunner, Sleeper(0));
        std::string name;
        EXPECT_EQ(command->GetName(name), stop.command);
        const size_t before = Inputs(stop.method).size();
        for (const CodeCase& refusal : stop.refusals) {
            const RunOutcome outcome = Run(*command, {"ignored=1", "scenario=a"});
            EXPECT_EQ(outcome.output, refusal.printed) << refusal.answer;
            EXPECT_EQ(outcome.code, refusal.code) << refusal.answer;
        }
        const auto inputs = Inputs(stop.method);
        ASSERT_EQ(inputs.size(), before + stop.refusals.size());
        EXPECT_EQ(inputs.back(), Json::Value(Json::objectValue));
        EXPECT_EQ(agent.LogEntries("request").back()["timeout_ms"].asUInt(), stop.limitMs);
    }
    EXPECT_EQ(steps.load(), 0u);
}

TEST_F(SupportCommandTest, StopCommandsEndOnTheirSessionEndedEvent)
{
    const auto ended = [](const char* status) {
        return Event("Product.Support.SessionEnded", std::string(R"({"status": ")") + status + "\"}", 50);
    };
    const struct {
        size_t command;  // in StopCases()
        const char* status;
        const wchar_t* printed;
    } cases[] = {
        {0, "aborted", L"Done.\n"},
        {0, "forceAborted", L"Done. Force Aborted.\n"},
        {1, "forceAborted", L"Done.\n"},
        {1, "aborted", L""},
        {2, "error", L"Operation completed.\nStatus: fail\n"},
    };
    const auto stops = StopCases();
    for (const auto& run : cases) {
        const StopCase& stop = stops[run.command];
        SCOPED_TRACE(std::string(stop.command) + " " + run.status);
        agent.SetScript(std::string("{\"answers\": {\"Product.Support/") + stop.method + "\": " +
                        Answer(0, "", WithEvents({Event("Product.Support.State", R"({"state": "idle"})", 10),
                                                  ended(run.status)})) +
                        "}}");
        TesdkRunner stopRunner;
        ASSERT_EQ(stopRunner.Initialize(AgentFixture::LibraryPath(), {}), result::Success);
        const auto command = stop.make(&stopRunner, Sleeper());
        const RunOutcome outcome = Run(*command, {});
        EXPECT_EQ(outcome.code, 0);
        EXPECT_EQ(outcome.output, std::wstring(Waiting) + run.printed);
    }
}

TEST_F(SupportCommandTest, StopCommandsPollForIdle)
{
    const struct {
        size_t command;
        unsigned steps;
        const wchar_t* printed;
    } cases[] = {
        {0, 59, L"Done.\n"},
        {1, 59, L"Done.\n"},
        {2, 299, L"Operation completed.\nStatus: success\n"},
    };
    const auto stops = StopCases();
    for (const auto& run : cases) {
        const StopCase& stop = stops[run.command];
        SCOPED_TRACE(stop.command);
        agent.SetScript(std::string("{\"answers\": {\"Product.Support/") + stop.method + "\": " + Answer(0) +
                        R"(, "Product.Support/GetState": {"output": {"state": "idle"}}}})");
        TesdkRunner stopRunner;
        ASSERT_EQ(stopRunner.Initialize(AgentFixture::LibraryPath(), {}), result::Success);
        steps = 0;
        const auto command = stop.make(&stopRunner, Sleeper(0));
        const RunOutcome outcome = Run(*command, {});
        EXPECT_EQ(outcome.code, 0);
        EXPECT_EQ(outcome.output, std::wstring(Waiting) + run.printed);
        EXPECT_EQ(steps.load(), run.steps);
    }
}

TEST_F(SupportCommandTest, GetStatePrintsThreeLinesWithFallbacks)
{
    const struct {
        std::string answer;
        const wchar_t* printed;
        int code;
    } cases[] = {
        {Answer(0, R"({"state": "active", "scenarios": ["a", "b"], "troubleshoot": {"stoppable": true}})"),
         L"Current state: active\nScenarios: a, b\nStoppable: yes\n", 0},
        {Answer(0, "{}"), L"Current state: error\nScenarios: no scenario used\nStoppable: no\n", 0},
        {Answer(0), L"Current state: error\nScenarios: no scenario used\nStoppable: no\n", 0},
        {Answer(0, R"({"state": 7, "scenarios": ["only"], "troubleshoot": {"stoppable": 1}})"),
         L"Current state: 7\nScenarios: only\nStoppable: yes\n", 0},
        {Answer(0, R"({"state": "idle", "scenarios": ["a", 5, {}], "troubleshoot": {"stoppable": 0}})"),
         L"Current state: idle\nScenarios: no scenario used\nStoppable: no\n", 0},
        {Answer(0, R"({"state": true, "scenarios": "a", "troubleshoot": {"stoppable": "true"}})"),
         L"Current state: error\nScenarios: no scenario used\nStoppable: no\n", 0},
        {Answer(-5), L"Failed to get current status!\n", -5},
        {R"({"raw": "{\"response\": {\"data\": {}}}"})", L"Failed to get current status!\n", 1627},
        {R"({"status": 1460})", L"", 1460},
    };
    std::string answers;
    for (const auto& run : cases)
        answers += (answers.empty() ? "" : ", ") + run.answer;
    Connect("\"Product.Support/GetState\": [" + answers + "]");
    CommandGetState command(&runner);
    for (const auto& run : cases) {
        const RunOutcome outcome = Run(command, {"ignored"});
        EXPECT_EQ(outcome.output, run.printed) << run.answer;
        EXPECT_EQ(outcome.code, run.code) << run.answer;
    }
    ExpectRequestsThroughRunner(5000);
    EXPECT_EQ(Inputs("GetState").back(), Json::Value(Json::objectValue));
}

TEST_F(SupportCommandTest, GetScenariosPrintsFourLinesEach)
{
    const struct {
        std::string answer;
        const wchar_t* printed;
        int code;
    } cases[] = {
        {Answer(0, R"({"scenariosList": [{"id": "net", "displayName": "Network", "description": "Name resolution"},
                                        {"id": "upd", "displayName": "Update", "description": ""}]})"),
         L"Scenario: \n\tId: net\n\tName: Network\n\tDescription: Name resolution\n"
         L"Scenario: \n\tId: upd\n\tName: Update\n\tDescription: \n",
         0},
        {Answer(0, R"({"scenariosList": []})"), L"", 0},
        {Answer(0, R"({"scenariosList": [{"id": "net", "displayName": "Network", "description": "d"},
                                        {"id": "upd", "displayName": "Update"}]})"),
         L"", 87},
        {Answer(0, "{}"), L"", 87},
        {Answer(-5), L"", -5},
        {R"({"raw": "{\"response\": {\"data\": {}}}"})", L"", 1627},
        {R"({"status": 1460})", L"", 1460},
    };
    std::string answers;
    for (const auto& run : cases)
        answers += (answers.empty() ? "" : ", ") + run.answer;
    Connect("\"Product.Support/GetScenarios\": [" + answers + "]");
    CommandGetScenarios command(&runner);
    for (const auto& run : cases) {
        const RunOutcome outcome = Run(command, {});
        EXPECT_EQ(outcome.output, run.printed) << run.answer;
        EXPECT_EQ(outcome.code, run.code) << run.answer;
    }
    ExpectRequestsThroughRunner(5000);
}

// The waits' poll: only an answer with that very state is yes, and it prints nothing.
TEST_F(SupportCommandTest, StatePollSaysYesOnlyForThatState)
{
    struct Case {
        const char* what;
        std::string answer;
        bool yes;
    };
    const Case cases[] = {
        {"that state", Answer(0, R"({"state": "active"})"), true},
        {"another state", Answer(0, R"({"state": "idle"})"), false},
        {"the state in another case", Answer(0, R"({"state": "Active"})"), false},
        {"no state", Answer(0, "{}"), false},
        {"the method's own code", Answer(-5, R"({"state": "active"})"), false},
        {"a failed send", R"({"status": 1460})", false},
        {"no answer", R"({"raw": "{\"response\": {\"data\": {}}}"})", false},
    };
    for (const Case& c : cases) {
        Connect("\"Product.Support/GetState\": " + c.answer);
        CapturedOutput captured;
        EXPECT_EQ(IsSupportState(runner, L"active"), c.yes) << c.what;
        EXPECT_EQ(captured.Text(), L"") << c.what;
    }
    ExpectRequestsThroughRunner(5000);
    EXPECT_EQ(Inputs("GetState"), std::vector<Json::Value>(std::size(cases), Json::Value(Json::objectValue)));

    // A stopped connection sends nothing.
    runner.Shutdown();
    EXPECT_FALSE(IsSupportState(runner, L"idle"));
    EXPECT_EQ(agent.LogEntries("request").size(), std::size(cases));
}

}  // namespace

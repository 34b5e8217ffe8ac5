// The shared wait of the waiting support commands, with a sleeper that
// returns at once: the hour-long limits run in milliseconds.
#include "recorded_output.h"
#include "result_code_printer.h"

#include "commands/support/support_wait.h"
#include "commands/support/support_wait_plans.h"

#include <gtest/gtest.h>

#include "base/text_conversion.h"

#include <cwchar>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace plans = support_wait_plans;

class SupportWaitTest : public testing::Test {
protected:
    // Runs the wait; `onSleep` sees each step's number (from 1) as it sleeps.
    int32_t Wait(const SupportWaitPlan& plan)
    {
        RecordedOutput recorded;
        const WaitSleeper sleeper = [this](DWORD ms) {
            sleptMs.push_back(ms);
            if (onSleep)
                onSleep(static_cast<unsigned>(sleptMs.size()));
        };
        const SupportStatePoll poll = [this](std::wstring_view state) {
            polledAfter.push_back(static_cast<unsigned>(sleptMs.size()));
            polledState = std::wstring(state);
            EXPECT_TRUE(flags.waiting.load());
            return polledAfter.size() == successfulPoll;
        };
        const int32_t code = static_cast<int32_t>(WaitForSupportOperation(plan, flags, sleeper, poll));
        output = recorded.Text();
        data = recorded.Data();
        return code;
    }

    SupportWaitFlags flags;
    std::function<void(unsigned)> onSleep;
    size_t successfulPoll = 0;  // the poll (from 1) that sees the state; 0: none

    std::vector<DWORD> sleptMs;
    std::vector<unsigned> polledAfter;  // steps slept before each poll
    std::wstring polledState;
    std::wstring output;
    Json::Value data;  // what the JSON form would say
};

struct LimitCase {
    const char* command;
    const SupportWaitPlan& plan;
    unsigned steps;
    unsigned pollEvery;
    const wchar_t* state;
    const wchar_t* message;
};

TEST_F(SupportWaitTest, TimeLimitPrintsItsMessageAndGivesResponseTimeout)
{
    const LimitCase cases[] = {
        {"StartSession", plans::StartSession, 900, 60, L"active", L"15 minutes time limit exceeded!\n"},
        {"Collect", plans::Collect, 3600, 300, L"idle", L"1 hour time limit exceeded!\n"},
        {"Abort", plans::Abort, 900, 60, L"idle", L"15 minutes time limit exceeded!\n"},
        {"EndSession", plans::EndSession, 3600, 300, L"idle", L"1 hour time limit exceeded!\n"},
    };
    for (const LimitCase& limit : cases) {
        SCOPED_TRACE(limit.command);
        sleptMs.clear();
        polledAfter.clear();
        EXPECT_EQ(Wait(limit.plan), 1460);
        EXPECT_EQ(output, std::wstring(L"Waiting for operation to complete...\n") + limit.message);
        const std::wstring sentence(limit.message, wcslen(limit.message) - 1);
        EXPECT_EQ(data, JsonOf(R"({"wait": "timedOut", "explanation": ")" + WideToUtf8(sentence) + "\"}"));
        ASSERT_EQ(sleptMs.size(), limit.steps);
        EXPECT_EQ(sleptMs.front(), 1000u);
        EXPECT_EQ(sleptMs.back(), 1000u);
        // The counter starts at 1, so each poll follows one step short of the interval.
        ASSERT_EQ(polledAfter.size(), limit.steps / limit.pollEvery);
        for (size_t poll = 0; poll < polledAfter.size(); ++poll)
            EXPECT_EQ(polledAfter[poll], (poll + 1) * limit.pollEvery - 1);
        EXPECT_EQ(polledState, limit.state);
        EXPECT_FALSE(flags.waiting.load());
    }
}

TEST_F(SupportWaitTest, PollThatSeesTheStatePrintsTheSuccessText)
{
    const struct {
        const SupportWaitPlan& plan;
        unsigned steps;
        const wchar_t* lines;
        const char* data;
    } cases[] = {
        {plans::StartSession, 119, L"Operation completed.\nStatus: success\n",
         R"({"wait": "completed", "status": "success"})"},
        {plans::Abort, 119, L"Done.\n", R"({"wait": "completed", "status": "done"})"},
        {plans::EndSession, 599, L"Operation completed.\nStatus: success\n",
         R"({"wait": "completed", "status": "success"})"},
    };
    for (const auto& success : cases) {
        sleptMs.clear();
        polledAfter.clear();
        successfulPoll = 2;
        EXPECT_EQ(Wait(success.plan), 0);
        EXPECT_EQ(output, std::wstring(L"Waiting for operation to complete...\n") + success.lines);
        EXPECT_EQ(data, JsonOf(success.data));
        EXPECT_EQ(sleptMs.size(), success.steps);
        EXPECT_FALSE(flags.waiting.load());
    }
}

TEST_F(SupportWaitTest, InterruptedWaitEndsWithinAStepAndSucceeds)
{
    onSleep = [this](unsigned step) {
        if (step == 700)
            flags.interrupted.exchange(true);
    };
    EXPECT_EQ(Wait(plans::Collect), 0);
    EXPECT_EQ(output, L"Waiting for operation to complete...\n");
    // The result says success: only the data tells that the agent goes on alone.
    EXPECT_EQ(data, JsonOf(R"({"wait": "interrupted"})"));
    EXPECT_EQ(sleptMs.size(), 700u);
    EXPECT_EQ(polledAfter.size(), 2u);
}

TEST_F(SupportWaitTest, AwaitedEventEndsTheWait)
{
    onSleep = [this](unsigned step) {
        EXPECT_TRUE(flags.waiting.load());
        if (step == 3)
            flags.completed.exchange(true);
    };
    EXPECT_EQ(Wait(plans::StartSession), 0);
    EXPECT_EQ(data, JsonOf(R"({"wait": "completed"})"));
    EXPECT_EQ(sleptMs.size(), 3u);
    EXPECT_TRUE(polledAfter.empty());
    EXPECT_FALSE(flags.waiting.load());
}

TEST_F(SupportWaitTest, EndingDuringTheLastStepIsStillTooLate)
{
    onSleep = [this](unsigned step) {
        if (step == 900)
            flags.completed.exchange(true);
    };
    EXPECT_EQ(Wait(plans::Abort), 1460);
    EXPECT_EQ(output, L"Waiting for operation to complete...\n15 minutes time limit exceeded!\n");
    EXPECT_EQ(data["wait"], "timedOut");
}

TEST_F(SupportWaitTest, EventBeforeTheWaitCountsOnlyForTheAbortCommands)
{
    flags.completed.exchange(true);
    EXPECT_EQ(Wait(plans::Abort), 0);
    EXPECT_TRUE(sleptMs.empty());
    EXPECT_EQ(output, L"Waiting for operation to complete...\n");

    for (const SupportWaitPlan* plan : {&plans::StartSession, &plans::Collect, &plans::EndSession}) {
        sleptMs.clear();
        flags.completed.exchange(true);
        onSleep = [this](unsigned step) {
            if (step == 5)
                flags.completed.exchange(true);
        };
        EXPECT_EQ(Wait(*plan), 0);
        EXPECT_EQ(sleptMs.size(), 5u);
    }
}

TEST_F(SupportWaitTest, InterruptBeforeTheWaitEndsItAtOnce)
{
    flags.interrupted.exchange(true);
    EXPECT_EQ(Wait(plans::EndSession), 0);
    EXPECT_TRUE(sleptMs.empty());
}

}  // namespace

// The wait for a posted scan, driven through a scripted port: no real time
// passes, every wait, poll and stop is recorded.
#include "commands/scan/scan_wait.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Waits are numbered from 1 in the order asked for, polls likewise; 0 is never.
struct WaitScript {
    unsigned arrivalsAtWait = 0;
    DWORD arrivalResult = WAIT_OBJECT_0;  // what that wait returns
    unsigned failingPoll = 0;             // fails, or reports a progress error
    unsigned cancelDuringWait = 0;
    unsigned cancelDuringPoll = 0;

    WaitScript& ArrivalsAt(unsigned wait, DWORD result = WAIT_OBJECT_0)
    {
        arrivalsAtWait = wait;
        arrivalResult = result;
        return *this;
    }
    WaitScript& PollFails(unsigned poll)
    {
        failingPoll = poll;
        return *this;
    }
    WaitScript& CancelInWait(unsigned wait)
    {
        cancelDuringWait = wait;
        return *this;
    }
    WaitScript& CancelInPoll(unsigned poll)
    {
        cancelDuringPoll = poll;
        return *this;
    }
};

class ScriptedPort final : public ScanWaitPort {
public:
    ScriptedPort(const WaitScript& script, std::atomic<bool>& interrupted, std::atomic<bool>& stopped)
        : script_(script), interrupted_(interrupted), stopped_(stopped)
    {
    }

    DWORD WaitForArrivals(DWORD timeoutMs) override
    {
        ++waits_;
        trace += timeoutMs == scan_wait::ArrivalStepMs ? "w" : "[grace " + std::to_string(timeoutMs) + "]";
        if (waits_ == script_.cancelDuringWait)
            Cancel();
        return waits_ == script_.arrivalsAtWait ? script_.arrivalResult : WAIT_TIMEOUT;
    }

    bool PollProgress() override
    {
        ++polls_;
        trace += "P";
        if (polls_ == script_.cancelDuringPoll)
            Cancel();
        return polls_ != script_.failingPoll;
    }

    void PostStop() override { trace += "S"; }

    std::string trace;

private:
    void Cancel()
    {
        interrupted_.exchange(true);
        stopped_.exchange(true);
    }

    WaitScript script_;
    std::atomic<bool>& interrupted_;
    std::atomic<bool>& stopped_;
    unsigned waits_ = 0;
    unsigned polls_ = 0;
};

std::string Waits(unsigned count) { return std::string(count, 'w'); }

struct WaitCase {
    const char* name;
    WaitScript script;
    std::string trace;
    ScanWaitEnd end;
    bool stoppedAfter;
};

class ScanWaitTest : public testing::TestWithParam<WaitCase> {};

TEST_P(ScanWaitTest, FollowsTheScan)
{
    std::atomic<bool> interrupted{false}, stopped{false};
    ScriptedPort port(GetParam().script, interrupted, stopped);
    EXPECT_EQ(WaitForScanEnd(port, interrupted, stopped), GetParam().end);
    EXPECT_EQ(port.trace, GetParam().trace);
    EXPECT_EQ(stopped.load(), GetParam().stoppedAfter);
}

const std::string Grace = "[grace 5000]";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Scripts, ScanWaitTest, testing::Values(
    WaitCase{"arrivals_in_the_first_second", WaitScript().ArrivalsAt(1), "w", ScanWaitEnd::Finished, false},
    WaitCase{"arrivals_before_the_first_poll", WaitScript().ArrivalsAt(10), Waits(10), ScanWaitEnd::Finished, false},
    WaitCase{"a_25_second_scan_is_polled_twice", WaitScript().ArrivalsAt(25),
             Waits(10) + "P" + Waits(10) + "P" + Waits(5), ScanWaitEnd::Finished, false},
    WaitCase{"a_failed_wait_counts_as_arrival", WaitScript().ArrivalsAt(3, WAIT_FAILED), "www",
             ScanWaitEnd::Finished, false},
    WaitCase{"progress_error_then_arrivals_in_grace", WaitScript().ArrivalsAt(11).PollFails(1),
             Waits(10) + "P" + Grace, ScanWaitEnd::Finished, false},
    WaitCase{"progress_error_on_the_second_poll", WaitScript().ArrivalsAt(21).PollFails(2),
             Waits(10) + "P" + Waits(10) + "P" + Grace, ScanWaitEnd::Finished, false},
    WaitCase{"progress_error_then_silence", WaitScript().PollFails(1), Waits(10) + "P" + Grace,
             ScanWaitEnd::Interrupted, false},
    WaitCase{"cancel_during_a_wait_posts_the_stop_once", WaitScript().CancelInWait(3), "wwwS",
             ScanWaitEnd::Interrupted, true},
    WaitCase{"arrivals_in_the_wait_of_a_cancel_finish", WaitScript().ArrivalsAt(3).CancelInWait(3), "www",
             ScanWaitEnd::Finished, true},
    WaitCase{"cancel_during_a_good_poll", WaitScript().CancelInPoll(1), Waits(10) + "PS",
             ScanWaitEnd::Interrupted, true},
    WaitCase{"cancel_during_a_failed_poll_still_stops", WaitScript().PollFails(1).CancelInPoll(1), Waits(10) + "PS",
             ScanWaitEnd::Interrupted, true}),
    [](const testing::TestParamInfo<WaitCase>& test) { return std::string(test.param.name); });
// clang-format on

TEST(ScanWait, RaisedFlagsOnEntryWaitForNothing)
{
    struct Flags {
        bool interrupted, stopped;
    };
    for (const Flags flags : {Flags{true, true}, Flags{true, false}, Flags{false, true}}) {
        std::atomic<bool> interrupted{flags.interrupted}, stopped{flags.stopped};
        ScriptedPort port(WaitScript{}, interrupted, stopped);
        EXPECT_EQ(WaitForScanEnd(port, interrupted, stopped), ScanWaitEnd::Interrupted);
        // Only a lowered stopped flag lets the loop wait once first.
        EXPECT_EQ(port.trace, flags.stopped ? "S" : "wS") << flags.interrupted << flags.stopped;
        EXPECT_TRUE(stopped.load());
    }
}

}  // namespace

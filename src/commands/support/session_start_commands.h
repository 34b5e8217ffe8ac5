#pragma once
// "Support.StartSession" starts a troubleshooting session that the agent ends
// by itself after a time limit, and waits until it runs. "Support.Collect"
// starts a collection and waits until its data has been delivered.
#include "commands/support/waiting_support_command.h"

class CommandStartSession : public WaitingSupportCommand {
public:
    static constexpr CommandSynopsis Synopsis = {
        "scenario=<id> [scenario=<id> ...] [outputPath=<folder>] [timeout=<hours>]",
        "starts a support session and waits until it runs"};
    explicit CommandStartSession(TesdkRunner* runner, WaitSleeper sleeper = SleepWaitStep);
    std::string& GetName(std::string& name) const override { return name = "Support.StartSession"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

class CommandStartCollect : public WaitingSupportCommand {
public:
    static constexpr CommandSynopsis Synopsis = {
        "[scenario=<id> ...] [outputPath=<folder>]",
        "collects support data and reports where it was delivered"};
    explicit CommandStartCollect(TesdkRunner* runner, WaitSleeper sleeper = SleepWaitStep);
    std::string& GetName(std::string& name) const override { return name = "Support.Collect"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

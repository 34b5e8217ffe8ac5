#pragma once
// "Support.AbortSession", "Support.ForceAbortSession" and "Support.EndSession":
// ask the support module to end its session and wait until it has. They take
// no arguments (any given are ignored).
#include "commands/support/waiting_support_command.h"

// What the three share: send the method, then wait, or explain the refusal.
class SessionStopCommand : public WaitingSupportCommand {
public:
    struct Setup {
        CommandSet command;
        const char* method;
        uint32_t responseLimitMs;
        SupportWaitPlan plan;
        SupportNotificationHandler handler;
    };

    SessionStopCommand(TesdkRunner* runner, const Setup& setup, WaitSleeper sleeper);
    ResultCode Execute(const ArgumentTokens& args) override;

private:
    const char* method_;
    uint32_t responseLimitMs_;
};

class CommandAbortSession : public SessionStopCommand {
public:
    static constexpr CommandSynopsis Synopsis = {"", "cancels the support session and waits until it has ended"};
    explicit CommandAbortSession(TesdkRunner* runner, WaitSleeper sleeper = SleepWaitStep);
    std::string& GetName(std::string& name) const override { return name = "Support.AbortSession"; }
};

class CommandForceAbortSession : public SessionStopCommand {
public:
    static constexpr CommandSynopsis Synopsis = {"", "forces the end of a support session that is being cancelled"};
    explicit CommandForceAbortSession(TesdkRunner* runner, WaitSleeper sleeper = SleepWaitStep);
    std::string& GetName(std::string& name) const override { return name = "Support.ForceAbortSession"; }
};

class CommandEndSession : public SessionStopCommand {
public:
    static constexpr CommandSynopsis Synopsis = {
        "",
        "ends the support session and reports where its data was delivered"};
    explicit CommandEndSession(TesdkRunner* runner, WaitSleeper sleeper = SleepWaitStep);
    std::string& GetName(std::string& name) const override { return name = "Support.EndSession"; }
};

#pragma once
// "Support.GetState" prints the support session's state, its scenarios and
// whether it can be stopped; "Support.GetScenarios" prints the catalogue of
// scenarios a session can be started with. Neither takes arguments.
#include "console/command.h"

class CommandGetState : public CommandBase {
public:
    static constexpr CommandSynopsis Synopsis = {
        "",
        "prints the support session's state, its scenarios and whether it can be stopped"};
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "Support.GetState"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

class CommandGetScenarios : public CommandBase {
public:
    static constexpr CommandSynopsis Synopsis = {"", "lists the scenarios a support session can be started with"};
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "Support.GetScenarios"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

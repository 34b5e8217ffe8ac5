#pragma once
// "StartUpdate", "IsUpdateInProgress" and "IsUpdateRestartNeeded".
#include "console/command.h"

class CommandStartUpdate : public CommandBase {
public:
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "StartUpdate"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

class CommandIsUpdateInProgress : public CommandBase {
public:
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "IsUpdateInProgress"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

class CommandIsUpdateRestartNeeded : public CommandBase {
public:
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "IsUpdateRestartNeeded"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

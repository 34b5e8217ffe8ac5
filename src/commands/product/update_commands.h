#pragma once
// "StartUpdate", "IsUpdateInProgress" and "IsUpdateRestartNeeded".
#include "console/command.h"

class CommandStartUpdate : public CommandBase {
public:
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "StartUpdate"; }
    int Execute(const ArgumentTokens& args) override;
};

class CommandIsUpdateInProgress : public CommandBase {
public:
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "IsUpdateInProgress"; }
    int Execute(const ArgumentTokens& args) override;
};

class CommandIsUpdateRestartNeeded : public CommandBase {
public:
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "IsUpdateRestartNeeded"; }
    int Execute(const ArgumentTokens& args) override;
};

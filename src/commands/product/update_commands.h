#pragma once
// "StartUpdate", "IsUpdateInProgress" and "IsUpdateRestartNeeded".
#include "console/command.h"

class CommandStartUpdate : public CommandBase {
public:
    static constexpr CommandSynopsis Synopsis = {"[force]", "asks the agent to start a product update now"};
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "StartUpdate"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

class CommandIsUpdateInProgress : public CommandBase {
public:
    static constexpr CommandSynopsis Synopsis = {"", "tells whether an update is being downloaded or installed"};
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "IsUpdateInProgress"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

class CommandIsUpdateRestartNeeded : public CommandBase {
public:
    static constexpr CommandSynopsis Synopsis = {"", "tells whether an update needs a restart of the computer"};
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "IsUpdateRestartNeeded"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

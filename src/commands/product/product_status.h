#pragma once
// "GetVersion" and "GetUpdateStatus": both ask "Product" "GetStatus" and print
// one piece of the status document.
#include "commands/reply_table.h"
#include "console/command.h"

#include <json/value.h>

#include <string>

// Sends the status request for `command` (GetVersion or GetUpdateStatus),
// then checks the component selector (the first argument, exactly "product"
// or "antivirus"). On 0, `status` is the status document and `location`
// "Locations/Product/" or "Locations/Antivirus/".
ResultCode QueryProductStatus(TesdkRunner& runner, CommandSet command, const ArgumentTokens& args, Json::Value& status,
                              std::string& location);

class CommandGetVersion : public CommandBase {
public:
    static constexpr CommandSynopsis Synopsis = {
        "product|antivirus",
        "prints the version of the product or of its antivirus component"};
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "GetVersion"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

class CommandGetUpdateStatus : public CommandBase {
public:
    static constexpr CommandSynopsis Synopsis = {
        "product|antivirus",
        "prints when the component last updated and tried, and the last error"};
    using CommandBase::CommandBase;
    std::string& GetName(std::string& name) const override { return name = "GetUpdateStatus"; }
    ResultCode Execute(const ArgumentTokens& args) override;
};

// One activity of a component: its last result and times, as the agent gives them.
struct UpdateActivityRecord {
    int32_t error = 0;
    int32_t lastSucceededTime = 0;
    int32_t time = 0;
};
bool LoadUpdateActivityRecord(const Json::Value& status, const std::string& path, UpdateActivityRecord& record);

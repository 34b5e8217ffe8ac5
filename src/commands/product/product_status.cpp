#include "commands/product/product_status.h"

#include "base/result_codes.h"
#include "commands/product/product_replies.h"
#include "console/command_output.h"
#include "integration/integration_session.h"
#include "integration/tesdk_runner.h"
#include "json/json_composed_serializer.h"
#include "base/text_conversion.h"

template <>
struct JsonRecord<UpdateActivityRecord> {
    static constexpr RecordField<UpdateActivityRecord> fields[] = {
        JsonField<&UpdateActivityRecord::error>("error"),
        JsonField<&UpdateActivityRecord::lastSucceededTime>("lastSucceededTime"),
        JsonField<&UpdateActivityRecord::time>("time"),
    };
};

bool LoadUpdateActivityRecord(const Json::Value& status, const std::string& path, UpdateActivityRecord& record)
{
    return JsonComposedSerializer::LoadRecord(&status, path, record);
}

ResultCode QueryProductStatus(TesdkRunner& runner, CommandSet command, const ArgumentTokens& args, Json::Value& status,
                              std::string& location)
{
    if (args.empty())
        return result::InvalidParameter;  // nothing is sent

    const CommandReply reply = ProductReplies.Ask(runner, command, BuildRequest("Product", "GetStatus"), QueryLimitMs);
    if (reply.result != result::Success)
        return reply.result;

    // The selector is checked only once the agent has answered.
    if (args.front() == "product")
        location = "Locations/Product/";
    else if (args.front() == "antivirus")
        location = "Locations/Antivirus/";
    else
        return result::InvalidParameter;
    status = reply.Answer().output;
    return result::Success;
}

ResultCode CommandGetVersion::Execute(const ArgumentTokens& args)
{
    Json::Value status;
    std::string location;
    const ResultCode code = QueryProductStatus(*Runner(), product_command::GetVersion, args, status, location);
    if (code != result::Success)
        return code;
    std::string version;
    if (!GetUtf8String(version, status, location + "Version"))
        return result::InvalidParameter;
    const std::wstring text = Utf8ToWide(version);
    Show(text, "version", TextValue(text));
    return result::Success;
}

ResultCode CommandGetUpdateStatus::Execute(const ArgumentTokens& args)
{
    Json::Value status;
    std::string location;
    const ResultCode code = QueryProductStatus(*Runner(), product_command::GetUpdateStatus, args, status, location);
    if (code != result::Success)
        return code;
    UpdateActivityRecord check, update;
    if (!LoadUpdateActivityRecord(status, location + "check", check) ||
        !LoadUpdateActivityRecord(status, location + "update", update))
        return result::InvalidState;  // the status document lacks a record

    // A failed check is the latest thing that went wrong; otherwise the update's outcome.
    const UpdateActivityRecord& attempt = check.error != 0 ? check : update;
    ICommandOutput& output = CommandOutput();
    output.Text(L"lastSucceededTime: " + std::to_wstring(update.lastSucceededTime) + L"\n" +
                L"lastAttemptedTime: " + std::to_wstring(attempt.time) + L"\n" +
                L"lastError: " + std::to_wstring(attempt.error));
    output.Data("lastSucceededTime", update.lastSucceededTime);
    output.Data("lastAttemptedTime", attempt.time);
    output.Data("lastError", attempt.error);
    return result::Success;
}

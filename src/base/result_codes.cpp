#include "base/result_codes.h"

namespace {

const ResultCodeMessageEntry MessageTable[] = {
    {result::BadArguments, "bad arguments"},
    {result::InvalidParameter, "invalid parameter"},
    {result::ElevationRequired, "elevation required"},
    {result::CommandFailed, "command failed"},
    {result::NoActiveScenario, "no active scenario"},
    {result::ResponseTimeout, "response timeout"},
    {result::SessionInProgress, "session already in progress"},
    {result::NoConnection, "no connection"},
    {result::Success, "success"},
    {result::InvalidScenario, "invalid scenario"},
    {result::Cancelled, "cancelled"},
    {result::IntegrityCheckFailed, "integrity check failed"},
};

}  // namespace

std::string ResultCodeMessage(int32_t code)
{
    for (const auto& entry : MessageTable) {
        if (entry.code == code)
            return entry.message;
    }
    return std::to_string(code);
}

std::vector<ResultCodeMessageEntry> ResultCodesWithMessages()
{
    return {std::begin(MessageTable), std::end(MessageTable)};
}

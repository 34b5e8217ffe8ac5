#include "base/result_codes.h"

#include <iterator>

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

std::string ResultCodeMessage(ResultCode code)
{
    for (const auto& entry : MessageTable) {
        if (entry.code == code)
            return entry.message;
    }
    return std::to_string(static_cast<int32_t>(code));
}

std::wstring ResultCodeDecimal(ResultCode code) { return std::to_wstring(static_cast<int32_t>(code)); }

std::vector<ResultCodeMessageEntry> ResultCodesWithMessages()
{
    return {std::begin(MessageTable), std::end(MessageTable)};
}

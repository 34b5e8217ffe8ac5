#include "commands/support/session_start_request.h"

#include "commands/support/support_replies.h"
#include "integration/integration_session.h"
#include "json/json_values.h"
#include "base/text_conversion.h"

#include <cstdint>
#include <limits>

bool ParseSessionTimeLimit(const std::string& hours, int64_t& seconds)
{
    constexpr int64_t Int32Max = std::numeric_limits<int32_t>::max();
    if (hours.empty())
        return false;
    int64_t value = 0;
    for (const char digit : hours) {
        if (digit < '0' || digit > '9')
            return false;
        value = value * 10 + (digit - '0');
        if (value > Int32Max)
            return false;
    }
    const int64_t limit = value * 3600;
    if (limit <= 0 || limit > Int32Max)
        return false;
    seconds = limit;
    return true;
}

DeliveryTarget LocalDeliveryTarget(const std::string& folder)
{
    DeliveryTarget target;
    target.type = cv::tesdk::Product::ISupport::Local;
    target.folder = Utf8ToWide(folder);
    return target;
}

bool BuildStartSessionRequest(const std::vector<std::string>& scenarios, const cv::List<DeliveryTarget>& targets,
                              std::optional<int64_t> timeLimitSeconds, IntegrationRequest& request)
{
    Json::Value params(Json::objectValue);
    if (!SetValue(params, "scenarios", Json::Value(Json::arrayValue)))
        return false;
    int index = 0;
    for (const std::string& scenario : scenarios) {
        if (!SetUtf8String(params, FormatString("scenarios[%i]", index++), scenario))
            return false;
    }
    if (!WriteDeliveryTargets(params, "deliverTo", targets))
        return false;
    if (timeLimitSeconds && !SetInt64(params, "troubleshoot/stopWhen/timeExceeds", *timeLimitSeconds))
        return false;
    request = BuildRequest(SupportModule, "StartSession", std::move(params));
    return true;
}

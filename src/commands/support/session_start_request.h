#pragma once
// The "Product.Support" "StartSession" request of "Support.StartSession" and
// "Support.Collect", and the session time limit it may carry.
#include "commands/support/support_records.h"
#include "boundary/integration_types.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Without a "timeout" argument a troubleshooting session may run 240 hours.
constexpr int64_t DefaultSessionTimeLimitSeconds = 864000;

// The "timeout" argument (whole hours, decimal digits only) as seconds. False
// when it is empty, holds anything but digits, or its hours or seconds do not
// fit a signed 32-bit integer, or the limit is not positive.
bool ParseSessionTimeLimit(const std::string& hours, int64_t& seconds);

// The only target the console asks for: the local folder (may be empty).
DeliveryTarget LocalDeliveryTarget(const std::string& folder);

// "scenarios" (an array, possibly empty), "deliverTo" and, when given,
// "troubleshoot/stopWhen/timeExceeds". False when a member cannot be written,
// e.g. a target whose type has no text form.
bool BuildStartSessionRequest(const std::vector<std::string>& scenarios, const cv::List<DeliveryTarget>& targets,
                              std::optional<int64_t> timeLimitSeconds, IntegrationRequest& request);

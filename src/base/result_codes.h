#pragma once
#include <cstdint>
#include <string>

// Result codes the commands return (Windows error numbers).
namespace result {
constexpr int Success = 0;
constexpr int InvalidScenario = 13;
constexpr int InvalidParameter = 87;
constexpr int BadArguments = 160;
constexpr int IntegrityCheckFailed = 323;
constexpr int ElevationRequired = 740;
constexpr int SessionInProgress = 1056;
constexpr int NoActiveScenario = 1168;
constexpr int Cancelled = 1223;
constexpr int ResponseTimeout = 1460;
constexpr int CommandFailed = 1627;
constexpr int NoConnection = 2250;
}  // namespace result

// The message of a result code, or the code in signed decimal when it has none.
std::string ResultCodeMessage(int32_t code);

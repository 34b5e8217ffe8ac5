#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A command's or a request's outcome: a Windows error number, 0 for success,
// handled as signed (the support module answers with negated numbers, which
// pass through unchanged). Not to be dropped unread.
class [[nodiscard]] ResultCode {
public:
    constexpr ResultCode(int32_t code = 0) noexcept : code_(code) {}
    // A code the system or the agent library hands out unsigned (DWORD, uint32_t).
    static constexpr ResultCode FromWindows(uint32_t code) noexcept { return ResultCode(static_cast<int32_t>(code)); }
    constexpr operator int32_t() const noexcept { return code_; }

private:
    int32_t code_;
};

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
// Not in the message table, printed by number: a document that could not be
// written or lacks a record, a connection without an instance, the agent's
// "disabled by policy".
constexpr int InvalidState = 5023;
}  // namespace result

// The message of a result code, or the code in signed decimal when it has none.
std::string ResultCodeMessage(int32_t code);

// The codes that have a message of their own, in the order they are searched.
struct ResultCodeMessageEntry {
    int32_t code;
    const char* message;
};
std::vector<ResultCodeMessageEntry> ResultCodesWithMessages();

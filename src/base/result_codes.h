#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A command's or a request's outcome: a Windows error number, 0 for success,
// handled as signed (the support module answers with negated numbers, which
// pass through unchanged). Not to be dropped unread. It becomes a number
// again only where it leaves the program: the exit code and printed text.
class [[nodiscard]] ResultCode {
public:
    constexpr ResultCode() noexcept = default;
    constexpr explicit ResultCode(int32_t code) noexcept : code_(code) {}
    // Anything else (an unsigned, a wider integer, a bool) goes through a
    // named conversion, so a code can never be narrowed or re-signed by accident.
    template <class Other>
    ResultCode(Other) = delete;
    // A code the system or the agent library hands out unsigned (DWORD, uint32_t).
    static constexpr ResultCode FromWindows(uint32_t code) noexcept { return ResultCode(static_cast<int32_t>(code)); }

    constexpr explicit operator int32_t() const noexcept { return code_; }

    friend constexpr bool operator==(ResultCode a, ResultCode b) noexcept { return a.code_ == b.code_; }
    friend constexpr bool operator!=(ResultCode a, ResultCode b) noexcept { return a.code_ != b.code_; }
    // Listings show codes in numeric order.
    friend constexpr bool operator<(ResultCode a, ResultCode b) noexcept { return a.code_ < b.code_; }

private:
    int32_t code_ = 0;
};

// Result codes the commands return (Windows error numbers).
namespace result {
constexpr ResultCode Success{0};
constexpr ResultCode InvalidScenario{13};
constexpr ResultCode InvalidParameter{87};
constexpr ResultCode BadArguments{160};
constexpr ResultCode IntegrityCheckFailed{323};
constexpr ResultCode ElevationRequired{740};
constexpr ResultCode SessionInProgress{1056};
constexpr ResultCode NoActiveScenario{1168};
constexpr ResultCode Cancelled{1223};
constexpr ResultCode ResponseTimeout{1460};
constexpr ResultCode CommandFailed{1627};
constexpr ResultCode NoConnection{2250};
// Not in the message table, printed by number: a document that could not be
// written or lacks a record, a connection without an instance, the agent's
// "disabled by policy".
constexpr ResultCode InvalidState{5023};
}  // namespace result

// The message of a result code, or the code in signed decimal when it has none.
std::string ResultCodeMessage(ResultCode code);

// The code in signed decimal, as the console prints it.
std::wstring ResultCodeDecimal(ResultCode code);

// The codes that have a message of their own, in the order they are searched.
struct ResultCodeMessageEntry {
    ResultCode code;
    const char* message;
};
std::vector<ResultCodeMessageEntry> ResultCodesWithMessages();

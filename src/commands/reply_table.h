#pragma once
// How the commands of a family turn the agent's reply into their result:
// one table of rules per family, read by one mechanism. Whatever a table
// says, a send that failed is the result as it is and prints nothing. After
// that, an unanswered method comes before any method's code, and the first
// method that failed is the one looked up: the first rule that holds for the
// command and that answer says what the command prints and returns. With no
// rule, an unanswered method gives 1627 and a code is returned unchanged,
// both printing nothing.
#include "base/result_codes.h"
#include "integration/agent_request.h"
#include "boundary/integration_types.h"
#include "integration/integration.h"

#include <json/value.h>

#include <cstddef>
#include <cstdint>

// The commands of one family, a bit each; a rule holds for a set of them.
using CommandSet = uint32_t;

// Which answers a rule holds for.
struct ReplyCase {
    enum Kind { Code, AnyCode, NoAnswer };
    Kind kind;
    ResultCode code;  // Code only
};
constexpr ReplyCase OnCode(ResultCode code) { return {ReplyCase::Code, code}; }
constexpr ReplyCase OnAnyCode{ReplyCase::AnyCode, result::Success};
constexpr ReplyCase OnNoAnswer{ReplyCase::NoAnswer, result::Success};

// What an explanation may read: the failed method's parameters as the
// request carried them, and its answer.
struct ReplyContext {
    const Json::Value& params;
    const MethodAnswer& answer;
};
using ReplyExplanation = void (*)(const ReplyContext& context);

// What the command prints before it returns: a fixed line, a line made
// from the context, or nothing.
struct ReplyText {
    const wchar_t* line;
    ReplyExplanation explain;
};
constexpr ReplyText Says(const wchar_t* line) { return {line, nullptr}; }
constexpr ReplyText Explains(ReplyExplanation explain) { return {nullptr, explain}; }
constexpr ReplyText PrintsNothing{nullptr, nullptr};

// What the command returns: the answer's code (1627 for no answer), or another.
struct ReplyResult {
    bool keepsCode;
    ResultCode code;
};
constexpr ReplyResult KeepsCode{true, result::Success};
constexpr ReplyResult Gives(ResultCode code) { return {false, code}; }

struct ReplyRule {
    CommandSet commands;
    ReplyCase answer;
    ReplyText prints;
    ReplyResult gives;
};

// The support and the update module both answer 288 to a caller who is not
// an administrator; every command that explains it says the same.
constexpr ResultCode AgentNeedsElevation{288};
constexpr ReplyRule NeedsElevation(CommandSet commands)
{
    return {commands, OnCode(AgentNeedsElevation), Says(L"Administrative privileges are required!"),
            Gives(result::ElevationRequired)};
}

// What a command got back: its result, and the answers to go on with once
// that is 0.
struct CommandReply {
    ResultCode result;
    AgentReply reply;
    // The answer to the request's method at `method` (in request order); only once `result` is 0.
    const MethodAnswer& Answer(size_t method = 0) const { return reply.methods[method]; }
};

class ReplyTable {
public:
    template <size_t Count>
    constexpr explicit ReplyTable(const ReplyRule (&rules)[Count]) noexcept : rules_(rules), count_(Count)
    {
    }

    // The result of `reply`, the answer to `request`, for `command`; prints
    // what the rule that decides it says.
    [[nodiscard]] ResultCode Read(const IntegrationRequest& request, const AgentReply& reply,
                                  CommandSet command) const;

    // Sends `request` (for at most `timeoutMs`) and reads the reply.
    [[nodiscard]] CommandReply Ask(cv::tesdk::Integration& connection, CommandSet command,
                                   const IntegrationRequest& request, uint32_t timeoutMs) const;

private:
    const ReplyRule* rules_;
    size_t count_;
};

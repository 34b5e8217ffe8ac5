#pragma once
// The commands' request idiom, written once: send a request, find the answer
// of each of its methods under the names the request itself carries, and
// read the methods' own codes and outputs.
#include "base/result_codes.h"
#include "integration/integration_session.h"

#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Requests that only query the agent wait this long for its answer.
constexpr uint32_t QueryLimitMs = 5000;

// What the agent answered to one method of a request.
struct MethodAnswer {
    bool answered = false;  // the response holds this method
    ResultCode error;       // the method's own code
    Json::Value output;     // its output; null when it gave none
};

struct AgentReply {
    // The library's own result of the send; nothing else is filled unless 0.
    ResultCode status = result::Success;
    // One answer per method of the request's first module, in request order.
    std::vector<MethodAnswer> methods;

    static constexpr size_t AllAnswered = static_cast<size_t>(-1);
    // Once the send succeeded, where the reply went wrong: the first method
    // without an answer, else the first whose code is not 0; AllAnswered
    // when every method answered 0. A reply of no methods lacks its first.
    [[nodiscard]] size_t FailedMethod() const;
    [[nodiscard]] bool IsAnswered(size_t index) const { return index < methods.size() && methods[index].answered; }

    // The send's failure, else 1627 for an unanswered method, else the failed
    // method's code, else 0.
    [[nodiscard]] ResultCode MethodCode() const;
    // The first method's answer; only once MethodCode() is 0.
    const MethodAnswer& Answer() const { return methods.front(); }
};

// The answers to `request` in a response that came another way (a post's
// answer at the receiver); the status is success.
[[nodiscard]] AgentReply ReadAgentReply(const IntegrationRequest& request, const IntegrationResponse& response);

// Sends `request` synchronously (Send: under the connection's lock, for at
// most `timeoutMs`) and collects the answers of its first module's methods.
[[nodiscard]] AgentReply AskAgent(cv::tesdk::Integration& connection, const IntegrationRequest& request,
                                  uint32_t timeoutMs);

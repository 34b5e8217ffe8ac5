#pragma once
// What answers the console's requests inside the stand-in agent library: a
// script (tests) or the simulated agent (demo). Answers may schedule
// deliveries (notifications, answers to posts) on the library's own thread.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace standin {

struct Delivery {
    enum class Kind { Notification, Response };
    Kind kind = Kind::Notification;
    std::string name;       // event name, or the request identifier of a post
    std::string data;       // event data, or the response document
    uint32_t result = 0;    // result of a post's answer
    uint64_t delayMs = 0;   // counted from the moment it is scheduled
    // Runs on the library's thread when the delivery is due, before it goes
    // out: may fill in `data` from the agent's state then, or drop the
    // delivery by returning false.
    std::function<bool(Delivery&)> prepare;
};

struct RequestOutcome {
    uint32_t status = 0;         // non-zero: a library-level failure, no response
    std::string response;        // response document text
    uint64_t delayMs = 0;        // how long the agent takes to answer
    std::vector<Delivery> followUps;
};

struct PostOutcome {
    uint32_t status = 0;  // what Post itself returns
    std::vector<Delivery> deliveries;
};

struct InstanceOutcome {
    uint32_t status = 0;
    bool nullInstance = false;  // report success but hand out no instance
};

class Scheduler {
public:
    virtual void Schedule(Delivery delivery) = 0;

protected:
    ~Scheduler() = default;
};

class Responder {
public:
    virtual ~Responder() = default;
    virtual InstanceOutcome OnCreateInstance() { return {}; }
    virtual RequestOutcome OnRequest(const std::string& request) = 0;
    virtual PostOutcome OnPost(const std::string& request, const std::string& requestId) = 0;
};

}  // namespace standin

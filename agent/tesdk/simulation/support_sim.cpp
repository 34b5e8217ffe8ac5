// The support module: a troubleshooting or collection session moves through
// pending, active, cancelling or delivering, and back to idle. Transitions
// are worked out from the stored times whenever any console asks, and the
// events go out from the console that started the step.
#include "simulation/simulation.h"

#include "simulation/support_delivery.h"

#include "base/unique_resource.h"

#include <windows.h>

#include <cstdio>

namespace standin {
namespace {

constexpr int64_t PendingMs = 1500;        // until the session is active
constexpr int64_t CollectMs = 3000;        // how long a collection collects once active
constexpr int64_t AbortMs = 1500;          // cancelling takes this long
constexpr int64_t ForceAbortMs = 500;
constexpr int64_t ForceAbortMinimumMs = 3000;  // since the last abort or force-abort
constexpr int64_t DeliverMs = 1000;

constexpr int32_t ErrorInvalidScenario = -13;
constexpr int32_t ErrorBadPath = -161;
constexpr int32_t ErrorDiskFull = -112;
constexpr int32_t ErrorSessionInProgress = -1056;
constexpr int32_t ErrorNoSession = -5023;
constexpr int32_t ErrorNoTroubleshoot = -1168;
constexpr int32_t ErrorTooEarly = -170;

struct Scenario {
    const char* id;
    const char* name;
    const char* description;
};

const Scenario Catalogue[] = {
    {"network", "Network connectivity", "Network configuration, name resolution and the agent's connection logs."},
    {"update", "Product update", "Update logs, the update configuration and the downloaded packages' list."},
    {"scan", "On-demand scan", "Scan engine logs and the reports of recent scans."},
    {"performance", "System performance", "Processor, memory and disk load, and the running processes."},
};

bool IsKnownScenario(const std::string& id)
{
    for (const auto& scenario : Catalogue) {
        if (id == scenario.id)
            return true;
    }
    return false;
}

std::string NewSessionId(int64_t now)
{
    char text[64];
    std::snprintf(text, sizeof text, "%llx-%lx", static_cast<unsigned long long>(now), GetCurrentProcessId());
    return text;
}

Json::Value& Support(Json::Value& state)
{
    Json::Value& support = state["support"];
    if (!support.isObject() || !support["state"].isString()) {
        support = Json::Value(Json::objectValue);
        support["state"] = "idle";
    }
    return support;
}

void Finish(Json::Value& state, const std::string& status, bool deliver, int64_t endedMs)
{
    Json::Value& support = Support(state);
    Json::Value deliveredTo(Json::arrayValue);
    if (deliver)
        deliveredTo.append(DeliverSession(support, state, endedMs));
    Json::Value ended;
    ended["sessionId"] = support["sessionId"];
    ended["status"] = status;
    ended["deliveredTo"] = deliveredTo;
    RecordFinishedSession(support, status, deliveredTo, endedMs);
    support = Json::Value(Json::objectValue);
    support["state"] = "idle";
    support["lastEnded"] = ended;
}

// Applies every transition that is due by `now`.
void Advance(Json::Value& state, int64_t now)
{
    for (;;) {
        Json::Value& support = Support(state);
        const std::string current = support["state"].asString();
        if (current == "pending" && now >= support["activeAtMs"].asInt64()) {
            support["state"] = "active";
        } else if (current == "active" && support["endsAtMs"].asInt64() > 0 && now >= support["endsAtMs"].asInt64()) {
            Finish(state, "finished", true, support["endsAtMs"].asInt64());
        } else if ((current == "cancelling" || current == "forceCancelling") &&
                   now >= support["cancelEndsMs"].asInt64()) {
            Finish(state, current == "cancelling" ? "aborted" : "forceAborted", false,
                   support["cancelEndsMs"].asInt64());
        } else if (current == "delivering" && now >= support["deliverEndsMs"].asInt64()) {
            Finish(state, "finished", true, support["deliverEndsMs"].asInt64());
        } else {
            return;
        }
    }
}

// An event whose data is worked out when it is due.
Delivery StateEvent(const std::string& sessionId, int64_t delayMs)
{
    Delivery event;
    event.name = "Product.Support.State";
    event.delayMs = static_cast<uint64_t>(delayMs);
    event.prepare = [sessionId](Delivery& delivery) {
        Json::Value support;
        StateStore().Transaction([&](Json::Value& state) {
            Advance(state, NowMs());
            support = Support(state);
        });
        if (support["sessionId"].asString() != sessionId)
            return false;  // that session is over already
        Json::Value data;
        data["state"] = support["state"];
        delivery.data = ToCompactText(data);
        return true;
    };
    return event;
}

Delivery SessionEndedEvent(const std::string& sessionId, int64_t delayMs)
{
    Delivery event;
    event.name = "Product.Support.SessionEnded";
    event.delayMs = static_cast<uint64_t>(delayMs);
    event.prepare = [sessionId](Delivery& delivery) {
        Json::Value ended;
        StateStore().Transaction([&](Json::Value& state) {
            Advance(state, NowMs() + 50);  // the step is due now; do not lose it to clock skew
            ended = Support(state)["lastEnded"];
        });
        if (ended["sessionId"].asString() != sessionId)
            return false;
        delivery.data = ToCompactText(ended);
        return true;
    };
    return event;
}

int32_t CheckOutputFolder(const std::string& folder, Json::Value& output)
{
    if (folder.empty())
        return 0;  // the agent's own folder
    const std::wstring path = Utf8ToWide(folder);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ErrorBadPath;
    const std::wstring probe = path + L"\\.support-write-test";
    const UniqueFile file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file)
        return ErrorBadPath;
    ULARGE_INTEGER available{};
    if (GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr) && available.QuadPart < 64ull << 20) {
        output["diskSpaceNeeded"] = static_cast<Json::Int64>(1) << 30;
        return ErrorDiskFull;
    }
    return 0;
}

void StartSession(const MethodCall& call, MethodAnswer& answer)
{
    const Json::Value& input = call.input;
    const bool troubleshoot = input.isMember("troubleshoot");
    Json::Value scenarios(Json::arrayValue);
    for (const auto& scenario : input["scenarios"]) {
        if (!scenario.isString() || !IsKnownScenario(scenario.asString())) {
            answer.error = ErrorInvalidScenario;
            return;
        }
        scenarios.append(scenario);
    }
    if (troubleshoot && scenarios.empty()) {
        answer.error = ErrorInvalidScenario;
        return;
    }
    const Json::Value& target = input["deliverTo"][0];
    const std::string folder = target["folder"].isString() ? target["folder"].asString() : std::string();
    answer.error = CheckOutputFolder(folder, answer.output);
    if (answer.error != 0)
        return;

    const int64_t now = NowMs();
    std::string sessionId;
    int64_t endsAfterMs = 0;
    StateStore().Transaction([&](Json::Value& state) {
        Advance(state, now);
        Json::Value& support = Support(state);
        if (support["state"].asString() != "idle") {
            answer.error = ErrorSessionInProgress;
            return;
        }
        sessionId = NewSessionId(now);
        const Json::Value lastEnded = support["lastEnded"];
        support = Json::Value(Json::objectValue);
        support["state"] = "pending";
        support["sessionId"] = sessionId;
        support["kind"] = troubleshoot ? "troubleshoot" : "collect";
        support["scenarios"] = scenarios;
        support["folder"] = folder;
        support["fileName"] = target["fileName"];
        support["startedMs"] = static_cast<Json::Int64>(now);
        support["activeAtMs"] = static_cast<Json::Int64>(now + PendingMs);
        const Json::Value& limit = input["troubleshoot"]["stopWhen"]["timeExceeds"];
        if (!troubleshoot)
            endsAfterMs = PendingMs + CollectMs;
        else if (limit.isIntegral() && limit.asInt64() > 0)
            endsAfterMs = PendingMs + limit.asInt64() * 1000;
        support["endsAtMs"] = static_cast<Json::Int64>(endsAfterMs > 0 ? now + endsAfterMs : 0);
        support["lastEnded"] = lastEnded;
    });
    if (answer.error != 0)
        return;
    answer.output = Json::Value(Json::objectValue);
    answer.output["sessionId"] = sessionId;
    answer.followUps.push_back(StateEvent(sessionId, 200));
    answer.followUps.push_back(StateEvent(sessionId, PendingMs + 50));
    if (!troubleshoot)
        answer.followUps.push_back(SessionEndedEvent(sessionId, endsAfterMs));
}

// Abort, force-abort and end share one shape: check the state, move on,
// announce the session's end when it is due.
void StopSession(const std::string& method, MethodAnswer& answer)
{
    const int64_t now = NowMs();
    std::string sessionId;
    int64_t dueMs = 0;
    StateStore().Transaction([&](Json::Value& state) {
        Advance(state, now);
        Json::Value& support = Support(state);
        const std::string current = support["state"].asString();
        const bool running = current == "pending" || current == "active";
        const bool cancelling = current == "cancelling" || current == "forceCancelling";
        const int64_t lastAbort = state["supportLastAbortMs"].asInt64();
        if (method == "AbortSession") {
            if (cancelling) {
                answer.error = ErrorSessionInProgress;
                return;
            }
            if (!running) {
                answer.error = ErrorNoSession;
                return;
            }
            support["state"] = "cancelling";
            dueMs = AbortMs;
        } else if (method == "ForceAbortSession") {
            if (!cancelling) {
                answer.error = ErrorNoSession;
                return;
            }
            if (now - lastAbort < ForceAbortMinimumMs) {
                answer.error = ErrorTooEarly;
                return;
            }
            support["state"] = "forceCancelling";
            dueMs = ForceAbortMs;
        } else {
            if (!running) {
                answer.error = ErrorNoTroubleshoot;
                return;
            }
            support["state"] = "delivering";
            support["deliverEndsMs"] = static_cast<Json::Int64>(now + DeliverMs);
            dueMs = DeliverMs;
        }
        if (method != "EndTroubleshoot") {
            state["supportLastAbortMs"] = static_cast<Json::Int64>(now);
            support["cancelEndsMs"] = static_cast<Json::Int64>(now + dueMs);
        }
        sessionId = support["sessionId"].asString();
    });
    if (answer.error == 0)
        answer.followUps.push_back(SessionEndedEvent(sessionId, dueMs));
}

}  // namespace

bool HandleSupportMethod(Simulation&, const MethodCall& call, MethodAnswer& answer)
{
    if (call.method == "GetState") {
        Json::Value support;
        StateStore().Transaction([&](Json::Value& state) {
            Advance(state, NowMs());
            support = Support(state);
        });
        const std::string current = support["state"].asString();
        answer.output["state"] = current;
        answer.output["scenarios"] = support["scenarios"].isArray() ? support["scenarios"] : Json::Value(Json::arrayValue);
        answer.output["troubleshoot"]["stoppable"] = current == "pending" || current == "active";
        return true;
    }
    if (call.method == "GetScenarios") {
        Json::Value list(Json::arrayValue);
        for (const auto& scenario : Catalogue) {
            Json::Value entry;
            entry["id"] = scenario.id;
            entry["displayName"] = scenario.name;
            entry["description"] = scenario.description;
            list.append(entry);
        }
        answer.output["scenariosList"] = list;
        return true;
    }
    if (call.method == "StartSession") {
        StartSession(call, answer);
        return true;
    }
    if (call.method == "AbortSession" || call.method == "ForceAbortSession" || call.method == "EndTroubleshoot") {
        StopSession(call.method, answer);
        return true;
    }
    return false;
}

}  // namespace standin

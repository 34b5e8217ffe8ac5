// The product's status, its updates and restarts. An update runs for a while
// (downloader first, then installer), then records success, bumps the
// version and asks for a restart.
#include "simulation/simulation.h"

namespace standin {
namespace {

constexpr int64_t DownloadMs = 4000;
constexpr int64_t InstallMs = 4000;
constexpr int32_t ErrorAlreadyRunning = 1552;

int64_t Seconds(int64_t ms) { return ms / 1000; }

void EnsureDefaults(Json::Value& state)
{
    Json::Value& product = state["product"];
    if (!product.isObject()) {
        const int64_t installed = Seconds(NowMs()) - 86400;
        product = Json::Value(Json::objectValue);
        product["version"] = "1.0.0.1";
        product["antivirusVersion"] = "3.2.0.100";
        for (const char* component : {"Product", "Antivirus"}) {
            for (const char* activity : {"check", "update"}) {
                Json::Value& record = product["activity"][component][activity];
                record["error"] = 0;
                record["lastSucceededTime"] = static_cast<Json::Int64>(installed);
                record["time"] = static_cast<Json::Int64>(installed);
            }
        }
    }
    Json::Value& update = state["update"];
    if (!update.isObject()) {
        update = Json::Value(Json::objectValue);
        update["running"] = false;
        update["restartReasons"] = Json::Value(Json::arrayValue);
    }
}

std::string NextVersion(const std::string& version)
{
    const size_t dot = version.rfind('.');
    if (dot == std::string::npos)
        return version + ".1";
    return version.substr(0, dot + 1) + std::to_string(std::atoi(version.c_str() + dot + 1) + 1);
}

// Moves a finished update into the records; returns true when it finished now.
bool AdvanceUpdate(Json::Value& state, int64_t now)
{
    EnsureDefaults(state);
    Json::Value& update = state["update"];
    if (!update["running"].asBool() || now < update["startedMs"].asInt64() + DownloadMs + InstallMs)
        return false;
    const int64_t finished = Seconds(update["startedMs"].asInt64() + DownloadMs + InstallMs);
    Json::Value& product = state["product"];
    for (const char* component : {"Product", "Antivirus"}) {
        for (const char* activity : {"check", "update"}) {
            Json::Value& record = product["activity"][component][activity];
            record["error"] = 0;
            record["lastSucceededTime"] = static_cast<Json::Int64>(finished);
            record["time"] = static_cast<Json::Int64>(finished);
        }
    }
    product["version"] = NextVersion(product["version"].asString());
    product["antivirusVersion"] = NextVersion(product["antivirusVersion"].asString());
    update["running"] = false;
    Json::Value reasons(Json::arrayValue);
    reasons.append(1);  // restart needed because of the update
    update["restartReasons"] = reasons;
    return true;
}

Json::Value StatusDocument(const Json::Value& state)
{
    const Json::Value& product = state["product"];
    Json::Value status(Json::objectValue);
    status["Locations"]["Product"]["Version"] = product["version"];
    status["Locations"]["Antivirus"]["Version"] = product["antivirusVersion"];
    for (const char* component : {"Product", "Antivirus"}) {
        status["Locations"][component]["check"] = product["activity"][component]["check"];
        status["Locations"][component]["update"] = product["activity"][component]["update"];
    }
    return status;
}

}  // namespace

bool HandleProductMethod(Simulation& simulation, const MethodCall& call, MethodAnswer& answer, int64_t now)
{
    const std::string key = call.module + "/" + call.method;
    Json::Value snapshot;
    if (key == "Product/GetStatus" || key == "Update/IsInstallerRunning" || key == "Update/IsDownloaderRunning" ||
        key == "Product.RestartManager/IsRestartNeeded") {
        simulation.store.Transaction([&](Json::Value& state) {
            AdvanceUpdate(state, now);
            snapshot = state;
        });
        const Json::Value& update = snapshot["update"];
        const int64_t elapsed = now - update["startedMs"].asInt64();
        const bool running = update["running"].asBool();
        if (key == "Product/GetStatus") {
            answer.output = StatusDocument(snapshot);
        } else if (key == "Update/IsDownloaderRunning") {
            answer.output["response"] = running && elapsed < DownloadMs;
        } else if (key == "Update/IsInstallerRunning") {
            answer.output["response"] = running && elapsed >= DownloadMs;
        } else {
            answer.output["isRestartNeeded"] = !update["restartReasons"].empty();
            answer.output["reasons"] = update["restartReasons"];
        }
        return true;
    }
    if (key == "Update/StartUpdate") {
        bool started = false;
        simulation.store.Transaction([&](Json::Value& state) {
            AdvanceUpdate(state, now);
            Json::Value& update = state["update"];
            if (update["running"].asBool())
                return;
            update["running"] = true;
            update["startedMs"] = static_cast<Json::Int64>(now);
            update["force"] = call.input["force"].isBool() && call.input["force"].asBool();
            started = true;
        });
        if (!started) {
            answer.error = ErrorAlreadyRunning;
            return true;
        }
        // The agent tells its connections when the new library is in place.
        Delivery finished;
        finished.name = "Tesdk.UpdateFinished";
        finished.delayMs = DownloadMs + InstallMs + 100;
        finished.prepare = [](Delivery& delivery) {
            Json::Value state;
            StateStore().Transaction([&](Json::Value& current) {
                AdvanceUpdate(current, NowMs());
                state = current;
            });
            Json::Value data;
            data["result"] = 0;
            data["version"] = state["product"]["version"];
            data["reloadOptional"] = true;
            delivery.data = ToCompactText(data);
            return true;
        };
        answer.followUps.push_back(std::move(finished));
        return true;
    }
    return false;
}

}  // namespace standin

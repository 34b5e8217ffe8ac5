#pragma once
// Pieces of the simulated agent, one per agent module.
#include "agent_documents.h"
#include "responder.h"
#include "base/text_conversion.h"
#include "simulation/state_store.h"

#include <json/value.h>

#include <vector>

namespace standin {

struct MethodAnswer {
    int32_t error = 0;
    Json::Value output;  // null: none
    std::vector<Delivery> followUps;
};

struct Simulation {
    StateStore store;
    Scheduler& scheduler;
};

// "Product", "Update", "Product.RestartManager". Every method of one request
// reads the update at the same moment, nowMs, so a request that asks whether
// the downloader and whether the installer runs never finds both stopped at
// the switch from one to the other.
bool HandleProductMethod(Simulation& simulation, const MethodCall& call, MethodAnswer& answer, int64_t nowMs);
// "Product.Support".
bool HandleSupportMethod(Simulation& simulation, const MethodCall& call, MethodAnswer& answer);
// "FileScan.OnDemand": progress and stop (sent); the scan itself is posted.
bool HandleScanMethod(Simulation& simulation, const MethodCall& call, MethodAnswer& answer);
// Posted "RunScanTask" / "StopScanTask": returns what Post returns.
uint32_t PostScanMethod(Simulation& simulation, const MethodCall& call, const std::string& requestId,
                        std::vector<Delivery>& deliveries);


}  // namespace standin

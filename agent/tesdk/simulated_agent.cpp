#include "simulated_agent.h"

#include "agent_documents.h"

namespace standin {
namespace {

// Placeholder until the simulation lands: every method is unsupported.
class SimulatedAgent : public Responder {
public:
    RequestOutcome OnRequest(const std::string& request) override
    {
        RequestOutcome outcome;
        std::vector<MethodResult> results;
        for (const auto& call : ParseRequestDocument(request))
            results.push_back({call.module, call.method, 50, false, Json::Value()});
        outcome.response = WriteResponseDocument(results);
        return outcome;
    }
    PostOutcome OnPost(const std::string&, const std::string&) override { return {50, {}}; }
};

}  // namespace

std::unique_ptr<Responder> CreateSimulatedAgent(Scheduler&) { return std::make_unique<SimulatedAgent>(); }

}  // namespace standin

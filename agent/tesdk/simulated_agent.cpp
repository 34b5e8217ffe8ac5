#include "simulated_agent.h"

#include "agent_documents.h"
#include "simulation/simulation.h"

#include <windows.h>

namespace standin {

namespace {

constexpr int32_t ErrorNotSupported = 50;

class SimulatedAgent : public Responder {
public:
    explicit SimulatedAgent(Scheduler& scheduler) : simulation_{StateStore(), scheduler} {}

    RequestOutcome OnRequest(const std::string& request) override
    {
        RequestOutcome outcome;
        std::vector<MethodResult> results;
        const int64_t now = NowMs();
        for (const auto& call : ParseRequestDocument(request)) {
            MethodAnswer answer;
            const bool known = call.module == "Product.Support"     ? HandleSupportMethod(simulation_, call, answer)
                               : call.module == "FileScan.OnDemand" ? HandleScanMethod(simulation_, call, answer)
                                                                    : HandleProductMethod(simulation_, call, answer, now);
            if (!known)
                answer.error = ErrorNotSupported;
            for (auto& followUp : answer.followUps)
                outcome.followUps.push_back(std::move(followUp));
            results.push_back({call.module, call.method, answer.error, false, answer.output});
        }
        outcome.response = WriteResponseDocument(results);
        return outcome;
    }

    PostOutcome OnPost(const std::string& request, const std::string& requestId) override
    {
        PostOutcome outcome;
        for (const auto& call : ParseRequestDocument(request)) {
            const uint32_t status = call.module == "FileScan.OnDemand"
                                        ? PostScanMethod(simulation_, call, requestId, outcome.deliveries)
                                        : static_cast<uint32_t>(ErrorNotSupported);
            if (outcome.status == 0)
                outcome.status = status;
        }
        return outcome;
    }

private:
    Simulation simulation_;
};

}  // namespace

std::unique_ptr<Responder> CreateSimulatedAgent(Scheduler& scheduler)
{
    return std::make_unique<SimulatedAgent>(scheduler);
}

}  // namespace standin

#pragma once
// The simulated local agent: the default when no script is named.
#include "responder.h"

#include <memory>

namespace standin {
std::unique_ptr<Responder> CreateSimulatedAgent(Scheduler& scheduler);
}

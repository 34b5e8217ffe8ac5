#pragma once
// Placeholder until the agent connection lands.
class TesdkRunner {
public:
    void Shutdown() {}
};

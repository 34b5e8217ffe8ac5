#pragma once
// The process-wide connection through which every command sends its requests.
#include "boundary/cv_string.h"
#include "integration/integration_ex.h"

#include <string>

class TesdkRunner : public cv::tesdk::IntegrationEx {
public:
    // The full path of the agent's integration library from its uninstall
    // registration; the bare file name when the registry has no answer.
    static cv::StringW GetTesdkLocation();

    // Finds the library, loads it (signed library required) and connects.
    ResultCode Start();
};

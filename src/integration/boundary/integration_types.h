#pragma once
// A request to the agent's modules and the agent's response, in memory. The
// documents they travel as are written and read by the integration session
// through JsonComposedSerializer.
#include "base/result_codes.h"
#include "integration/boundary/cv_string.h"

#include <json/value.h>

#include <cstdint>
#include <vector>

struct RequestMethod {
    cv::StringW name;
    Json::Value params{Json::objectValue};  // written whole as the method's "input"
};

struct RequestModule {
    cv::StringW name;  // the target module, e.g. "Product.Support"
    std::vector<RequestMethod> methods;
};

struct IntegrationRequest {
    cv::StringW type;  // "tesdk"
    std::vector<RequestModule> modules;
};

struct ResponseMethod {
    cv::StringW name;
    ResultCode error;    // the method's result code, 0 on success
    Json::Value output;  // null when the response has none
};

struct ResponseModule {
    cv::StringW name;
    std::vector<ResponseMethod> results;
};

struct IntegrationResponse {
    cv::StringW type;  // "tesdk"
    std::vector<ResponseModule> modules;
};

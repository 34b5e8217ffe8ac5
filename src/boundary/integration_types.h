#pragma once
// A request to the agent's modules and the agent's response, in memory. The
// documents they travel as are written and read by the integration session
// through JsonComposedSerializer. Module and method names stay UTF-8, as they
// travel: the documents are UTF-8 and so are the names the commands write.
#include "base/result_codes.h"
#include "boundary/cv_string.h"

#include <json/value.h>

#include <cstdint>
#include <vector>

struct RequestMethod {
    cv::StringA name;
    Json::Value params{Json::objectValue};  // written whole as the method's "input"
};

struct RequestModule {
    cv::StringA name;  // the target module, e.g. "Product.Support"
    std::vector<RequestMethod> methods;
};

struct IntegrationRequest {
    cv::StringA type;  // "tesdk"
    std::vector<RequestModule> modules;
};

struct ResponseMethod {
    cv::StringA name;
    ResultCode error;    // the method's result code, 0 on success
    Json::Value output;  // null when the response has none
};

struct ResponseModule {
    cv::StringA name;
    std::vector<ResponseMethod> results;
};

struct IntegrationResponse {
    cv::StringA type;  // "tesdk"
    std::vector<ResponseModule> modules;
};

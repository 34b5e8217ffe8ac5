#pragma once
// What the connection tests load with and send.
#include "integration/integration.h"

#include <string>

// A "Product" "GetStatus" request document, as the library receives it.
inline const std::string GetStatusRequest =
    R"({"type":"tesdk","data":{"Product":[{"@name":"GetStatus","input":{}}]}})";

// The options every caller in the console loads with.
inline cv::tesdk::SdkLoadOptions Signed()
{
    cv::tesdk::SdkLoadOptions options;
    options.requireSignedLibrary = true;
    return options;
}

#pragma once
// Reading the console's request documents and writing response documents.
#include <json/value.h>

#include <string>
#include <vector>

namespace standin {

struct MethodCall {
    std::string module;
    std::string method;
    Json::Value input;
};

// The method calls of a request document, in order; empty when it is not one.
std::vector<MethodCall> ParseRequestDocument(const std::string& text);

struct MethodResult {
    std::string module;
    std::string method;
    int32_t error = 0;
    bool omitError = false;  // leave "error" out (a malformed answer)
    Json::Value output;      // null: no "output" member
};

std::string WriteResponseDocument(const std::vector<MethodResult>& results);

// Compact JSON text.
std::string ToCompactText(const Json::Value& value);

}  // namespace standin

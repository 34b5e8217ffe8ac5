#pragma once
// Documents written compactly in tests and read back.
#include <json/value.h>

#include <string>

// Parses the text, failing the running test when it is not JSON.
Json::Value Document(const std::string& text);
// One-line JSON text of a value.
std::string Text(const Json::Value& value);

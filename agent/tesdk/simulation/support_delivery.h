#pragma once
// What a finished support session leaves behind: the collected data in the
// delivery folder, and an entry in the session history.
#include <json/value.h>

#include <cstdint>
#include <string>

namespace standin {

// Writes the session's collected data into its delivery folder; returns the
// delivery result as the agent reports it ("type", "path", "error").
Json::Value DeliverSession(const Json::Value& support, const Json::Value& state, int64_t endedMs);

// Adds the finished session to the history that the history worker reads.
void RecordFinishedSession(const Json::Value& support, const std::string& status, const Json::Value& deliveredTo,
                           int64_t endedMs);

}  // namespace standin

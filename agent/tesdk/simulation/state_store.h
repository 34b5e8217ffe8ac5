#pragma once
// The simulated agent's persistent state: one JSON document in a file under
// ProgramData (PRODUCT_AGENT_STATE_DIR overrides the folder), changed only
// inside a transaction that holds a machine-wide mutex, so consoles running
// at the same time see one consistent agent.
#include <json/value.h>

#include <functional>
#include <string>

namespace standin {

class StateStore {
public:
    StateStore();
    // Reads the state, lets `change` modify it, writes it back atomically.
    // Returns false when the state could not be saved.
    bool Transaction(const std::function<void(Json::Value& state)>& change);
    Json::Value Read();

    const std::wstring& Folder() const { return folder_; }

private:
    std::wstring folder_;
    std::wstring path_;
};

// Milliseconds since 1970 (wall clock, shared by all processes).
int64_t NowMs();

}  // namespace standin

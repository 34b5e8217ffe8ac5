#pragma once
// Drives the tesdk.dll stand-in from unit tests: a script file and a request
// log in a temporary folder, both named through the environment before the
// library is connected.
#include <json/json.h>

#include <windows.h>

#include <string>
#include <vector>

class AgentFixture {
public:
    AgentFixture();
    ~AgentFixture();

    // Writes the script (JSON text) and names it for the next connection.
    void SetScript(const std::string& json);
    // The log entries so far, optionally only those of one event kind.
    std::vector<Json::Value> LogEntries(const std::string& event = {}) const;
    // Waits until at least `count` entries of `event` are logged.
    bool WaitForEntries(const std::string& event, size_t count, DWORD timeoutMs = 10000) const;

    // The stand-in beside the test executable, as UTF-8.
    static std::string LibraryPath();

private:
    std::wstring folder_;
    std::wstring scriptPath_;
    std::wstring logPath_;
};

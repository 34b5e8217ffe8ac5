#include "agent_fixture.h"

#include "base/text_conversion.h"

#include <fstream>
#include <sstream>

namespace {

std::wstring ModuleDirectory()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    return directory.substr(0, directory.find_last_of(L"\\/") + 1);
}

}  // namespace

AgentFixture::AgentFixture()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"agent-fixture-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(GetTickCount64());
    CreateDirectoryW(folder_.c_str(), nullptr);
    scriptPath_ = folder_ + L"\\script.json";
    logPath_ = folder_ + L"\\requests.jsonl";
    SetEnvironmentVariableW(L"PRODUCT_TESDK_LOG", logPath_.c_str());
    SetEnvironmentVariableW(L"PRODUCT_TESDK_SCRIPT", nullptr);
}

AgentFixture::~AgentFixture()
{
    SetEnvironmentVariableW(L"PRODUCT_TESDK_LOG", nullptr);
    SetEnvironmentVariableW(L"PRODUCT_TESDK_SCRIPT", nullptr);
    DeleteFileW(scriptPath_.c_str());
    DeleteFileW(logPath_.c_str());
    RemoveDirectoryW(folder_.c_str());
}

void AgentFixture::SetScript(const std::string& json)
{
    std::ofstream(scriptPath_.c_str(), std::ios::binary | std::ios::trunc) << json;
    SetEnvironmentVariableW(L"PRODUCT_TESDK_SCRIPT", scriptPath_.c_str());
}

std::vector<Json::Value> AgentFixture::LogEntries(const std::string& event) const
{
    std::vector<Json::Value> entries;
    std::ifstream file(logPath_.c_str(), std::ios::binary);
    std::string line;
    Json::CharReaderBuilder builder;
    while (std::getline(file, line)) {
        Json::Value entry;
        std::string errors;
        std::istringstream stream(line);
        if (Json::parseFromStream(builder, stream, &entry, &errors) && (event.empty() || entry["event"] == event))
            entries.push_back(entry);
    }
    return entries;
}

bool AgentFixture::WaitForEntries(const std::string& event, size_t count, DWORD timeoutMs) const
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (LogEntries(event).size() < count) {
        if (GetTickCount64() > deadline)
            return false;
        Sleep(10);
    }
    return true;
}

std::string AgentFixture::LibraryPath() { return WideToUtf8(ModuleDirectory() + L"tesdk.dll"); }

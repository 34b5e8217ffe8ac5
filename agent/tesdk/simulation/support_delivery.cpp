#include "simulation/support_delivery.h"

#include "agent_documents.h"
#include "common/agent_folders.h"
#include "simulation/simulation.h"

#include <windows.h>

#include <json/writer.h>

#include <fstream>

namespace standin {
namespace {

std::string TimeText(int64_t ms)
{
    const int64_t ticks = (ms + 11644473600000LL) * 10000;
    FILETIME file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME time{};
    FileTimeToSystemTime(&file, &time);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", time.wYear, time.wMonth, time.wDay, time.wHour,
                  time.wMinute, time.wSecond);
    return text;
}

bool WriteText(const std::wstring& path, const std::string& text)
{
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file << text;
    return static_cast<bool>(file);
}

std::string SystemReport()
{
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(computer, &size);
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatusEx(&memory);
    std::string report;
    report += "Computer: " + WideToUtf8(computer) + "\r\n";
    report += "Processors: " + std::to_string(system.dwNumberOfProcessors) + "\r\n";
    report += "Memory (MiB): " + std::to_string(memory.ullTotalPhys >> 20) + "\r\n";
    report += "Memory in use (%): " + std::to_string(memory.dwMemoryLoad) + "\r\n";
    return report;
}

}  // namespace

Json::Value DeliverSession(const Json::Value& support, const Json::Value& state, int64_t endedMs)
{
    const std::string sessionId = support["sessionId"].asString();
    std::wstring folder = Utf8ToWide(support["folder"].asString());
    if (folder.empty())
        folder = common::AgentDataDirectory() + L"\\SupportDeliveries";
    const std::string name =
        support["fileName"].isString() && !support["fileName"].asString().empty()
            ? support["fileName"].asString()
            : "SupportSession_" + sessionId;
    const std::wstring target = folder + L"\\" + Utf8ToWide(name);
    common::CreateDirectories(target);

    Json::Value session;
    session["sessionId"] = sessionId;
    session["kind"] = support["kind"];
    session["scenarios"] = support["scenarios"];
    session["started"] = TimeText(support["startedMs"].asInt64());
    session["ended"] = TimeText(endedMs);
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "  ";
    bool written = WriteText(target + L"\\session.json", Json::writeString(builder, session));
    written = WriteText(target + L"\\system.txt", SystemReport()) && written;
    written = WriteText(target + L"\\agent-state.json", Json::writeString(builder, state)) && written;
    for (const auto& scenario : support["scenarios"]) {
        const std::string id = scenario.asString();
        written = WriteText(target + L"\\" + Utf8ToWide(id) + L".log",
                            "Scenario " + id + ": data collected from " + TimeText(support["startedMs"].asInt64()) +
                                " to " + TimeText(endedMs) + "\r\n") &&
                  written;
    }

    Json::Value result;
    result["type"] = "local";
    result["path"] = WideToUtf8(target);
    result["error"] = written ? 0 : -161;
    return result;
}

}  // namespace standin

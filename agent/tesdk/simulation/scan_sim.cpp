// On-demand scans: a posted task walks its paths on the real file system on a
// thread of its own, counts what it finds, writes a scan log, and then answers
// the post and sends the scan's log event. Progress and stop requests reach
// the task through this process's table of running scans.
#include "simulation/simulation.h"

#include "common/agent_folders.h"
#include "base/unique_resource.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>

namespace standin {
namespace {

struct ScanTaskState {
    std::string taskId;
    std::string requestId;
    std::vector<std::wstring> paths;
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> scanned{0};
    std::atomic<uint64_t> ioErrors{0};
    std::atomic<bool> finished{false};
    Scheduler* scheduler = nullptr;
};

std::mutex g_tasksLock;
std::map<std::string, std::shared_ptr<ScanTaskState>> g_tasks;

std::vector<std::wstring> FixedDrives()
{
    std::vector<std::wstring> drives;
    const DWORD mask = GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if (!(mask & (1u << letter)))
            continue;
        const std::wstring root = std::wstring(1, static_cast<wchar_t>(L'A' + letter)) + L":\\";
        if (GetDriveTypeW(root.c_str()) == DRIVE_FIXED)
            drives.push_back(root);
    }
    return drives;
}

class ScanLog {
public:
    explicit ScanLog(const std::wstring& path) : file_(path.c_str(), std::ios::binary | std::ios::trunc) {}
    void Line(const std::wstring& text) { file_ << WideToUtf8(text) << "\r\n"; }

private:
    std::ofstream file_;
};

void Walk(ScanTaskState& task, const std::wstring& path, ScanLog& log)
{
    if (task.stop)
        return;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ++task.ioErrors;
        log.Line(L"not found: " + path);
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ++task.scanned;
        log.Line(L"clean: " + path);
        return;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return;  // never follow links out of the scanned tree
    std::wstring base = path;
    if (!base.empty() && base.back() != L'\\' && base.back() != L'/')
        base += L'\\';
    WIN32_FIND_DATAW found;
    const UniqueFindHandle search(FindFirstFileW((base + L"*").c_str(), &found));
    if (!search) {
        ++task.ioErrors;
        log.Line(L"unreadable: " + path);
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            Walk(task, base + name, log);
    } while (!task.stop && FindNextFileW(search.get(), &found));
}

Json::Value PolicyEvent(const ScanTaskState& task, const std::wstring& logPath, int runStatus)
{
    Json::Value event;
    event["taskid"] = task.taskId;
    event["logfilepath"] = WideToUtf8(logPath);
    event["runstatus"] = runStatus;
    Json::Value& summary = event["extraData"]["summary"];
    summary["totalscanned"] = static_cast<Json::UInt64>(task.scanned.load());
    for (const char* key : {"stillinfected", "stillsuspicious", "disinfected", "deleted", "moved"})
        summary[key] = static_cast<Json::UInt64>(0);
    return event;
}

DWORD WINAPI RunScan(void* parameter)
{
    std::unique_ptr<std::shared_ptr<ScanTaskState>> holder(static_cast<std::shared_ptr<ScanTaskState>*>(parameter));
    const std::shared_ptr<ScanTaskState> task = *holder;
    const std::wstring folder = common::AgentDataDirectory() + L"\\ScanLogs";
    common::CreateDirectories(folder);
    const std::wstring logPath = folder + L"\\" + Utf8ToWide(task->taskId) + L".log";
    {
        ScanLog log(logPath);
        log.Line(L"Custom scan " + Utf8ToWide(task->taskId));
        for (const auto& path : task->paths)
            Walk(*task, path, log);
        log.Line(task->stop ? L"Stopped." : L"Finished.");
    }
    const int runStatus = task->stop ? 2 : 0;

    Json::Value output;
    output["scanSummary"]["IOErrors"] = static_cast<Json::UInt64>(task->ioErrors.load());
    output["scanSummary"]["archiveBombs"] = static_cast<Json::UInt64>(0);
    output["scanSummary"]["archivePasswordProtected"] = static_cast<Json::UInt64>(0);
    Delivery response;
    response.kind = Delivery::Kind::Response;
    response.name = task->requestId;
    response.data = WriteResponseDocument({{"FileScan.OnDemand", "RunScanTask", 0, false, output}});
    Delivery policy;
    policy.name = "FileScan.OnDemand.ScanLog.Policy";
    policy.data = ToCompactText(PolicyEvent(*task, logPath, runStatus));
    task->finished = true;
    std::vector<Delivery> both;
    both.push_back(std::move(response));
    both.push_back(std::move(policy));
    for (auto& delivery : both)
        task->scheduler->Schedule(std::move(delivery));
    return 0;
}

DWORD WINAPI RunScanPinned(void* parameter)
{
    RunScan(parameter);
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&RunScanPinned), &self);
    FreeLibraryAndExitThread(self, 0);
}

}  // namespace

bool HandleScanMethod(Simulation&, const MethodCall& call, MethodAnswer& answer)
{
    if (call.method != "GetScanProgress")
        return false;
    Json::Value progress(Json::arrayValue);
    for (const auto& request : call.input["tasks"]) {
        const std::string taskId = request["taskId"].isString() ? request["taskId"].asString() : std::string();
        std::shared_ptr<ScanTaskState> task;
        {
            std::lock_guard<std::mutex> guard(g_tasksLock);
            auto found = g_tasks.find(taskId);
            if (found != g_tasks.end())
                task = found->second;
        }
        Json::Value entry;
        entry["taskId"] = taskId;
        entry["progressError"] = task ? 0 : 2;  // 2: no such task here
        entry["scannedItems"] = static_cast<Json::UInt64>(task ? task->scanned.load() : 0);
        entry["finished"] = task ? task->finished.load() : false;
        progress.append(entry);
    }
    answer.output["progress"] = progress;
    return true;
}

uint32_t PostScanMethod(Simulation& simulation, const MethodCall& call, const std::string& requestId,
                        std::vector<Delivery>& deliveries)
{
    (void)deliveries;
    if (call.method == "StopScanTask") {
        const std::string taskId = call.input["taskId"].asString();
        std::lock_guard<std::mutex> guard(g_tasksLock);
        auto found = g_tasks.find(taskId);
        if (found == g_tasks.end())
            return ERROR_NOT_FOUND;
        found->second->stop = true;
        return 0;
    }
    if (call.method != "RunScanTask")
        return ERROR_NOT_SUPPORTED;

    const Json::Value& task = call.input["customScanTask"];
    auto state = std::make_shared<ScanTaskState>();
    state->taskId = task["taskId"].asString();
    state->requestId = requestId;
    state->scheduler = &simulation.scheduler;
    for (const auto& entry : task["scanSettings"]["pathsToBeScanned"]) {
        const std::string path = entry["path"].asString();
        if (path == "|ALLDRIVES|") {
            for (const auto& drive : FixedDrives())
                state->paths.push_back(drive);
        } else {
            state->paths.push_back(Utf8ToWide(path));
        }
    }
    {
        std::lock_guard<std::mutex> guard(g_tasksLock);
        g_tasks[state->taskId] = state;
    }
    // The scan thread keeps the library loaded until it is done.
    UniqueModule pinned;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&RunScanPinned), pinned.put());
    auto parameter = std::make_unique<std::shared_ptr<ScanTaskState>>(state);
    const UniqueHandle thread(CreateThread(nullptr, 0, &RunScanPinned, parameter.get(), 0, nullptr));
    if (!thread)
        return GetLastError();
    parameter.release();  // the thread owns both now
    pinned.release();
    return 0;
}

}  // namespace standin

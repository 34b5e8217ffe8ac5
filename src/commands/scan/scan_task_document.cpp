#include "commands/scan/scan_task_document.h"

#include "commands/scan/scan_requests.h"
#include "integration/integration_session.h"
#include "json/json_path.h"
#include "json/json_values.h"

namespace {

Json::Value* Section(Json::Value& params, const std::string& path)
{
    return FindPath(&params, path, PathMode::Create);
}

int32_t Code(ScanAction action) { return static_cast<int32_t>(action); }
int32_t Code(ExtensionsScanType type) { return static_cast<int32_t>(type); }

void WriteSettings(Json::Value& settings, const ScanTask& task)
{
    SetInt32(settings, "firstActionForInfected", Code(task.firstActionForInfected));
    SetInt32(settings, "secondActionForInfected", Code(task.secondActionForInfected));
    SetInt32(settings, "firstActionForSuspicious", Code(task.firstActionForSuspicious));
    SetInt32(settings, "secondActionForSuspicious", Code(task.secondActionForSuspicious));
    SetInt32(settings, "actionForRootkits", Code(task.actionForRootkits));
    SetBool(settings, "scanForAdware", task.scanForAdware);
    SetBool(settings, "scanForSpyware", task.scanForSpyware);
    SetBool(settings, "scanForDialers", task.scanForDialers);
    SetBool(settings, "scanForApplications", task.scanForApplications);
    SetBool(settings, "scanForKeyLoggers", task.scanForKeyLoggers);
    SetBool(settings, "scanForRootkits", task.scanForRootkits);
    SetBool(settings, "scanForAllRootkits", task.scanForAllRootkits);
    SetBool(settings, "scanPUA", task.scanPUA);
    SetBool(settings, "scanBootSectors", task.scanBootSectors);
    SetBool(settings, "scanMemory", task.scanMemory);
    SetBool(settings, "scanRegistry", task.scanRegistry);
    SetBool(settings, "scanCookies", task.scanCookies);
    SetBool(settings, "scanPacked", task.scanPacked);
    SetBool(settings, "scanEmailArchives", task.scanEmailArchives);
    SetBool(settings, "scanArchives", task.scanArchives);
    SetBool(settings, "deepScanArchive", task.deepScanArchive);
    SetUInt64(settings, "maxArchiveScanDepth", task.maxArchiveScanDepth);
    SetUInt64(settings, "maxArchiveScanSize", task.maxArchiveScanSize);
    SetBool(settings, "useSmartScan", task.useSmartScan);
    SetBool(settings, "promptForPassword", task.promptForPassword);
    SetBool(settings, "enableGlobalExclusions", task.enableGlobalExclusions);
    SetBool(settings, "enableTaskExclusions", task.enableTaskExclusions);
    SetBool(settings, "useLowPriorityLevel", task.useLowPriorityLevel);
    SetBool(settings, "shutdownAfter", task.shutdownAfter);
    SetBool(settings, "scanNetworkFiles", task.scanNetworkFiles);
}

void WriteNetworkAccount(Json::Value& account, const ScanTask& task)
{
    SetWideString(account, "user", task.networkUser);
    SetWideString(account, "domain", task.networkDomain);
    SetWideString(account, "password", task.networkPassword);
}

void WriteUserRights(Json::Value& rights, const ScanTask& task)
{
    SetBool(rights, "allowStartScan", task.allowStartScan);
    SetBool(rights, "allowPauseScan", task.allowPauseScan);
    SetBool(rights, "allowPostponeScan", task.allowPostponeScan);
    SetBool(rights, "allowFinishScan", task.allowFinishScan);
}

void WriteExtensionsAndExclusions(Json::Value& settings, const ScanTask& task)
{
    SetInt32(settings, "extensionsScanType", Code(task.extensionsScanType));
    SetWideString(settings, "customExtensions", task.customExtensions);
    // The console lists no task exclusions of its own; the agent still
    // expects the list.
    SetValue(settings, "taskExclusions", Json::Value(Json::arrayValue));
}

// Each path is an element {"path": ...} of "pathsToBeScanned", in order.
void WritePaths(Json::Value& params, const std::string& pathsPrefix, const ScanTask& task)
{
    for (size_t index = 0; index < task.paths.size(); ++index) {
        Json::Value* element = Section(params, pathsPrefix + std::to_string(index) + "]");
        if (element != nullptr)
            SetWideString(*element, "path", task.paths[index]);
    }
}

// The console never schedules a custom scan: it runs once, now.
void WriteSchedule(Json::Value& schedule, Json::Value* recovery)
{
    SetInt32(schedule, "schedulerType", 0);
    SetBool(schedule, "isSchedulerEnabled", false);
    SetBool(schedule, "isSchedulerRunning", false);
    SetUtf8String(schedule, "timezone", "local");
    SetInt32(schedule, "firstScanStartDate", 0);
    SetInt32(schedule, "expirationDate", 0);
    if (recovery != nullptr) {
        SetInt32(*recovery, "mode", 0);
        SetInt32(*recovery, "interval", 0);
    }
    SetInt32(schedule, "repeatSecondsInterval", 0);
    SetUtf8String(schedule, "scheduledDays", "");
}

void WriteQuickScanSettings(Json::Value& quickScan)
{
    SetBool(quickScan, "enableQuickScan", false);
    SetBool(quickScan, "scanMemory", false);
    SetBool(quickScan, "scanAutoruns", false);
    SetBool(quickScan, "scanPlugins", false);
}

}  // namespace

void WriteScanTaskDocument(Json::Value& params, const std::string& basePath, const ScanTask& task)
{
    Json::Value* settings = Section(params, basePath + "\\scanSettings");
    if (settings != nullptr)
        WriteSettings(*settings, task);
    if (Json::Value* account = Section(params, basePath + "\\scanSettings\\networkScan"))
        WriteNetworkAccount(*account, task);
    if (Json::Value* rights = Section(params, basePath + "\\scanSettings\\userRights"))
        WriteUserRights(*rights, task);
    if (settings != nullptr)
        WriteExtensionsAndExclusions(*settings, task);
    WritePaths(params, basePath + "\\scanSettings\\pathsToBeScanned[", task);
    if (Json::Value* schedule = Section(params, basePath + "\\scanSchedule"))
        WriteSchedule(*schedule, Section(params, basePath + "\\scanSchedule\\recovery"));
    if (Json::Value* quickScan = Section(params, basePath + "\\quickScanSettings"))
        WriteQuickScanSettings(*quickScan);
}

IntegrationRequest BuildRunScanTaskRequest(const ScanTask& task)
{
    Json::Value params(Json::objectValue);
    SetBool(params, "runCustomTask", true);
    SetUtf8String(params, "storedScanTask\\userSid", "");
    SetUtf8String(params, "storedScanTask\\taskId", "");
    SetWideString(params, "customScanTask\\taskId", task.taskId);
    SetWideString(params, "customScanTask\\taskName", task.taskName);
    SetUtf8String(params, "customScanTask\\userSid", "");
    SetInt32(params, "customScanTask\\scanState", 0);
    FindPath(&params, "customScanTask\\context", PathMode::Create);  // present, and null
    WriteScanTaskDocument(params, "customScanTask", task);
    return BuildRequest(scan_request::Module, scan_request::Run, std::move(params));
}

#include "commands/scan/scan_summary.h"

#include "commands/scan/scan_requests.h"
#include "integration/agent_request.h"
#include "integration/integration_session.h"
#include "json/json_composed_serializer.h"
#include "json/json_document.h"
#include "json/json_values.h"
#include "base/text_conversion.h"
#include "console/command_output.h"

namespace {

struct NotScannedCounts {
    uint64_t ioErrors = 0;
    uint64_t archiveBombs = 0;
    uint64_t archivePasswordProtected = 0;
};

}  // namespace

template <>
struct JsonRecord<NotScannedCounts> {
    static constexpr RecordField<NotScannedCounts> fields[] = {
        JsonField<&NotScannedCounts::ioErrors>("IOErrors"),
        JsonField<&NotScannedCounts::archiveBombs>("archiveBombs"),
        JsonField<&NotScannedCounts::archivePasswordProtected>("archivePasswordProtected"),
    };
};

namespace {

bool ReadPolicyEvent(const std::string& policyText, ScanSummary& summary)
{
    Json::Value policy;
    if (!ParseJsonDocument(policyText, policy))
        return false;
    if (!GetUtf8String(summary.logPath, policy, "logfilepath") || !GetInt32(summary.runStatus, policy, "runstatus"))
        return false;

    uint64_t totalScanned = 0, stillInfected = 0, stillSuspicious = 0, disinfected = 0, deleted = 0, moved = 0;
    if (!GetUInt64(totalScanned, policy, "extraData/summary/totalscanned") ||
        !GetUInt64(stillInfected, policy, "extraData/summary/stillinfected") ||
        !GetUInt64(stillSuspicious, policy, "extraData/summary/stillsuspicious") ||
        !GetUInt64(disinfected, policy, "extraData/summary/disinfected") ||
        !GetUInt64(deleted, policy, "extraData/summary/deleted") ||
        !GetUInt64(moved, policy, "extraData/summary/moved"))
        return false;
    summary.scanned = totalScanned;
    summary.remaining = stillInfected + stillSuspicious;
    summary.resolved = disinfected + deleted + moved;
    return true;
}

bool ReadRunScanTaskResponse(const std::string& responseText, ScanSummary& summary)
{
    // The post's answer, read as the answer to a "RunScanTask" request.
    const AgentReply reply =
        ReadAgentReply(BuildRequest(scan_request::Module, scan_request::Run), ParseResponse(responseText));
    if (reply.MethodCode() != result::Success)
        return false;
    NotScannedCounts counts;
    if (!JsonComposedSerializer::LoadRecord(&reply.Answer().output, "scanSummary", counts))
        return false;
    summary.notScanned = counts.ioErrors + counts.archiveBombs + counts.archivePasswordProtected;
    return true;
}

}  // namespace

bool BuildScanSummary(const std::string& policyText, const std::string& responseText, ScanSummary& summary)
{
    return ReadPolicyEvent(policyText, summary) && ReadRunScanTaskResponse(responseText, summary);
}

const wchar_t* RunStatusText(int32_t runStatus)
{
    switch (runStatus) {
    case 0:
        return L"finished";
    case 1:
        return L"aborted";
    case 2:
        return L"stopped";
    default:
        return L"";
    }
}

std::wstring FormatScanSummary(const ScanSummary& summary)
{
    return std::wstring(L"Status: ") + RunStatusText(summary.runStatus) + L"\n" +
           L"Log path: " + Utf8ToWide(summary.logPath) + L"\n" +
           L"Scanned items: " + std::to_wstring(summary.scanned) + L"\n" +
           L"Remaining issues: " + std::to_wstring(summary.remaining) + L"\n" +
           L"Resolved issues: " + std::to_wstring(summary.resolved) + L"\n" +
           L"Objects that were not scanned: " + std::to_wstring(summary.notScanned) + L"\n";
}

Json::Value ScanSummaryData(const ScanSummary& summary)
{
    Json::Value data(Json::objectValue);
    data["status"] = TextValue(RunStatusText(summary.runStatus));
    data["runStatus"] = summary.runStatus;
    data["logPath"] = Utf8Value(summary.logPath);
    data["scannedItems"] = Json::Value(static_cast<Json::UInt64>(summary.scanned));
    data["remainingIssues"] = Json::Value(static_cast<Json::UInt64>(summary.remaining));
    data["resolvedIssues"] = Json::Value(static_cast<Json::UInt64>(summary.resolved));
    data["notScannedObjects"] = Json::Value(static_cast<Json::UInt64>(summary.notScanned));
    return data;
}

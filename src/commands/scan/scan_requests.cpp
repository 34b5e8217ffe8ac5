#include "commands/scan/scan_requests.h"

#include "integration/integration_session.h"
#include "json/json_composed_serializer.h"
#include "json/json_path.h"
#include "json/json_values.h"

namespace {

struct ScanProgress {
    int32_t progressError = 0;
};

}  // namespace

template <>
struct JsonRecord<ScanProgress> {
    static constexpr RecordField<ScanProgress> fields[] = {
        JsonField<&ScanProgress::progressError>("progressError"),
    };
};

IntegrationRequest BuildScanProgressRequest(const std::wstring& taskId)
{
    Json::Value params(Json::objectValue);
    if (Json::Value* task = FindPath(&params, "tasks[0]", PathMode::Create)) {
        SetUtf8String(*task, "userSid", "");
        SetWideString(*task, "taskId", taskId);
    }
    return BuildRequest(scan_request::Module, scan_request::Progress, std::move(params));
}

IntegrationRequest BuildStopScanTaskRequest(const std::wstring& taskId)
{
    Json::Value params(Json::objectValue);
    SetUtf8String(params, "userSid", "");
    SetWideString(params, "taskId", taskId);
    return BuildRequest(scan_request::Module, scan_request::Stop, std::move(params));
}

bool ProgressIsHealthy(const AgentReply& reply)
{
    if (reply.MethodCode() != result::Success)
        return false;
    // An entry that does not say otherwise reports no error.
    ScanProgress progress;
    if (!JsonComposedSerializer::LoadRecord(&reply.Answer().output, "progress[0]", progress))
        return true;
    return progress.progressError == 0;
}

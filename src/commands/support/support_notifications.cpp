#include "commands/support/support_notifications.h"

#include "commands/support/support_records.h"
#include "console/command_output.h"
#include "json/json_document.h"
#include "json/json_values.h"

#include <json/value.h>

#include <string>

namespace {

constexpr std::string_view StateEvent = "Product.Support.State";
constexpr std::string_view SessionEndedEvent = "Product.Support.SessionEnded";

constexpr wchar_t CompletedLine[] = L"Operation completed.\n";

// The event's member as text; false when the payload is not JSON or lacks it.
bool ReadPayloadText(std::string_view data, const char* member, Json::Value& payload, std::wstring& text)
{
    return ParseJsonDocument(data, payload) && GetWideString(text, payload, member);
}

// The wait is over. Handlers lower `waiting` before they print, so that at
// most one event prints per wait; `completed` follows the printing.
void EndWait(SupportWaitFlags& flags)
{
    flags.completed.exchange(true);
    flags.waiting.exchange(false);
}

// "Operation completed." and the status line: the data's "status".
void ReportStatus(bool success)
{
    Show(std::wstring(CompletedLine) + (success ? L"Status: success\n" : L"Status: fail\n"), "status",
         success ? "success" : "fail");
}

// The type as the agent wrote it.
std::wstring_view DeliveredType(const SubmittedItemInfo& item)
{
    const wchar_t* known = DeliveryTypeText(item.type);
    return item.type == DeliveryType::Unknown || known == nullptr ? item.customType.view() : known;
}

void ReportDeliveries(const Json::Value& payload)
{
    cv::List<SubmittedItemInfo> items;
    if (!LoadSubmittedItems(payload, "deliveredTo", items)) {
        ReportStatus(false);
        return;
    }
    std::wstring report;
    Json::Value deliveries(Json::arrayValue);
    for (const SubmittedItemInfo& item : items) {
        const wchar_t* status = item.error == 0 ? L"success" : L"fail";
        report += CompletedLine;
        report += L"Path: ";
        report += item.path.view();
        report += L"\nStatus: ";
        report += status;
        report += L'\n';
        Json::Value delivery(Json::objectValue);
        delivery["type"] = TextValue(DeliveredType(item));
        delivery["path"] = TextValue(item.path.view());
        delivery["error"] = item.error;
        delivery["status"] = TextValue(status);
        deliveries.append(std::move(delivery));
    }
    Show(report, "deliveries", std::move(deliveries));
}

struct AbortEnding {
    const wchar_t* status;
    const wchar_t* line;
    const char* reported;  // the data's "status"
};

template <size_t Count>
void HandleAbortEnded(SupportWaitFlags& flags, std::string_view name, std::string_view data,
                      const AbortEnding (&endings)[Count])
{
    if (name != SessionEndedEvent)
        return;
    Json::Value payload;
    std::wstring status;
    if (flags.waiting.exchange(false) && ReadPayloadText(data, "status", payload, status)) {
        for (const AbortEnding& ending : endings) {
            if (status == ending.status) {
                Show(std::wstring(ending.line) + L"\n", "status", ending.reported);
                break;
            }
        }
    }
    EndWait(flags);
}

}  // namespace

void StartSessionHandler(SupportWaitFlags& flags, std::string_view name, std::string_view data)
{
    if (name == StateEvent) {
        if (!flags.waiting.load())
            return;
        Json::Value payload;
        std::wstring state;
        if (!ReadPayloadText(data, "state", payload, state) || state == L"pending")
            return;  // still being prepared
        if (flags.waiting.exchange(false) && state == L"active")
            ReportStatus(true);
        EndWait(flags);
    } else if (name == SessionEndedEvent) {
        if (flags.waiting.exchange(false))
            ReportStatus(false);
        EndWait(flags);
    }
}

void SessionEndedHandler(SupportWaitFlags& flags, std::string_view name, std::string_view data)
{
    if (name != SessionEndedEvent)
        return;
    Json::Value payload;
    std::wstring status;
    if (flags.waiting.exchange(false) && ReadPayloadText(data, "status", payload, status)) {
        if (status == L"error")
            ReportStatus(false);
        else if (status == L"finished")
            ReportDeliveries(payload);
    }
    EndWait(flags);
}

void AbortHandler(SupportWaitFlags& flags, std::string_view name, std::string_view data)
{
    static constexpr AbortEnding endings[] = {{L"aborted", L"Done.", "done"},
                                              {L"forceAborted", L"Done. Force Aborted.", "forceAborted"}};
    HandleAbortEnded(flags, name, data, endings);
}

void ForceAbortHandler(SupportWaitFlags& flags, std::string_view name, std::string_view data)
{
    static constexpr AbortEnding endings[] = {{L"forceAborted", L"Done.", "done"}};
    HandleAbortEnded(flags, name, data, endings);
}

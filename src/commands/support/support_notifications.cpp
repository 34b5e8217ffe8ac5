#include "commands/support/support_notifications.h"

#include "commands/support/support_records.h"
#include "base/console_output.h"
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

std::wstring DeliveryReport(const Json::Value& payload)
{
    cv::List<SubmittedItemInfo> items;
    if (!LoadSubmittedItems(payload, "deliveredTo", items))
        return std::wstring(CompletedLine) + L"Status: fail\n";
    std::wstring report;
    for (const SubmittedItemInfo& item : items) {
        report += CompletedLine;
        report += L"Path: ";
        report += item.path.view();
        report += item.error == 0 ? L"\nStatus: success\n" : L"\nStatus: fail\n";
    }
    return report;
}

struct AbortEnding {
    const wchar_t* status;
    const wchar_t* line;
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
                console::WriteLine(ending.line);
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
            console::Write(std::wstring(CompletedLine) + L"Status: success\n");
        EndWait(flags);
    } else if (name == SessionEndedEvent) {
        if (flags.waiting.exchange(false))
            console::Write(std::wstring(CompletedLine) + L"Status: fail\n");
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
            console::Write(std::wstring(CompletedLine) + L"Status: fail\n");
        else if (status == L"finished")
            console::Write(DeliveryReport(payload));
    }
    EndWait(flags);
}

void AbortHandler(SupportWaitFlags& flags, std::string_view name, std::string_view data)
{
    static constexpr AbortEnding endings[] = {{L"aborted", L"Done."}, {L"forceAborted", L"Done. Force Aborted."}};
    HandleAbortEnded(flags, name, data, endings);
}

void ForceAbortHandler(SupportWaitFlags& flags, std::string_view name, std::string_view data)
{
    static constexpr AbortEnding endings[] = {{L"forceAborted", L"Done."}};
    HandleAbortEnded(flags, name, data, endings);
}

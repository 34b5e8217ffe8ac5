#include "commands/support/support_replies.h"

#include "console/command_output.h"
#include "json/json_values.h"

#include <string>

namespace {

using namespace support_command;

// The support module answers with negated Windows error numbers.
namespace support_code {
constexpr ResultCode InvalidData{-13};       // no such scenario
constexpr ResultCode DiskFull{-112};         // "diskSpaceNeeded" may say how much
constexpr ResultCode BadPathName{-161};      // the output folder
constexpr ResultCode Busy{-170};             // a force-abort too soon after the last abort
constexpr ResultCode AlreadyRunning{-1056};  // a session, or an abort of it
constexpr ResultCode NotFound{-1168};        // no session to end
constexpr ResultCode InvalidState{-5023};    // no session to abort, or none being aborted
}  // namespace support_code

constexpr CommandSet Starting = StartSession | Collect;
constexpr CommandSet Waiting = StartSession | Collect | AbortSession | ForceAbortSession | EndSession;

// The folder as the request carried it (quotes already stripped).
void PrintPathMessage(const ReplyContext& context)
{
    std::wstring folder;
    static_cast<void>(GetWideString(folder, context.params, "deliverTo[0]/folder"));  // empty when absent
    Explain(L"\"" + folder + L"\" is an invalid or inaccessible path. Please try again with another one.");
    CommandOutput().Data("outputPath", TextValue(folder));
}

void PrintDiskSpaceMessage(const ReplyContext& context)
{
    int64_t bytes = 0;
    if (!GetInt64(bytes, context.answer.output, "diskSpaceNeeded")) {
        Explain(L"There is not enough space on the system partition.");
        return;
    }
    const int64_t gigabytes = bytes / (1LL << 30);
    Explain(L"There is not enough space on the system partition, " + std::to_wstring(gigabytes) + L"GB needed.");
    CommandOutput().Data("diskSpaceNeededBytes", Json::Value(static_cast<Json::Int64>(bytes)));
    CommandOutput().Data("diskSpaceNeededGB", Json::Value(static_cast<Json::Int64>(gigabytes)));
}

constexpr wchar_t NoSession[] = L"There is no support session in progress.";

constexpr ReplyRule Rules[] = {
    {GetState, OnNoAnswer, Says(L"Failed to get current status!"), KeepsCode},
    {GetState, OnAnyCode, Says(L"Failed to get current status!"), KeepsCode},
    NeedsElevation(Waiting),
    {Starting, OnCode(support_code::AlreadyRunning),
     Says(L"A support session is already in progress. Please wait until it is finished."), KeepsCode},
    {StartSession, OnCode(support_code::InvalidData), Says(L"The given scenario is invalid."), KeepsCode},
    {Starting, OnCode(support_code::BadPathName), Explains(&PrintPathMessage), KeepsCode},
    {StartSession, OnCode(support_code::DiskFull), Explains(&PrintDiskSpaceMessage), KeepsCode},
    {AbortSession, OnCode(support_code::InvalidState), Says(NoSession), KeepsCode},
    {AbortSession, OnCode(support_code::AlreadyRunning),
     Says(L"An abort operation is already in progress. Please wait until it is finished."), KeepsCode},
    {ForceAbortSession, OnCode(support_code::InvalidState),
     Says(L"Session in invalid state, session not in cancelling nor forceCancelling state."), KeepsCode},
    {ForceAbortSession, OnCode(support_code::Busy),
     Says(L"The force cancel command minimal time did not elapsed from the last abort/forceAbort command."), KeepsCode},
    {ForceAbortSession, OnCode(result::NoConnection), Says(L"There is no connection with Tessaro Services."),
     KeepsCode},
    {EndSession, OnCode(support_code::NotFound), Says(NoSession), KeepsCode},
};

}  // namespace

const ReplyTable SupportReplies(Rules);

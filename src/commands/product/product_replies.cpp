#include "commands/product/product_replies.h"

namespace {

using namespace product_command;

// The update module's own codes, as it answers them.
namespace update_code {
constexpr ResultCode AlreadyRunning{1552};
constexpr ResultCode DisabledByPolicy{5023};
}  // namespace update_code

constexpr ReplyRule Rules[] = {
    NeedsElevation(StartUpdate),
    {StartUpdate, OnCode(update_code::AlreadyRunning), Says(L"An update process is already running!"), KeepsCode},
    {StartUpdate, OnCode(update_code::DisabledByPolicy), Says(L"Update is disabled from policy!"), KeepsCode},
    // Which of the two running-state questions failed, and why, is not passed on.
    {IsUpdateInProgress, OnAnyCode, PrintsNothing, Gives(result::InvalidState)},
};

}  // namespace

const ReplyTable ProductReplies(Rules);

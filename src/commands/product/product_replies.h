#pragma once
// What the product and update commands make of the agent's answers: the
// family's one table, which every one of them reads its reply by.
#include "commands/reply_table.h"

// Each command's bit in the table.
namespace product_command {
enum : CommandSet {
    GetVersion = 1u << 0, GetUpdateStatus = 1u << 1, StartUpdate = 1u << 2, IsUpdateInProgress = 1u << 3,
    IsUpdateRestartNeeded = 1u << 4,
};
}  // namespace product_command

namespace product_replies {

// The update module's own codes, as it answers them.
constexpr ResultCode UpdateAlreadyRunning{1552};
constexpr ResultCode UpdateDisabledByPolicy{5023};

using namespace product_command;
inline constexpr ReplyRule Rules[] = {
    NeedsElevation(StartUpdate),
    {StartUpdate, OnCode(UpdateAlreadyRunning), Says(L"An update process is already running!"), KeepsCode},
    {StartUpdate, OnCode(UpdateDisabledByPolicy), Says(L"Update is disabled from policy!"), KeepsCode},
    // Which of the two running-state questions failed, and why, is not passed on.
    {IsUpdateInProgress, OnAnyCode, PrintsNothing, Gives(result::InvalidState)},
};

}  // namespace product_replies

inline constexpr ReplyTable ProductReplies(product_replies::Rules);

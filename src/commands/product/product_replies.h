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

extern const ReplyTable ProductReplies;

#pragma once
// Asking the support module: its name, and what the support commands make
// of its answers (the family's one table, which every support command that
// asks the module reads its reply by).
#include "commands/reply_table.h"

constexpr char SupportModule[] = "Product.Support";

// Each command's bit in the table.
namespace support_command {
enum : CommandSet {
    GetState = 1u << 0, GetScenarios = 1u << 1, StartSession = 1u << 2, Collect = 1u << 3,
    AbortSession = 1u << 4, ForceAbortSession = 1u << 5, EndSession = 1u << 6,
};
}  // namespace support_command

extern const ReplyTable SupportReplies;

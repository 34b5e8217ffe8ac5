#pragma once
// Following jump thunks to the function body they lead to.
#include <cstdint>

namespace hooking {

// Where the code at `code` really starts: follows jmp rel8/rel32 and
// jmp [rip+x] (import thunks), each optionally preceded by hot-patch fillers
// (nops, lea rsp,[rsp+0]), for a few hops. Stops at the first address that
// is not such a thunk, or for which `stop` returns true (a function this
// engine has already patched, whose jump must not be followed).
using StopPredicate = bool (*)(const uint8_t* address, const void* context);
uint8_t* FollowJumpThunks(uint8_t* code, StopPredicate stop, const void* context);

}  // namespace hooking

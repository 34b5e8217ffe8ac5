#pragma once
// Following the jumps the system itself places before a function body.
#include <cstdint>

namespace hooking {

// Where the code at `code` really starts. Follows, for a few hops, only what
// the loader or the system's hot-patching put there:
//   - an import thunk: jmp [rip+x] through a slot of the import address
//     table (or a bound one of a delay-load table) of the module the jump
//     lies in, optionally after hot-patch fillers (nops, lea rsp,[rsp+0]).
//     A delay-load slot not yet bound is not followed: the thunk is hooked
//     where it is, and keeps reading the slot once it is bound;
//   - the hot-patch form: jmp $-5 (EB F9) onto a jmp rel32 in the padding
//     just before the function.
// Any other jump (another product's hook, say) is left where it is: it is
// part of the function as we find it, and is moved into the trampoline with
// the rest of the displaced code. Stops early where `stop` returns true (a
// function this engine has already patched).
using StopPredicate = bool (*)(const uint8_t* address, const void* context);
uint8_t* FollowJumpThunks(uint8_t* code, StopPredicate stop, const void* context);

}  // namespace hooking

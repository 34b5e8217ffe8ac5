#pragma once
// Moving the first instructions of a function into a trampoline: which
// instructions the patch displaces, whether they can run elsewhere, and their
// rewritten form at a given address.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "dllguard/hook/instruction.h"
#include "dllguard/hook/x64_jump.h"

namespace hooking {

// The patch is a 5-byte jmp rel32: it displaces the fewest instructions, and
// the trampoline must lie within rel32 reach of the function anyway so that
// RIP-relative operands of the moved instructions still reach their data.
constexpr size_t kPatchSize = kJumpRel32Size;
constexpr size_t kMaxMovedInstructions = kPatchSize;  // every instruction is at least one byte
constexpr size_t kMaxMovedBytes = kPatchSize - 1 + 15;  // the last one starts before the patch ends

struct MovedCode {
    uint8_t* body = nullptr;
    size_t length = 0;  // bytes displaced, whole instructions, at least kPatchSize (but see shortEntry)
    // The function is a lone jmp rel8 with code after it that may still be
    // reached from elsewhere (another product's jump into a stub of its own
    // nearby, which goes on behind the jump): only the jump's two bytes are
    // displaced, and the patch is a jmp rel8 of its own to a landing nearby.
    bool shortEntry = false;
    size_t count = 0;
    Instruction instructions[kMaxMovedInstructions];
    // Where the moved code may be placed so that every rel32 it needs fits.
    uintptr_t reachLow = 0;
    uintptr_t reachHigh = 0;
};

// Decodes the instructions a patch at `body` displaces and checks that they
// can run elsewhere; a lone jmp rel8 is displaced alone (shortEntry). ERROR_INVALID_BLOCK when they cannot: unreadable or
// undecodable bytes, a function that ends (ret, int3, a jump away) inside the
// patch, a branch form that cannot be rewritten, a branch into the middle of
// an instruction, or a branch from elsewhere in the function back into the
// patch (the whole function where unwind data tells its extent).
DWORD PlanMove(uint8_t* body, MovedCode* plan);

struct RelocatedCode {
    static constexpr size_t kCapacity = 48;
    uint8_t bytes[kCapacity] = {};
    size_t length = 0;  // moved instructions plus the jump back to the function
    // Matching instruction starts in the function and in the relocated code;
    // the last pair maps the end of the displaced bytes to the jump back.
    size_t boundaries = 0;
    uint8_t original[kMaxMovedInstructions + 1] = {};
    uint8_t relocated[kMaxMovedInstructions + 1] = {};
};

// Rewrites the planned instructions to run at `destination`: short branches
// widened to rel32, unconditional jumps out of the moved code made absolute,
// relative fields and RIP-relative displacements adjusted,
// branches inside the moved range kept inside it, then a jump back to the
// rest of the function. ERROR_INVALID_BLOCK when a field does not fit.
DWORD RelocateCode(const MovedCode& plan, uintptr_t destination, RelocatedCode* out);

}  // namespace hooking
